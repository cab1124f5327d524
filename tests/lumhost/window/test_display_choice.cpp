// Which of SDL's video drivers lumhost play accepts, and how it says that no
// display can be reached.
#include <gtest/gtest.h>

#include "lumhost/window/live_window.h"

namespace lumhost {
namespace {

TEST(DisplayChoice, ADriverIsNamedAloneOrInAListInAnyCase) {
    EXPECT_TRUE(driverNamed("offscreen", "offscreen"));
    EXPECT_TRUE(driverNamed("OffScreen", "offscreen"));
    EXPECT_TRUE(driverNamed("x11,offscreen", "offscreen"));
    EXPECT_TRUE(driverNamed("dummy,x11", "dummy"));
    EXPECT_FALSE(driverNamed(nullptr, "offscreen")) << "unset";
    EXPECT_FALSE(driverNamed("", "offscreen"));
    EXPECT_FALSE(driverNamed("x11", "offscreen"));
    EXPECT_FALSE(driverNamed("off", "offscreen")) << "a part of a name is not the name";
    EXPECT_FALSE(driverNamed("offscreens", "offscreen"));
    EXPECT_FALSE(driverNamed("x11,", "dummy"));
}

TEST(DisplayChoice, OnlyDriversThatShowNothingAreRefused) {
    for (const char* nothing : {"offscreen", "dummy", "evdev"}) EXPECT_TRUE(showsNothing(nothing)) << nothing;
    for (const char* shown : {"x11", "wayland", "KMSDRM", "kmsdrm"}) EXPECT_FALSE(showsNothing(shown)) << shown;
}

TEST(DisplayChoice, TheReasonNamesWhatWasTriedAndTheWayOut) {
    const std::string way = "; use `lumhost render` to write a file";
    const std::string unset = "no display (DISPLAY and WAYLAND_DISPLAY are unset)" + way;
    EXPECT_EQ(noDisplayReason(nullptr, nullptr), unset);
    EXPECT_EQ(noDisplayReason("", ""), unset) << "empty is as good as unset";
    EXPECT_EQ(noDisplayReason(":9", nullptr), "no display can be reached (DISPLAY=:9)" + way);
    EXPECT_EQ(noDisplayReason("", "wayland-1"), "no display can be reached (WAYLAND_DISPLAY=wayland-1)" + way);
    EXPECT_EQ(noDisplayReason(":0", "wayland-0"), "no display can be reached (DISPLAY=:0, WAYLAND_DISPLAY=wayland-0)" + way);
}

}  // namespace
}  // namespace lumhost
