// Sound files made for the tests: 16-bit WAV written here, every other kind
// encoded from it by the ffmpeg program (the tests may use it; lumhost may not).
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace hosttest {

// Writes `frames` sample frames as 16-bit PCM WAV; `sample(frame, channel)`
// gives each value in -1..1.
void writeSound(const std::string& path, int rate, int channels, long frames, const std::function<float(long, int)>& sample);

// A 440 Hz tone of `seconds`, 16-bit WAV.
void writeTone(const std::string& path, int rate, int channels, double seconds);

// Runs ffmpeg quietly with `args` (after -y); false if it fails.
bool runFfmpeg(const std::vector<std::string>& args);

// ffprobe's value of one entry ("stream=codec_name", "format=duration") for
// the streams `select` picks ("a:0", "v:0"); empty if there is none.
std::string probe(const std::string& path, const std::string& select, const std::string& entry);

}  // namespace hosttest
