// The frame renderer, checked call by call against the recorder.
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "render/frame_renderer.h"
#include "support/plugin_fixture.h"

namespace gyrotrail::testing {
namespace {

class Renderer : public PluginTest {
protected:
    // Angle 0 and divisor 1, so a block {a, b, 0} lands at (cx + b, cy + a).
    void plainSetup(int32_t trailLength, int32_t fade) {
        init();
        set(PARAM_LINE_LENGTH, trailLength);
        set(PARAM_ROTATION_SPEED, 0);
        set(PARAM_ZOOM_FACTOR, 99);
        set(PARAM_FADE_OUT, fade);
        lumStart();
        rec().clear();
    }
    std::string traceAndClear() {
        std::string t = rec().trace();
        rec().calls.clear();
        return t;
    }
    bool stateEquals(const VisualizerState& other) { return std::memcmp(&other, &state(), sizeof other) == 0; }
};

std::string pen(const std::string& colour, const std::string& to) {
    return "CreatePen 0 10 " + colour + "\nSelectObject pen\nLineTo " + to +
           "\nSelectObject stock\nDeleteObject pen\n";
}

TEST_F(Renderer, WorkedExampleTrailOfThreeWithFading) {
    plainSetup(3, 1);
    const std::string head = "GetDC\nGetClientRect 640 480\n";
    const std::string white = "0x00ffffff", black = "0x00000000", third = "0x00555555";

    frame(1, 10);  // N1 = (330, 241)
    EXPECT_EQ(traceAndClear(), head + "MoveToEx 320 240\n" + pen(white, "330 241") + "ReleaseDC\n");
    frame(2, 20);  // N2 = (340, 242)
    EXPECT_EQ(traceAndClear(), head + "MoveToEx 330 241\n" + pen(white, "340 242") + "ReleaseDC\n");
    frame(3, 30);  // N3 = (350, 243)
    EXPECT_EQ(traceAndClear(), head + "MoveToEx 320 240\n" + pen(black, "330 241") + pen(third, "340 242") +
                                   "MoveToEx 340 242\n" + pen(white, "350 243") + "ReleaseDC\n");
    frame(4, 40);  // N4 = (360, 244)
    EXPECT_EQ(traceAndClear(), head + "MoveToEx 330 241\n" + pen(black, "340 242") + pen(third, "350 243") +
                                   "MoveToEx 350 243\n" + pen(white, "360 244") + "ReleaseDC\n");
    EXPECT_EQ(state().pointCount, 2);
    EXPECT_EQ(state().trailX[0], 340);
    EXPECT_EQ(state().trailX[1], 350);
    EXPECT_EQ(state().trailX[2], 360);
    EXPECT_TRUE(rec().faults().empty());
}

TEST_F(Renderer, FullTrailWithoutFadingPaintsOnlyTheOldestSegmentBlack) {
    plainSetup(4, 0);
    for (int i = 1; i <= 3; ++i) frame(0, static_cast<int8_t>(i));
    rec().calls.clear();
    frame(0, 4);
    EXPECT_EQ(traceAndClear(), "GetDC\nGetClientRect 640 480\nMoveToEx 320 240\n" + pen("0x00000000", "321 240") +
                                   "MoveToEx 323 240\n" + pen("0x00ffffff", "324 240") + "ReleaseDC\n");
}

TEST_F(Renderer, TrailOfTwoKeepsOnlyTheNewestSegmentEitherWay) {
    for (int fade : {0, 1}) {
        plainSetup(2, fade);
        frame(0, 1);
        for (int i = 2; i <= 4; ++i) {
            rec().calls.clear();
            frame(0, static_cast<int8_t>(i));
            EXPECT_EQ(traceAndClear(), "GetDC\nGetClientRect 640 480\nMoveToEx " + std::to_string(318 + i) +
                                           " 240\n" + pen("0x00000000", std::to_string(320 + i - 1) + " 240") +
                                           "MoveToEx " + std::to_string(320 + i - 1) + " 240\n" +
                                           pen("0x00ffffff", std::to_string(320 + i) + " 240") + "ReleaseDC\n")
                << "fade " << fade << " frame " << i;
        }
    }
}

TEST_F(Renderer, FadeShadesScaleEachChannelAndDropTheTopByte) {
    EXPECT_EQ(fadeColour(0x00FFFFFF, 0, 5), 0u);
    EXPECT_EQ(fadeColour(0x00FFFFFF, 1, 3), 0x00555555u);
    // Each channel divided on its own, rounded down: 0x40*2/5 = 25, 0x80*2/5 = 51, 0xFF*2/5 = 102.
    EXPECT_EQ(fadeColour(0xAAFF8040, 2, 5), (102u << 16) | (51u << 8) | 25u);
    EXPECT_EQ(fadeColour(0x00010101, 28, 30), 0u);

    plainSetup(5, 1);
    set(PARAM_COLOR, static_cast<int32_t>(0xAAFF8040));
    for (int i = 0; i < 5; ++i) frame(0, 1);
    std::vector<int64_t> colours;
    for (const DrawCall& c : rec().calls)
        if (c.op == Op::CreatePen) colours.push_back(c.c);
    // Frame 5 is the first with a full trail: four repaint pens, then the new segment.
    const std::vector<int64_t> lastFrame(colours.end() - 5, colours.end());
    EXPECT_EQ(lastFrame, (std::vector<int64_t>{0, fadeColour(0xAAFF8040, 1, 5), fadeColour(0xAAFF8040, 2, 5),
                                               fadeColour(0xAAFF8040, 3, 5), 0xAAFF8040}));
}

TEST_F(Renderer, PensAreBalancedAndNeverTwoAtOnce) {
    init();
    lumStart();
    int frames = 0;
    for (int32_t length : {2, 3, 7, 30}) {
        set(PARAM_LINE_LENGTH, length);
        for (int32_t fade : {0, 1}) {
            set(PARAM_FADE_OUT, fade);
            for (int i = 0; i < 40; ++i, ++frames) {
                const size_t before = rec().calls.size();
                frame(static_cast<int8_t>(i * 7), static_cast<int8_t>(-i * 5));
                int pens = 0;
                for (size_t k = before; k < rec().calls.size(); ++k) pens += rec().calls[k].op == Op::CreatePen;
                ASSERT_LE(pens, length);
            }
        }
    }
    EXPECT_EQ(rec().livePens(), 0);
    EXPECT_EQ(rec().mostPensAtOnce(), 1);
    EXPECT_EQ(rec().openContexts(), 0);
    EXPECT_TRUE(rec().faults().empty()) << rec().faults().front();
    EXPECT_GT(frames, 0);
}

TEST_F(Renderer, AngleAdvancesByTheStepAndSnapsBackAfterTwoTurnsOfTheCounter) {
    init();
    set(PARAM_ROTATION_SPEED, 3);
    lumStart();
    double expected = 0.0;
    for (int i = 1; i <= 6; ++i) {
        frame(0, 0);
        expected += 3.1415 / 3;
        if (i < 6) {
            EXPECT_EQ(state().angle, expected) << "frame " << i;
            EXPECT_EQ(state().frameCounter, i);
        }
    }
    EXPECT_EQ(state().angle, 0.0);
    EXPECT_EQ(state().frameCounter, 0);

    frame(0, 0);
    lumStart();
    EXPECT_EQ(state().angle, 0.0);
    EXPECT_EQ(state().frameCounter, 0);
}

TEST_F(Renderer, RotationSpeedOneAlmostReversesEveryOtherPoint) {
    init();
    set(PARAM_ROTATION_SPEED, 1);
    set(PARAM_ZOOM_FACTOR, 99);
    lumStart();
    frame(0, 100);
    EXPECT_EQ(state().angle, 3.1415);
    frame(0, 100);
    EXPECT_EQ(state().angle, 0.0);
    // (100 * cos 3.1415 + 320) - 0 truncates to 220; y = 100 * sin 3.1415 + 240 truncates to 240.
    EXPECT_EQ(state().trailX[1], 420);
    EXPECT_EQ(state().trailX[2], 220);
    EXPECT_EQ(state().trailY[2], 240);
}

TEST_F(Renderer, StoppingTheRotationDrawsOnceMoreAtTheReachedAngle) {
    init();
    set(PARAM_ROTATION_SPEED, 10);
    set(PARAM_ZOOM_FACTOR, 99);
    lumStart();
    frame(0, 0);
    frame(0, 0);
    const double reached = state().angle;
    ASSERT_GT(reached, 0.0);
    set(PARAM_ROTATION_SPEED, 0);
    frame(0, 100);
    EXPECT_EQ(state().trailX[3], static_cast<int32_t>(100 * std::cos(reached) + 320));
    EXPECT_EQ(state().trailY[3], static_cast<int32_t>(100 * std::sin(reached) + 240));
    EXPECT_EQ(state().angle, 0.0);
    EXPECT_EQ(state().frameCounter, 2);
    frame(0, 100);
    EXPECT_EQ(state().trailX[4], 420);
    EXPECT_EQ(state().frameCounter, 2);
}

TEST_F(Renderer, ScaledSumsTruncateTowardZeroAndOddSizesHalveDown) {
    plainSetup(5, 1);
    set(PARAM_ZOOM_FACTOR, 98);  // divisor 2
    rec().client = ClientRect{0, 0, 301, 201};
    frame(-7, 7);
    EXPECT_EQ(state().trailX[0], 150);
    EXPECT_EQ(state().trailY[0], 100);
    EXPECT_EQ(state().trailX[1], 153);
    EXPECT_EQ(state().trailY[1], 97);
}

TEST_F(Renderer, NewPointsFollowTheCentreAfterAResize) {
    plainSetup(5, 1);
    frame(0, 10);
    rec().client = ClientRect{0, 0, 1000, 800};
    frame(0, 10);
    EXPECT_EQ(state().trailX[0], 320);
    EXPECT_EQ(state().trailX[1], 330);
    EXPECT_EQ(state().trailX[2], 510);
    EXPECT_EQ(state().trailY[2], 400);
}

TEST_F(Renderer, ColourReachesTheNewSegmentWithAllItsBits) {
    plainSetup(5, 1);
    set(PARAM_COLOR, static_cast<int32_t>(0xFF123456));
    frame(0, 1);
    EXPECT_NE(rec().trace().find("CreatePen 0 10 0xff123456"), std::string::npos);
}

TEST_F(Renderer, EmptyBlockLandsOnTheCentreWhateverTheAngle) {
    init();
    lumStart();
    for (int i = 0; i < 5; ++i) ASSERT_EQ(lumDisplaySoundData(reinterpret_cast<LumWindow>(1), nullptr, 0), 1);
    for (int i = 0; i <= 4; ++i) {
        EXPECT_EQ(state().trailX[i], 320);
        EXPECT_EQ(state().trailY[i], 240);
    }
}

// Faults a host could trigger; each leaves the state as it was.
TEST_F(Renderer, FramesBeforeLumInitDrawNothingAndChangeNothing) {
    const VisualizerState before = state();
    frame(5, 5);
    EXPECT_TRUE(rec().calls.empty());
    EXPECT_TRUE(stateEquals(before));
    set(PARAM_LINE_LENGTH, 5);  // still no divisor
    frame(5, 5);
    EXPECT_TRUE(rec().calls.empty());
}

TEST_F(Renderer, AWindowWithoutADrawingContextIsLeftAlone) {
    init();
    set(PARAM_ROTATION_SPEED, 2);
    lumStart();
    frame(1, 1);
    rec().giveContext = false;
    rec().calls.clear();
    const VisualizerState before = state();
    frame(9, 9);
    EXPECT_EQ(rec().trace(), "GetDC\n");
    EXPECT_TRUE(stateEquals(before));
}

TEST_F(Renderer, NullDataWithALengthIsRefused) {
    init();
    lumStart();
    frame(1, 1);
    rec().calls.clear();
    const VisualizerState before = state();
    EXPECT_EQ(lumDisplaySoundData(reinterpret_cast<LumWindow>(1), nullptr, 300), 0);
    EXPECT_TRUE(rec().calls.empty());
    EXPECT_TRUE(stateEquals(before));
}

TEST_F(Renderer, PointsBeyondThe32BitRangeSaturate) {
    EXPECT_EQ(truncateToInt32(2147483960.0), INT32_MAX);
    EXPECT_EQ(truncateToInt32(-3e12), INT32_MIN);
    EXPECT_EQ(truncateToInt32(-2147483648.9), INT32_MIN);
    EXPECT_EQ(truncateToInt32(-7.9), -7);
    EXPECT_EQ(truncateToInt32(2147483647.5), INT32_MAX);

    plainSetup(5, 1);
    // First third silent, the rest 127 each: sumB = 2147483640, and cx pushes x past the limit.
    std::vector<uint8_t> block(25363980, 0);
    std::fill(block.begin() + 8454660, block.end(), uint8_t{127});
    ASSERT_EQ(lumDisplaySoundData(reinterpret_cast<LumWindow>(1), block.data(), static_cast<uint32_t>(block.size())), 1);
    EXPECT_EQ(state().trailX[1], INT32_MAX);
    EXPECT_EQ(state().trailY[1], 240);
}

}  // namespace
}  // namespace gyrotrail::testing
