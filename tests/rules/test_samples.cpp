// Samples of every format as the block cutter reads them, and the downmix
// every front end shares.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

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

}  // namespace
}  // namespace lumrules
