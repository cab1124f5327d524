// Presets applied beside a live run, against what the plug-in said of its
// settings: clamped as it clamps, all or nothing, without calling it.
#include <gtest/gtest.h>

#include <random>

#include "live/settings_mirror.h"
#include "loading/plugins/plugin_params.h"
#include "rules/param_text.h"
#include "rules/presets.h"

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

// A mirror probed from the plug-in itself, changed through what the keys and
// presets use, and every value handed on to the plug-in: both end alike, and
// each value handed on is the one the plug-in keeps.
TEST(SettingsMirror, ProbedFromThePluginItClampsAsItDoesAndHandsOnWhatItKeeps) {
    lumhost::PluginModule plugin(GYROTRAIL_MODULE_PATH, lumhost::ModuleSharing::ownCopy);
    lumhost::initPlugin(plugin);
    const lumhost::ModuleParams direct(plugin);
    auto mirror = lumlive::mirrorOf(direct);
    ASSERT_EQ(mirror.settings().size(), lumrules::listParams(direct).size());
    int handedOn = 0;
    const lumlive::HandedOnSettings settings(mirror, [&](uint32_t id, int32_t value) {
        ++handedOn;
        EXPECT_EQ(direct.set(id, value), value) << "id " << id;
    });
    std::mt19937 random(7);
    for (int round = 0; round < 20; ++round) {
        lumrules::randomiseSettings(settings, random);
        ASSERT_EQ(lumrules::presetText(settings), lumrules::presetText(direct)) << "round " << round;
    }
    // Out of range both ways: clamped alike.
    for (const auto& setting : mirror.settings()) {
        if (!setting.range) continue;
        settings.set(setting.info.id, setting.range->high + 1000);
        settings.set(setting.info.id, setting.range->low - 1000);
    }
    EXPECT_EQ(lumrules::presetText(settings), lumrules::presetText(direct));
    EXPECT_GT(handedOn, 20);
    EXPECT_FALSE(settings.set(9999, 1)) << "an id the plug-in does not know is not handed on";
}

}  // namespace
