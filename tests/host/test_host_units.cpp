// The pieces of lumhost that decide what the plug-in sees: sample conversion,
// block layout, slicing, parameter values and names, sizes, output files.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>

#include "host/demo_signal.h"
#include "host/frame_size.h"
#include "host/host_error.h"
#include "host/output_file.h"
#include "host/plugin_params.h"
#include "host/sound_block.h"
#include "host_runner.h"

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

TEST(ParamValues, ParsesIntegersColoursAndToggles) {
    EXPECT_EQ(parseParamValue("42", PARAMTYPE_INTEGER), 42);
    EXPECT_EQ(parseParamValue("-5", PARAMTYPE_INTEGER), -5);
    EXPECT_EQ(parseParamValue("+7", PARAMTYPE_INTEGER), 7);
    EXPECT_EQ(parseParamValue("0x10", PARAMTYPE_INTEGER), 16);
    EXPECT_EQ(parseParamValue("0xFFFFFFFF", 0), -1) << "hex gives all 32 bits";
    EXPECT_EQ(parseParamValue("-2147483648", 0), INT32_MIN);
    EXPECT_EQ(parseParamValue("#FF8000", PARAMTYPE_COLOR), 0x000080FF) << "stored 0x00BBGGRR";
    EXPECT_EQ(parseParamValue("#0000ff", PARAMTYPE_COLOR), 0x00FF0000);
    EXPECT_EQ(parseParamValue("0x00FF0000", PARAMTYPE_COLOR), 0x00FF0000) << "raw values pass as they are";
    EXPECT_EQ(parseParamValue("On", PARAMTYPE_TOGGLE), 1);
    EXPECT_EQ(parseParamValue("off", PARAMTYPE_TOGGLE), 0);
    EXPECT_EQ(parseParamValue("7", PARAMTYPE_TOGGLE), 7);
    for (const char* bad : {"", "abc", "1.5", "2147483648", "-2147483649", "0x1FFFFFFFF", "0x", "--5", "+", "12 ", "#FF8000"})
        EXPECT_THROW(parseParamValue(bad, PARAMTYPE_INTEGER), HostError) << bad;
    EXPECT_THROW(parseParamValue("on", PARAMTYPE_INTEGER), HostError);
    EXPECT_THROW(parseParamValue("#FF80", PARAMTYPE_COLOR), HostError);
}

TEST(ParamValues, FormatsAsAPersonReadsThem) {
    EXPECT_EQ(formatParamValue(PARAMTYPE_COLOR, 0x000080FF), "0x000080FF (#FF8000)");
    EXPECT_EQ(formatParamValue(PARAMTYPE_TOGGLE, 0), "off");
    EXPECT_EQ(formatParamValue(PARAMTYPE_TOGGLE, 1), "on");
    EXPECT_EQ(formatParamValue(PARAMTYPE_TOGGLE, 7), "on (7)");
    EXPECT_EQ(formatParamValue(PARAMTYPE_INTEGER, -3), "-3");
}

TEST(ParamNames, MatchIgnoringCaseWithDashesForSpaces) {
    EXPECT_TRUE(paramNamesMatch("line width", "Line width"));
    EXPECT_TRUE(paramNamesMatch("LINE-WIDTH", "Line width"));
    EXPECT_TRUE(paramNamesMatch("zoom_factor", "Zoom factor"));
    EXPECT_FALSE(paramNamesMatch("line", "Line width"));
    EXPECT_FALSE(paramNamesMatch("linewidth", "Line width"));
    EXPECT_FALSE(paramNamesMatch("", ""));
}

TEST(ParamNames, RangeComesFromTheDescription) {
    const auto range = rangeFromDescription("Defines the line width in pixel (1-50).");
    ASSERT_TRUE(range);
    EXPECT_EQ(range->low, 1);
    EXPECT_EQ(range->high, 50);
    const auto negative = rangeFromDescription("Offset (-10 - 10)");
    ASSERT_TRUE(negative);
    EXPECT_EQ(negative->low, -10);
    EXPECT_FALSE(rangeFromDescription("Fade out line."));
}

TEST(ParamNames, AssignmentsNeedKeyAndValue) {
    const auto assignment = parseAssignment("line width=a=b", true);
    EXPECT_EQ(assignment.key, "line width");
    EXPECT_EQ(assignment.value, "a=b");
    EXPECT_THROW(parseAssignment("color", true), HostError);
    EXPECT_THROW(parseAssignment("=3", false), HostError);
    EXPECT_THROW(parseAssignment("11=", false), HostError);
}

TEST(FrameSizes, WidthByHeightWithinBounds) {
    const auto size = parseFrameSize("1280x720");
    EXPECT_EQ(size.width, 1280);
    EXPECT_EQ(size.height, 720);
    EXPECT_EQ(parseFrameSize("1X1").height, 1);
    EXPECT_EQ(parseFrameSize("16384x16384").width, 16384);
    for (const char* bad : {"", "1280", "1280x", "0x720", "1280x0", "16385x2", "1280 x 720", "-1x5", "12.5x4"})
        EXPECT_THROW(parseFrameSize(bad), HostError) << bad;
}

TEST(OutputFiles, AppearOnlyOnCommit) {
    hosttest::Scratch scratch;
    const auto target = scratch.dir() / "out.bin";
    {
        OutputFile file(target);
        writeAll(file.fd(), "abc", 3, "test");
        EXPECT_EQ(file.temporaryPath().parent_path(), scratch.dir()) << "written beside the target";
        EXPECT_FALSE(std::filesystem::exists(target));
    }
    EXPECT_TRUE(scratch.files().empty()) << "abandoned: nothing left";
    {
        OutputFile file(target);
        writeAll(file.fd(), "abc", 3, "test");
        file.commit();
    }
    EXPECT_EQ(scratch.files(), std::vector<std::string>{"out.bin"});
    EXPECT_EQ(hosttest::readFile(target.string()), "abc");
    EXPECT_THROW(OutputFile(scratch.dir() / "missing" / "out.bin"), HostError);
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
