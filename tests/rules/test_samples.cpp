// Samples of every format as the block cutter reads them, and the downmix
// every front end shares.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "rules/block_cutter.h"
#include "rules/samples.h"

namespace lumrules {
namespace {

std::vector<float> convert(SampleFormat format, const std::vector<uint8_t>& bytes, std::size_t frames) {
    std::vector<float> out;
    appendInterleaved(bytes.data(), frames, 1, format, out);
    return out;
}

TEST(SampleFormats, EachFormatScalesAsTheDecodingPathDoes) {
    EXPECT_EQ(convert(SampleFormat::u8, {0x00, 0x80, 0xFF}, 3), (std::vector<float>{-1.0f, 0.0f, 127.0f / 128}));
    EXPECT_EQ(convert(SampleFormat::s8, {0x80, 0x00, 0x7F}, 3), (std::vector<float>{-1.0f, 0.0f, 127.0f / 128}));
    EXPECT_EQ(convert(SampleFormat::s16, {0x00, 0x80, 0xFF, 0x7F, 0x01, 0x00}, 3),
              (std::vector<float>{-1.0f, 32767.0f / 32768, 1.0f / 32768}));
    // 24-bit samples, sign and all: -2^23, 2^23 - 1, -1.
    EXPECT_EQ(convert(SampleFormat::s24, {0x00, 0x00, 0x80, 0xFF, 0xFF, 0x7F, 0xFF, 0xFF, 0xFF}, 3),
              (std::vector<float>{-1.0f, 8388607.0f / 8388608, -1.0f / 8388608}));
    EXPECT_EQ(convert(SampleFormat::s32, {0x00, 0x00, 0x00, 0x80, 0x00, 0x00, 0x00, 0x40}, 2), (std::vector<float>{-1.0f, 0.5f}));
    std::vector<uint8_t> doubles(16);
    const double values[] = {-0.25, 2.0};
    std::memcpy(doubles.data(), values, sizeof values);
    EXPECT_EQ(convert(SampleFormat::f64, doubles, 2), (std::vector<float>{-0.25f, 2.0f}));
    std::vector<uint8_t> floats(8);
    const float single[] = {0.75f, -1.5f};
    std::memcpy(floats.data(), single, sizeof single);
    EXPECT_EQ(convert(SampleFormat::f32, floats, 2), (std::vector<float>{0.75f, -1.5f}));
}

TEST(SampleFormats, PlanesInterleaveChannelByChannel) {
    const int16_t left[] = {16384, -16384}, right[] = {8192, 0};
    const void* planes[] = {left, right};
    std::vector<float> out{9.0f};
    appendPlanar(planes, 2, 2, SampleFormat::s16, out);
    EXPECT_EQ(out, (std::vector<float>{9.0f, 0.5f, 0.25f, -0.5f, 0.0f})) << "appended after what was there";
}

TEST(SampleFormats, NamedAsRawInputAndTheCommandLineNameThem) {
    EXPECT_EQ(sampleFormatNamed("s16le"), SampleFormat::s16);
    EXPECT_EQ(sampleFormatNamed("f32"), SampleFormat::f32);
    EXPECT_EQ(sampleFormatNamed("u8"), SampleFormat::u8);
    EXPECT_FALSE(sampleFormatNamed("s16be"));
    EXPECT_FALSE(sampleFormatNamed("le"));
    for (auto format : {SampleFormat::u8, SampleFormat::s8, SampleFormat::s16, SampleFormat::s24, SampleFormat::s32,
                        SampleFormat::f32, SampleFormat::f64})
        EXPECT_GT(sampleBytes(format), 0);
}

TEST(Downmix, FrontsAsTheyAreCentreAndSurroundsAtMinusThreeDecibels) {
    const float half = 0.70710678f;
    EXPECT_EQ(downmixGains(1), (std::vector<float>{1, 1}));
    EXPECT_EQ(downmixGains(2), (std::vector<float>{1, 0, 0, 1}));
    // 5.1: L R C LFE SL SR; the low frequencies are left out.
    EXPECT_EQ(downmixGains(6), (std::vector<float>{1, 0, 0, 1, half, half, 0, 0, half, 0, 0, half}));
    // 4.0 has a back centre, at -6 dB into both sides.
    EXPECT_EQ(downmixGains(4), (std::vector<float>{1, 0, 0, 1, half, half, 0.5f, 0.5f}));
    // 7.1: both pairs of surrounds.
    const auto eight = downmixGains(8);
    EXPECT_EQ(eight[2 * 6], half);
    EXPECT_EQ(eight[2 * 7 + 1], half);
    EXPECT_EQ(eight[2 * 3], 0.0f);
}

TEST(Downmix, MonoAndStereoPassUnchangedWiderBecomesStereo) {
    const float stereo[] = {0.1f, 0.2f, 0.3f, 0.4f};
    std::vector<float> out;
    mixDown(stereo, 2, 2, out);
    EXPECT_EQ(out, (std::vector<float>{0.1f, 0.2f, 0.3f, 0.4f}));
    const float three[] = {0.5f, -0.5f, 0.25f};  // L R C
    out.clear();
    mixDown(three, 1, 3, out);
    ASSERT_EQ(out.size(), 2u);
    EXPECT_FLOAT_EQ(out[0], 0.5f + 0.25f * 0.70710678f);
    EXPECT_FLOAT_EQ(out[1], -0.5f + 0.25f * 0.70710678f);
    EXPECT_EQ(mixedChannels(1), 1);
    EXPECT_EQ(mixedChannels(2), 2);
    EXPECT_EQ(mixedChannels(6), 2);
}

// Channels named by where they stand are mixed by their places, whatever
// their order: the low frequencies of a 2.1 stream are left out (not taken
// for a centre), and a quad stream's back pair goes each to its own side.
TEST(Downmix, PositionedChannelsMixByTheirPlaces) {
    using enum ChannelPosition;
    const float half = 0.70710678f;
    EXPECT_EQ(downmixGains({frontLeft, frontRight, lowFrequency}), (std::vector<float>{1, 0, 0, 1, 0, 0}));
    EXPECT_EQ(downmixGains({frontLeft, frontRight, surroundLeft, surroundRight}),
              (std::vector<float>{1, 0, 0, 1, half, 0, 0, half}));
    // 4.1 as some hosts order it: the back centre last, after the low frequencies.
    EXPECT_EQ(downmixGains({frontLeft, frontRight, frontCentre, lowFrequency, backCentre}),
              (std::vector<float>{1, 0, 0, 1, half, half, 0, 0, 0.5f, 0.5f}));
    EXPECT_EQ(downmixGains({frontRight, frontLeft}), (std::vector<float>{0, 1, 1, 0}));
    EXPECT_EQ(downmixGains({other, frontLeft, frontRight}), (std::vector<float>{0, 0, 1, 0, 0, 1}));
    // A lone channel feeds both sides as it is, wherever it stands.
    EXPECT_EQ(downmixGains({frontCentre}), (std::vector<float>{1, 1}));
    // The usual orders name the places the count-only mix has always used.
    for (int channels = 1; channels <= 10; ++channels) {
        EXPECT_EQ(usualPositions(channels).size(), static_cast<std::size_t>(channels));
        EXPECT_EQ(downmixGains(usualPositions(channels)), downmixGains(channels)) << channels;
    }
    EXPECT_TRUE(passesUnmixed({mono}));
    EXPECT_TRUE(passesUnmixed({frontLeft, frontRight}));
    EXPECT_FALSE(passesUnmixed({frontRight, frontLeft}));
    EXPECT_FALSE(passesUnmixed({frontLeft, frontRight, lowFrequency}));

    const float quad[] = {0.5f, -0.25f, 0.125f, -0.5f};  // FL FR RL RR
    std::vector<float> out;
    mixDown(quad, 1, {frontLeft, frontRight, surroundLeft, surroundRight}, out);
    ASSERT_EQ(out.size(), 2u);
    EXPECT_FLOAT_EQ(out[0], 0.5f + 0.125f * half);
    EXPECT_FLOAT_EQ(out[1], -0.25f - 0.5f * half);
    const float swapped[] = {0.1f, 0.2f};  // FR FL
    out.clear();
    mixDown(swapped, 1, {frontRight, frontLeft}, out);
    EXPECT_EQ(out, (std::vector<float>{0.2f, 0.1f}));
}

// The cutter mixes by the positions it was given, for every way sound is
// pushed: only the low frequencies of 2.1 sound give silent blocks.
TEST(Downmix, TheCutterMixesByItsPositions) {
    using enum ChannelPosition;
    const std::size_t frames = 800;  // one block at 48 kHz and 60 fps
    std::vector<float> front(frames, 0.0f), bass(frames, 0.75f), interleaved;
    for (std::size_t i = 0; i < frames; ++i) interleaved.insert(interleaved.end(), {0.0f, 0.0f, 0.75f});
    std::vector<int16_t> wide(interleaved.size());
    for (std::size_t i = 0; i < wide.size(); ++i) wide[i] = static_cast<int16_t>(interleaved[i] * 32768.0f);
    const void* planes[] = {front.data(), front.data(), bass.data()};
    const std::vector<int8_t> silent(3 * frames, 0);
    for (int way = 0; way < 3; ++way) {
        BlockCutter cutter;
        cutter.reset(48000, {frontLeft, frontRight, lowFrequency}, 60);
        EXPECT_EQ(cutter.channels(), 3);
        EXPECT_EQ(cutter.blockChannels(), 2);
        if (way == 0) cutter.push(interleaved.data(), frames);
        if (way == 1) cutter.pushPlanar(planes, frames, SampleFormat::f32);
        if (way == 2) cutter.push(wide.data(), frames, SampleFormat::s16);
        std::vector<int8_t> block;
        ASSERT_TRUE(cutter.cut(block)) << way;
        EXPECT_EQ(block, silent) << way;
        // In the usual order for three channels the third is a centre, and is heard.
        cutter.reset(48000, 3, 60);
        cutter.push(interleaved.data(), frames);
        ASSERT_TRUE(cutter.cut(block));
        EXPECT_NE(block, silent);
    }
}

}  // namespace
}  // namespace lumrules
