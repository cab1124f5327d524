// Sounds the VLC tests make, and lumhost's frames of them to compare with.
#pragma once

#include <string>
#include <vector>

#include "host_runner.h"

namespace vlctest {

// A 16-bit WAV of slow swings of a different shape on every channel, loud
// enough for a figure that stays on a small canvas at zoom factor 2. More
// than two channels are written as ffmpeg lays them out (5.1: WAVE's mask).
void writeSwingSound(const hosttest::Scratch& scratch, const std::string& path, int rate, int channels, double seconds);

// lumhost render SOUND -o - --size WxH --fps F and `more`, cut into frames.
std::vector<std::string> lumhostFrames(const hosttest::Scratch& scratch, const std::string& sound, int width, int height, int fps,
                                       const std::vector<std::string>& more, const std::vector<std::string>& environment = {});

// The frames without those equal to the one before.
std::vector<std::string> withoutRepeats(const std::vector<std::string>& frames);

// Peak signal-to-noise ratio of two pictures of the same size, in dB (infinite when equal).
double psnr(const std::string& a, const std::string& b);

}  // namespace vlctest
