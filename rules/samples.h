// Sound samples as front ends receive them, made into the interleaved floats
// in -1..1 that blocks are cut from: every integer and float width, planar or
// interleaved, and any channel count, mixed down to stereo where wider.
//
// The integer scales are those of the ffmpeg libraries (a 16-bit sample x
// becomes x / 32768 in single precision, a 24-bit one is widened to 32 bits
// first), so every front end turns a file's samples into the same floats.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

namespace lumrules {

// Little-endian samples; u8 is offset binary, the rest two's complement or IEEE.
enum class SampleFormat { u8, s8, s16, s24, s32, f32, f64 };

// Bytes of one sample.
int sampleBytes(SampleFormat format);

// "u8", "s8", "s16le", "s24le", "s32le", "f32le", "f64le" (also without "le").
std::optional<SampleFormat> sampleFormatNamed(std::string_view name);

// One sample in -1..1 (floats as they are).
float sampleToFloat(const unsigned char* at, SampleFormat format);

// `frames` sample frames of `channels` interleaved samples appended to `out` as floats.
void appendInterleaved(const void* data, std::size_t frames, int channels, SampleFormat format, std::vector<float>& out);

// The same from one plane per channel (planes[c] holds channel c's `frames` samples).
void appendPlanar(const void* const* planes, std::size_t frames, int channels, SampleFormat format, std::vector<float>& out);

// Channels a block is cut from: mono stays mono, everything wider is stereo.
int mixedChannels(int channels);

// The downmix from `channels` in the usual order of that many channels
// (front left, front right, centre, low frequencies, then the surrounds,
// WAVE's order) to stereo: the fronts as they are, the centre and each
// surround at -3 dB (1/sqrt 2) into its side (the centre into both), a back
// centre at -6 dB into both, the low frequencies left out. The gain of
// channel c into left is gains[2c], into right gains[2c + 1].
std::vector<float> downmixGains(int channels);

// Mixes `frames` interleaved sample frames of `channels` down to stereo,
// appending to `out`; one or two channels are appended unchanged.
void mixDown(const float* interleaved, std::size_t frames, int channels, std::vector<float>& out);

}  // namespace lumrules
