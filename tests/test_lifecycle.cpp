// The order of calls a host makes: init, runs of frames, ends, re-inits.
#include <cstring>

#include "support/plugin_fixture.h"

namespace gyrotrail::testing {
namespace {

class Lifecycle : public PluginTest {};

TEST_F(Lifecycle, LumInitSetsTheDefaultsAndKeepsTheFigureGoing) {
    init();
    set(PARAM_ROTATION_SPEED, 4);
    lumStart();
    for (int i = 0; i < 3; ++i) frame(3, 4);
    set(PARAM_LINE_WIDTH, 33);
    set(PARAM_COLOR, 0x123456);
    const VisualizerState before = state();
    init();
    EXPECT_EQ(state().lineWidth, 10);
    EXPECT_EQ(state().zoomDivisor, 10);
    EXPECT_EQ(state().color, 0x00FFFFFFu);
    EXPECT_EQ(state().trailLength, 5);
    EXPECT_EQ(state().rotationSpeed, 6);
    EXPECT_EQ(state().fadeOut, 1);
    EXPECT_EQ(state().pointCount, before.pointCount);
    EXPECT_EQ(state().angle, before.angle);
    EXPECT_EQ(state().frameCounter, before.frameCounter);
    EXPECT_EQ(std::memcmp(state().trailX, before.trailX, sizeof before.trailX), 0);
}

TEST_F(Lifecycle, LumStartKeepsTheSettingsAndEmptiesTheTrail) {
    init();
    set(PARAM_LINE_WIDTH, 3);
    lumStart();
    for (int i = 0; i < 4; ++i) frame(3, 4);
    ASSERT_EQ(lumEnd(), 1);
    ASSERT_EQ(lumStart(), 1);
    EXPECT_EQ(state().pointCount, 0);
    EXPECT_EQ(state().angle, 0.0);
    EXPECT_EQ(state().frameCounter, 0);
    EXPECT_EQ(state().lineWidth, 3);
    rec().calls.clear();
    frame(1, 1);
    EXPECT_EQ(formatCall(rec().calls.at(2)), "MoveToEx 320 240");
    EXPECT_EQ(formatCall(rec().calls.at(3)), "CreatePen 0 3 0x00ffffff");
}

TEST_F(Lifecycle, LumEndAndLumGetBitmapChangeNothing) {
    EXPECT_EQ(lumGetBitmap(), nullptr);
    EXPECT_EQ(lumEnd(), 1);
    init();
    lumStart();
    frame(1, 2);
    const VisualizerState before = state();
    EXPECT_EQ(lumEnd(), 1);
    EXPECT_EQ(lumEnd(), 1);
    EXPECT_EQ(lumGetBitmap(), nullptr);
    EXPECT_EQ(std::memcmp(&before, &state(), sizeof before), 0);
}

// A re-init that shortens a full trail restarts it at the centre, so that
// every segment drawn afterwards is still painted over in time.
TEST_F(Lifecycle, LumInitUnderALongerFullTrailRestartsItAtTheCentre) {
    init();
    set(PARAM_LINE_LENGTH, 10);
    set(PARAM_FADE_OUT, 0);
    lumStart();
    for (int i = 0; i < 12; ++i) frame(1, static_cast<int8_t>(i));
    ASSERT_EQ(state().pointCount, 9);
    init();
    EXPECT_EQ(state().trailLength, 5);
    EXPECT_EQ(state().pointCount, 0);
    rec().calls.clear();
    frame(0, 0);
    EXPECT_EQ(formatCall(rec().calls.at(2)), "MoveToEx 320 240");

    // From now on the trail holds five points and the oldest segment is repainted.
    for (int i = 0; i < 10; ++i) frame(5, static_cast<int8_t>(i * 3));
    EXPECT_EQ(state().pointCount, 4);
}

TEST_F(Lifecycle, LumInitWithinTheDefaultLengthKeepsTheTrail) {
    init();
    set(PARAM_LINE_LENGTH, 10);
    lumStart();
    for (int i = 0; i < 4; ++i) frame(1, static_cast<int8_t>(i));
    ASSERT_EQ(state().pointCount, 4);
    init();
    EXPECT_EQ(state().pointCount, 4);
}

}  // namespace
}  // namespace gyrotrail::testing
