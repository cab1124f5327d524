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

// Where a channel stands, as far as the downmix tells places apart. A side
// and a back (rear) channel of one side are both that side's surround;
// `other` is any place the downmix leaves out (overhead, a second low
// frequency channel, an unpositioned channel).
enum class ChannelPosition {
    mono,
    frontLeft,
    frontRight,
    frontCentre,
    lowFrequency,
    surroundLeft,
    surroundRight,
    backCentre,
    other,
};

// The usual order of that many channels (front left, front right, centre,
// low frequencies, then the surrounds: WAVE's order): mono; stereo; 3.0;
// 4.0 (a back centre); 5.0; 5.1; 6.1 (a back centre before the sides);
// 7.1; beyond eight, 7.1's places and the rest left out.
std::vector<ChannelPosition> usualPositions(int channels);

// The downmix of channels at `positions` to stereo: the fronts as they are,
// the centre and each surround at -3 dB (1/sqrt 2) into its side (the centre
// into both), a back centre at -6 dB into both, the low frequencies and other
// places left out; a lone channel (mono, or one of any place) into both
// sides as it is. The gain of channel c into left is gains[2c], into right
// gains[2c + 1].
std::vector<float> downmixGains(const std::vector<ChannelPosition>& positions);
// The same for `channels` in their usual order.
std::vector<float> downmixGains(int channels);

// Whether sound at `positions` is passed on as it is (one channel, or front
// left and front right in that order) rather than mixed.
bool passesUnmixed(const std::vector<ChannelPosition>& positions);

// Mixes `frames` interleaved sample frames of `channels` in their usual order
// down to stereo, appending to `out`; one or two channels are appended unchanged.
void mixDown(const float* interleaved, std::size_t frames, int channels, std::vector<float>& out);
// The same for channels at `positions` (as many as there are positions).
void mixDown(const float* interleaved, std::size_t frames, const std::vector<ChannelPosition>& positions, std::vector<float>& out);

}  // namespace lumrules
