// The element's own pieces: property names from setting names, element
// names from file names, samples of each format as lumhost's decoding path
// converts them, and blocks cut at rates that do not divide the sample rate.
#include <gtest/gtest.h>

#include <cstring>

#include "gst/block_run.h"
#include "gst/plugin_catalogue.h"
#include "gst/sample_format.h"

namespace lumgst {
namespace {

TEST(PropertyNames, LowerCaseWordsJoinedByDashes) {
    EXPECT_EQ(propertyName("Line width", 11, {}), "line-width");
    EXPECT_EQ(propertyName("Zoom factor", 15, {}), "zoom-factor");
    EXPECT_EQ(propertyName("  Fade   out! ", 14, {}), "fade-out");
    EXPECT_EQ(propertyName("Colour_Mode (A/B)", 20, {}), "colour-mode-a-b");
}

TEST(PropertyNames, StartWithALetterAndNeverClash) {
    EXPECT_EQ(propertyName("", 7, {}), "setting-7");
    EXPECT_EQ(propertyName("3D depth", 8, {}), "setting-8-3d-depth");
    EXPECT_EQ(propertyName("Größe", 9, {}), "gr-e");
    // GstObject's own properties, and a name already taken, get the id.
    EXPECT_EQ(propertyName("Name", 3, {}), "name-3");
    EXPECT_EQ(propertyName("Parent", 4, {}), "parent-4");
    EXPECT_EQ(propertyName("Line width", 12, {"line-width"}), "line-width-12");
}

TEST(ElementNames, OnlyLettersDigitsAndUnderscores) {
    EXPECT_EQ(identifierPart("gyrotrail"), "gyrotrail");
    EXPECT_EQ(identifierPart("my scope-2.0"), "my_scope_2_0");
}

std::vector<float> convert(GstAudioFormat format, const std::vector<guint8>& bytes, std::size_t frames) {
    std::vector<float> out;
    appendAsFloat(format, bytes.data(), frames, 1, out);
    return out;
}

TEST(SampleFormats, EachFormatScalesAsTheDecodingPathDoes) {
    EXPECT_EQ(convert(GST_AUDIO_FORMAT_U8, {0x00, 0x80, 0xFF}, 3), (std::vector<float>{-1.0f, 0.0f, 127.0f / 128}));
    EXPECT_EQ(convert(GST_AUDIO_FORMAT_S16LE, {0x00, 0x80, 0xFF, 0x7F, 0x01, 0x00}, 3),
              (std::vector<float>{-1.0f, 32767.0f / 32768, 1.0f / 32768}));
    // 24-bit samples, sign and all: -2^23, 2^23 - 1, -1.
    EXPECT_EQ(convert(GST_AUDIO_FORMAT_S24LE, {0x00, 0x00, 0x80, 0xFF, 0xFF, 0x7F, 0xFF, 0xFF, 0xFF}, 3),
              (std::vector<float>{-1.0f, 8388607.0f / 8388608, -1.0f / 8388608}));
    EXPECT_EQ(convert(GST_AUDIO_FORMAT_S32LE, {0x00, 0x00, 0x00, 0x80, 0x00, 0x00, 0x00, 0x40}, 2), (std::vector<float>{-1.0f, 0.5f}));
    std::vector<guint8> doubles(16);
    const double values[] = {-0.25, 2.0};
    std::memcpy(doubles.data(), values, sizeof values);
    EXPECT_EQ(convert(GST_AUDIO_FORMAT_F64LE, doubles, 2), (std::vector<float>{-0.25f, 2.0f}));
    EXPECT_FALSE(sampleFormatSupported(GST_AUDIO_FORMAT_S16BE));
}

TEST(BlockRuns, RemainderCarriedShortBlockAtTheEnd) {
    BlockRun run;
    run.reset(44100, 2, 24, 1);  // 1837.5 sample frames a frame
    auto& in = run.incoming();
    in.assign(2 * 4000, 0.5f);
    std::vector<int8_t> block;
    ASSERT_TRUE(run.cut(block, false));
    EXPECT_EQ(block.size(), 3u * 1837);
    EXPECT_EQ(block[0], 64);
    EXPECT_EQ(block[2 * 1837], 0) << "the third part is silence";
    ASSERT_TRUE(run.cut(block, false));
    EXPECT_EQ(block.size(), 3u * 1838);
    EXPECT_EQ(run.available(), 4000u - 1837 - 1838);
    EXPECT_FALSE(run.cut(block, false)) << "the next block's sound is not all here";
    ASSERT_TRUE(run.cut(block, true));
    EXPECT_EQ(block.size(), 3u * (4000 - 1837 - 1838));
    EXPECT_FALSE(run.cut(block, true));
    EXPECT_EQ(run.frame(), 3);
    EXPECT_EQ(run.frameStartSample(2), 3675);
}

TEST(BlockRuns, SoundArrivingInPiecesGivesTheSameBlocks) {
    BlockRun whole, pieces;
    whole.reset(8000, 1, 30000, 1001);
    pieces.reset(8000, 1, 30000, 1001);
    std::vector<float> sound(20000);
    for (std::size_t i = 0; i < sound.size(); ++i) sound[i] = static_cast<float>(static_cast<int>(i % 251) - 125) / 128.0f;
    whole.incoming() = sound;
    std::vector<std::vector<int8_t>> expected, got;
    for (std::vector<int8_t> block; whole.cut(block, true);) expected.push_back(block);
    std::size_t at = 0;
    for (std::size_t size : {1u, 266u, 267u, 1000u, 5u, 18461u}) {
        pieces.incoming().insert(pieces.incoming().end(), sound.begin() + static_cast<std::ptrdiff_t>(at),
                                 sound.begin() + static_cast<std::ptrdiff_t>(at + size));
        at += size;
        for (std::vector<int8_t> block; pieces.cut(block, at == sound.size());) got.push_back(block);
    }
    ASSERT_EQ(at, sound.size());
    EXPECT_EQ(got, expected);
    EXPECT_EQ(expected.size(), 75u);  // 20000 sample frames at 8000 Hz and 29.97 fps: 74.9 frames
}

}  // namespace
}  // namespace lumgst
