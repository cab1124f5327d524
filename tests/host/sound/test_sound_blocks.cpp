// What the plug-in sees of the sound: sample conversion, block layout,
// slicing into frames, and the demo signal.
#include <gtest/gtest.h>

#include <cmath>

#include "host/sound/demo_signal.h"
#include "host/sound/sound_block.h"

namespace lumhost {
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

TEST(DemoSignal, TwentySecondsOfMovingStereoThatStaysInTheFrame) {
    auto demo = makeDemoSignal();
    ASSERT_EQ(demo->channels(), 2);
    EXPECT_EQ(demo->frames(), int64_t{demoSampleRate} * demoSeconds);
    // The plug-in's view at 60 fps with its default zoom (sums / 10).
    std::vector<float> samples(800 * 2);
    std::vector<int8_t> block;
    int64_t read = 0;
    int maxReach = 0, framesOffDiagonal = 0, framesMoving = 0;
    while (const auto got = demo->read(samples.data(), 800)) {
        read += static_cast<int64_t>(got);
        makeSoundBlock(samples.data(), got, 2, BlockLayout::planar, block);
        int left = 0, right = 0;
        for (std::size_t i = 0; i < got; ++i) {
            left += block[i];
            right += block[got + i];
        }
        maxReach = std::max({maxReach, std::abs(left) / 10, std::abs(right) / 10});
        if (std::abs(left - right) > 500) ++framesOffDiagonal;
        if (std::abs(left) + std::abs(right) > 500) ++framesMoving;
    }
    EXPECT_EQ(read, demo->frames());
    EXPECT_LT(maxReach, 360) << "within half a 720-pixel frame";
    EXPECT_GT(framesOffDiagonal, 200) << "the channels differ: stereo movement";
    EXPECT_GT(framesMoving, 600) << "the figure moves most of the time";
}

}  // namespace
}  // namespace lumhost
