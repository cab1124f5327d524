// Presets applied beside a live run, against what the plug-in said of its
// settings: clamped as it clamps, all or nothing, without calling it.
#include <gtest/gtest.h>

#include "live/settings_mirror.h"
#include "rules/param_text.h"

namespace {

lumlive::SettingsMirror gyrotrailLike() {
    return lumlive::SettingsMirror({
        {{10, 4, "Color", 0x00FFFFFF, "Defines the line color."}, std::nullopt},
        {{11, 1, "Line width", 10, "Defines the line width in pixel (1-50)."}, lumrules::ValueRange{1, 50}},
        {{12, 1, "Line length", 5, "Defines the line length (2-30)."}, lumrules::ValueRange{2, 30}},
    });
}

TEST(SettingsMirror, APresetIsClampedAsThePluginClampsAndEveryNamedSettingHandedOn) {
    auto mirror = gyrotrailLike();
    std::vector<std::string> notes;
    const auto applied = lumlive::applyPresetText(mirror, "line width = 90\nLine_Length=5\n", "p.preset", &notes);
    ASSERT_EQ(applied.size(), 2u);
    EXPECT_EQ(applied[0], (std::pair<uint32_t, int32_t>{11, 50}));
    // Named at the value it had: still handed on, as it empties the trail.
    EXPECT_EQ(applied[1], (std::pair<uint32_t, int32_t>{12, 5}));
    EXPECT_EQ(mirror.describe(11)->value, 50);
    EXPECT_EQ(notes.size(), 1u);
}

TEST(SettingsMirror, ABadPresetChangesNothing) {
    auto mirror = gyrotrailLike();
    EXPECT_THROW(lumlive::applyPresetText(mirror, "line width=3\nnonsense=1\n", "bad.preset"), lumrules::RuleError);
    EXPECT_EQ(mirror.describe(11)->value, 10);
    EXPECT_EQ(mirror.values(), (std::vector<std::pair<uint32_t, int32_t>>{{10, 0x00FFFFFF}, {11, 10}, {12, 5}}));
}

}  // namespace
