// The block rule: samples to signed bytes, one block per video frame with the
// remainder carried, a short last block, a new run at a seek, and sound of
// every format and width arriving in pieces of any size.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "rules/block_cutter.h"

namespace lumrules {
namespace {

TEST(SampleConversion, ScalesToSignedEightBitsAndClips) {
    EXPECT_EQ(toSigned8(0.0f), 0);
    EXPECT_EQ(toSigned8(0.5f), 64);
    EXPECT_EQ(toSigned8(-0.5f), -64);
    EXPECT_EQ(toSigned8(1.0f), 127);
    EXPECT_EQ(toSigned8(-1.0f), -128);
    EXPECT_EQ(toSigned8(3.0f), 127);
    EXPECT_EQ(toSigned8(-3.0f), -128);
    EXPECT_EQ(toSigned8(std::nanf("")), 0);
    // Halves go to the even whole number: 0.5 to 0, 1.5 to 2, -2.5 to -2.
    EXPECT_EQ(toSigned8(1.0f / 256), 0);
    EXPECT_EQ(toSigned8(3.0f / 256), 2);
    EXPECT_EQ(toSigned8(-5.0f / 256), -2);
    // 8-bit sources come through unchanged.
    for (int value = -128; value < 128; ++value) EXPECT_EQ(toSigned8(static_cast<float>(value) / 128.0f), value);
}

TEST(SoundBlock, PlanarIsLeftThenRightThenSilence) {
    const float stereo[] = {0.5f, -0.25f, 0.125f, 1.0f};  // two sample frames
    std::vector<int8_t> block;
    makeSoundBlock(stereo, 2, 2, BlockLayout::planar, block);
    EXPECT_EQ(block, (std::vector<int8_t>{64, 16, -32, 127, 0, 0}));

    const float mono[] = {0.5f, -0.5f};
    makeSoundBlock(mono, 2, 1, BlockLayout::planar, block);
    EXPECT_EQ(block, (std::vector<int8_t>{64, -64, 64, -64, 0, 0}));

    const float surround[] = {0.5f, 0.25f, 1.0f, -1.0f};  // one frame of four channels
    makeSoundBlock(surround, 1, 4, BlockLayout::planar, block);
    EXPECT_EQ(block, (std::vector<int8_t>{64, 32, 0})) << "channels after the second are left out";
}

TEST(SoundBlock, InterleavedKeepsEveryChannelAsRead) {
    const float stereo[] = {0.5f, -0.25f, 0.125f, 1.0f};
    std::vector<int8_t> block{1, 2, 3, 4, 5, 6, 7};
    makeSoundBlock(stereo, 2, 2, BlockLayout::interleaved, block);
    EXPECT_EQ(block, (std::vector<int8_t>{64, -32, 16, 127}));
}

TEST(Slicing, FramesCoverTheSoundWithoutGapsOrOverlap) {
    EXPECT_EQ(frameStart(1, 44100, 60), 735);
    EXPECT_EQ(frameStart(3, 44100, 30), 4410);
    // 48000 / 7 is not whole: starts advance by 6857 or 6858, never drift.
    EXPECT_EQ(frameStart(7, 48000, 7), 48000);
    EXPECT_EQ(frameStart(1, 48000, 7), 6857);
    EXPECT_EQ(framesFor(44100, 44100, 60), 60);
    EXPECT_EQ(framesFor(44101, 44100, 60), 61) << "a short last block still gets its frame";
    EXPECT_EQ(framesFor(1, 48000, 60), 1);
    EXPECT_EQ(framesFor(0, 48000, 60), 0);
    EXPECT_EQ(framesFor(int64_t{48000} * 3600 * 10, 48000, 60), 60 * 3600 * 10) << "ten hours, no overflow";
}

TEST(Slicing, FractionalFrameRatesCarryTheRemainderToo) {
    // A whole rate written as a fraction cuts as the whole rate does.
    for (int64_t frame : {0, 1, 7, 12345})
        EXPECT_EQ(frameStart(frame, 44100, 48, 2), frameStart(frame, 44100, 24)) << frame;
    // 29.97 fps: 1471.47 sample frames a frame, so starts run 0, 1471, 2942, 4414 and
    // 30000 frames end exactly on the 1001 seconds they take.
    EXPECT_EQ(frameStart(1, 44100, 30000, 1001), 1471);
    EXPECT_EQ(frameStart(3, 44100, 30000, 1001), 4414);
    EXPECT_EQ(frameStart(30000, 44100, 30000, 1001), int64_t{44100} * 1001);
    // Ten hours at 59.94 fps and 192 kHz, no overflow.
    const int64_t tenHours = int64_t{60000} * 36000 / 1001;
    EXPECT_EQ(frameStart(tenHours, 192000, 60000, 1001), tenHours * 192000 * 1001 / 60000);
}

// Every block of `sound` cut straight by frameStart, as a reference.
std::vector<std::vector<int8_t>> referenceBlocks(const std::vector<float>& sound, int channels, int rate, int fps) {
    std::vector<std::vector<int8_t>> blocks;
    const auto frames = static_cast<int64_t>(sound.size()) / channels;
    for (int64_t f = 0; frameStart(f, rate, fps) < frames; ++f) {
        const int64_t from = frameStart(f, rate, fps), to = std::min(frameStart(f + 1, rate, fps), frames);
        std::vector<int8_t> block;
        makeSoundBlock(sound.data() + from * channels, static_cast<std::size_t>(to - from), channels, BlockLayout::planar, block);
        blocks.push_back(block);
    }
    return blocks;
}

std::vector<float> testSound(std::size_t samples) {
    std::vector<float> sound(samples);
    for (std::size_t i = 0; i < sound.size(); ++i) sound[i] = static_cast<float>(static_cast<int>(i * 7 % 251) - 125) / 128.0f;
    return sound;
}

TEST(BlockCutter, RemainderCarriedShortBlockAtTheEnd) {
    BlockCutter run(44100, 2, 24);  // 1837.5 sample frames a frame
    const std::vector<float> in(2 * 4000, 0.5f);
    run.push(in.data(), 4000);
    std::vector<int8_t> block;
    ASSERT_TRUE(run.cut(block));
    EXPECT_EQ(block.size(), 3u * 1837);
    EXPECT_EQ(block[0], 64);
    EXPECT_EQ(block[2 * 1837], 0) << "the third part is silence";
    ASSERT_TRUE(run.cut(block));
    EXPECT_EQ(block.size(), 3u * 1838);
    EXPECT_EQ(run.available(), 4000u - 1837 - 1838);
    EXPECT_FALSE(run.cut(block)) << "the next block's sound is not all here";
    ASSERT_TRUE(run.cut(block, true));
    EXPECT_EQ(block.size(), 3u * (4000 - 1837 - 1838));
    EXPECT_EQ(run.lastCount(), 4000u - 1837 - 1838);
    EXPECT_FALSE(run.cut(block, true));
    EXPECT_EQ(run.frame(), 3);
    EXPECT_EQ(run.frameStartSample(2), 3675);
}

TEST(BlockCutter, SoundArrivingInPiecesGivesTheSameBlocks) {
    BlockCutter whole(8000, 1, 30000, 1001), pieces(8000, 1, 30000, 1001);
    const auto sound = testSound(20000);
    whole.push(sound.data(), sound.size());
    std::vector<std::vector<int8_t>> expected, got;
    for (std::vector<int8_t> block; whole.cut(block, true);) expected.push_back(block);
    std::size_t at = 0;
    for (std::size_t size : {1u, 266u, 267u, 1000u, 5u, 18461u}) {
        pieces.push(sound.data() + at, size);
        at += size;
        for (std::vector<int8_t> block; pieces.cut(block, at == sound.size());) got.push_back(block);
    }
    ASSERT_EQ(at, sound.size());
    EXPECT_EQ(got, expected);
    EXPECT_EQ(expected.size(), 75u);  // 20000 sample frames at 8000 Hz and 29.97 fps: 74.9 frames
}

TEST(BlockCutter, CutsWhatTheRuleCutsAndHandsBackTheBlocksSound) {
    const auto sound = testSound(2 * 10000);
    const auto expected = referenceBlocks(sound, 2, 44100, 60);
    BlockCutter cutter(44100, 2, 60);
    std::vector<std::vector<int8_t>> got;
    std::size_t at = 0;
    for (std::vector<int8_t> block;;) {
        if (cutter.cut(block, at == 10000)) {
            got.push_back(block);
            // The sound of each block is the sound the rule gives it.
            const auto from = static_cast<std::size_t>(cutter.frameStartSample(cutter.frame() - 1));
            EXPECT_EQ(std::memcmp(cutter.lastSamples(), sound.data() + 2 * from, cutter.lastCount() * 2 * sizeof(float)), 0);
            continue;
        }
        if (at == 10000) break;
        const std::size_t piece = std::min<std::size_t>(1024, 10000 - at);
        cutter.push(sound.data() + 2 * at, piece);
        at += piece;
    }
    EXPECT_EQ(got, expected);
}

TEST(BlockCutter, ASeekStartsANewRunFromFrameZero) {
    const auto sound = testSound(2 * 6000);
    BlockCutter cutter(48000, 2, 50);
    cutter.push(sound.data(), 6000);
    std::vector<int8_t> block;
    ASSERT_TRUE(cutter.cut(block));
    ASSERT_TRUE(cutter.cut(block));
    EXPECT_EQ(cutter.frame(), 2);
    // After the seek, the sound from the new place is cut as a run of its own.
    cutter.restart();
    EXPECT_EQ(cutter.frame(), 0);
    EXPECT_EQ(cutter.available(), 0u) << "nothing from before the seek is kept";
    cutter.push(sound.data() + 2 * 1234, 6000 - 1234);
    std::vector<float> rest(sound.begin() + 2 * 1234, sound.end());
    const auto expected = referenceBlocks(rest, 2, 48000, 50);
    std::vector<std::vector<int8_t>> got;
    while (cutter.cut(block, true)) got.push_back(block);
    EXPECT_EQ(got, expected);
}

TEST(BlockCutter, SkippingDropsABlocksSoundWithoutABlock) {
    const auto sound = testSound(3000);
    BlockCutter cutter(1000, 1, 10);  // 100 sample frames a block
    cutter.push(sound.data(), 3000);
    ASSERT_TRUE(cutter.skip());
    std::vector<int8_t> block;
    ASSERT_TRUE(cutter.cut(block));
    EXPECT_EQ(block[0], toSigned8(sound[100])) << "the second block begins where the first would have ended";
    EXPECT_EQ(cutter.frame(), 2);
}

TEST(BlockCutter, EveryFormatPlanarOrInterleavedGivesTheFloatsBlocks) {
    // Two channels of 16-bit sound, as floats and as bytes, interleaved and planar.
    const std::size_t frames = 2500;
    std::vector<int16_t> words(2 * frames);
    for (std::size_t i = 0; i < words.size(); ++i) words[i] = static_cast<int16_t>((static_cast<int>(i) * 2654435761U) >> 16);
    std::vector<float> floats(words.size());
    for (std::size_t i = 0; i < words.size(); ++i) floats[i] = static_cast<float>(words[i]) * (1.0f / 32768);
    std::vector<int16_t> left(frames), right(frames);
    for (std::size_t i = 0; i < frames; ++i) {
        left[i] = words[2 * i];
        right[i] = words[2 * i + 1];
    }
    const void* planes[] = {left.data(), right.data()};
    BlockCutter fromFloats(22050, 2, 25), fromWords(22050, 2, 25), fromPlanes(22050, 2, 25);
    fromFloats.push(floats.data(), frames);
    fromWords.push(words.data(), frames, SampleFormat::s16);
    fromPlanes.pushPlanar(planes, frames, SampleFormat::s16);
    std::vector<int8_t> a, b, c;
    int blocks = 0;
    while (fromFloats.cut(a, true)) {
        ASSERT_TRUE(fromWords.cut(b, true));
        ASSERT_TRUE(fromPlanes.cut(c, true));
        EXPECT_EQ(a, b);
        EXPECT_EQ(a, c);
        ++blocks;
    }
    EXPECT_EQ(blocks, 3);
}

TEST(BlockCutter, SurroundSoundIsMixedDownBeforeTheBlock) {
    // One frame of 5.1 (L R C LFE SL SR) per sample frame.
    const std::vector<float> frame{0.25f, -0.25f, 0.5f, 1.0f, 0.125f, 0.0f};
    std::vector<float> sound;
    for (int i = 0; i < 100; ++i) sound.insert(sound.end(), frame.begin(), frame.end());
    BlockCutter cutter(1000, 6, 10);
    EXPECT_EQ(cutter.blockChannels(), 2);
    cutter.push(sound.data(), 100);
    std::vector<int8_t> block;
    ASSERT_TRUE(cutter.cut(block));
    ASSERT_EQ(block.size(), 300u);
    const float left = 0.25f + 0.70710678f * 0.5f + 0.70710678f * 0.125f;
    const float right = -0.25f + 0.70710678f * 0.5f;
    EXPECT_EQ(block[0], toSigned8(left));
    EXPECT_EQ(block[100], toSigned8(right));
    EXPECT_EQ(cutter.lastSamples()[0], left);
}

// A frame rate fits its sound exactly when no block at it is empty: checked
// against the blocks themselves over a few seconds of frames, for whole and
// fractional rates on either side of the sample rate.
TEST(FrameRateRule, FitsExactlyWhenNoBlockIsEmpty) {
    struct Rate {
        int sampleRate, numerator, denominator;
    };
    for (const Rate& rate : {Rate{100, 1000, 1}, Rate{100, 100, 1}, Rate{100, 101, 1}, Rate{100, 99, 1}, Rate{1000, 1000, 1},
                             Rate{29, 30000, 1001}, Rate{30, 30000, 1001}, Rate{8000, 60, 1}, Rate{44100, 1000, 1}}) {
        bool emptyBlock = false;
        for (int64_t frame = 0; frame < 5 * rate.numerator; ++frame)
            emptyBlock = emptyBlock || frameStart(frame + 1, rate.sampleRate, rate.numerator, rate.denominator) ==
                                           frameStart(frame, rate.sampleRate, rate.numerator, rate.denominator);
        EXPECT_EQ(frameRateFits(rate.sampleRate, rate.numerator, rate.denominator), !emptyBlock)
            << rate.numerator << "/" << rate.denominator << " fps over " << rate.sampleRate << " Hz";
    }
    EXPECT_FALSE(frameRateFits(0, 60));
    EXPECT_FALSE(frameRateFits(48000, 0));
    // One line naming both rates.
    const auto line = frameRateTooHigh(100, 1000);
    EXPECT_NE(line.find("1000 per second"), std::string::npos) << line;
    EXPECT_NE(line.find("100 samples per second"), std::string::npos) << line;
    EXPECT_EQ(line.find('\n'), std::string::npos);
    EXPECT_NE(frameRateTooHigh(29, 30000, 1001).find("30000/1001"), std::string::npos);
}

}  // namespace
}  // namespace lumrules
