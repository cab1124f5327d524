// Frames drawn by the module into a real window, read back pixel by pixel.
// Rotation off and zoom factor 99 (divisor 1), so a block {A, B, 0} puts the
// new point B pixels right of and A pixels below the centre.
#include <gtest/gtest.h>

#include <cstdint>

#include "loaded_module.h"
#include "test_window.h"

namespace gyrotrail::testing {
namespace {

constexpr COLORREF kBlack = 0x000000;
constexpr COLORREF kColour = 0x00C08040;  // red 0x40, green 0x80, blue 0xC0

class FramesOnScreen : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(module.complete());
        LumPluginInfo info{};
        ASSERT_EQ(module.init(&info), 1);
        set(13, 0);  // no rotation
        set(15, 99);
        set(11, 1);
        set(12, 3);
        set(10, static_cast<int32_t>(kColour));
        ASSERT_EQ(module.start(), 1);
    }
    void set(uint32_t id, int32_t value) {
        LumParamInfo record{};
        record.value = value;
        ASSERT_EQ(module.setParamInfo(id, &record), 1);
    }
    void frame(int8_t a, int8_t b) {
        const int8_t block[3] = {a, b, 0};
        ASSERT_EQ(module.displaySoundData(window.handle(), block, 3), 1);
    }
    LoadedModule module;
    TestWindow window{200, 150};  // centre (100, 75)
};

TEST_F(FramesOnScreen, TrailStartsAtTheCentreInTheLineColour) {
    frame(0, 60);  // (100,75) -> (160,75)
    EXPECT_EQ(window.pixel(100, 75), kColour) << "the first segment starts at the centre";
    EXPECT_EQ(window.pixel(130, 75), kColour);
    EXPECT_EQ(window.pixel(130, 74), kBlack) << "one pixel wide";
    EXPECT_EQ(window.pixel(170, 75), kBlack) << "and no longer than asked";
    EXPECT_EQ(window.pixel(90, 75), kBlack);
}

TEST_F(FramesOnScreen, FullTrailPaintsTheOldestBlackAndFadesTheRest) {
    frame(0, 60);     // C -> N1 (160,75)
    frame(-50, 60);   // N1 -> N2 (160,25)
    frame(-50, -60);  // full: C->N1 black, N1->N2 at 1/3, N2 -> N3 (40,25)
    EXPECT_EQ(window.pixel(130, 75), kBlack) << "the oldest segment is painted over";
    EXPECT_EQ(window.pixel(160, 50), 0x00402A15u) << "the middle segment at 1/3 of each of red, green, blue";
    EXPECT_EQ(window.pixel(100, 25), kColour) << "the newest segment in the line colour";
    frame(40, -60);  // N1->N2 black, N2->N3 at 1/3, N3 -> N4 (40,115)
    EXPECT_EQ(window.pixel(160, 50), kBlack);
    EXPECT_EQ(window.pixel(100, 25), 0x00402A15u);
    EXPECT_EQ(window.pixel(40, 70), kColour);
}

TEST_F(FramesOnScreen, WithoutFadingOnlyTheOldestSegmentIsPaintedOver) {
    set(14, 0);
    set(12, 4);
    frame(0, 60);
    frame(-50, 60);
    frame(-50, -60);
    frame(40, -60);  // full: C->N1 black; N1->N2 and N2->N3 keep the line colour
    EXPECT_EQ(window.pixel(130, 75), kBlack);
    EXPECT_EQ(window.pixel(160, 50), kColour);
    EXPECT_EQ(window.pixel(100, 25), kColour);
    EXPECT_EQ(window.pixel(40, 70), kColour);
}

TEST_F(FramesOnScreen, LineWidthIsThePenWidthInPixels) {
    set(11, 9);
    frame(0, 60);
    EXPECT_EQ(window.pixel(130, 75), kColour);
    EXPECT_EQ(window.pixel(130, 79), kColour) << "four pixels off the line's middle is inside a 9-pixel pen";
    EXPECT_EQ(window.pixel(130, 71), kColour);
    EXPECT_EQ(window.pixel(130, 81), kBlack);
}

TEST_F(FramesOnScreen, AResizeMovesTheCentre) {
    frame(0, 60);
    window.resize(300, 100);  // centre (150, 50)
    ASSERT_EQ(module.start(), 1);
    frame(0, 40);
    EXPECT_EQ(window.pixel(150, 50), kColour);
    EXPECT_EQ(window.pixel(170, 50), kColour);
    EXPECT_EQ(window.pixel(100, 75), kBlack) << "the cleared old centre stays black";
}

TEST_F(FramesOnScreen, NewPointsCircleTheCentreWhileRotating) {
    set(13, 1);  // the angle alternates between 0 and 3.1415
    frame(0, 60);   // angle 0: C -> (160,75)
    frame(0, 60);   // angle 3.1415: (160,75) -> about (40,75)
    EXPECT_EQ(window.pixel(50, 75), kColour);
    EXPECT_EQ(window.pixel(100, 75), kColour);
}

}  // namespace
}  // namespace gyrotrail::testing
