// A module of its own for each host that asks for one: two copies of one
// plug-in file keep two figures and two sets of settings.
#include <gtest/gtest.h>

#include <vector>

#include "loading/plugins/plugin_module.h"
#include "loading/plugins/plugin_params.h"

namespace lumhost {
namespace {

struct Canvas {
    std::vector<uint32_t> pixels = std::vector<uint32_t>(64 * 48, 0);
    LumCanvas canvas{64, 48, 64 * 4, pixels.data()};
};

TEST(ModuleCopies, OwnCopiesKeepTheirOwnSettingsAndTrail) {
    PluginModule first(GYROTRAIL_MODULE_PATH, ModuleSharing::ownCopy);
    PluginModule second(GYROTRAIL_MODULE_PATH, ModuleSharing::ownCopy);
    initPlugin(first);
    initPlugin(second);
    ASSERT_EQ(setParam(first, 11, 3), 3);
    EXPECT_EQ(describeParam(second, 11)->value, 10) << "a setting made in one copy shows in the other";

    // The same blocks through both, one frame each in turn, draw what one module alone draws.
    const std::vector<int8_t> block = {40, 40, 40, -20, 10, 10, 10, 10, 10};
    Canvas a, b, alone;
    first.start();
    second.start();
    for (int frame = 0; frame < 5; ++frame) {
        first.displaySoundData(&a.canvas, block.data(), static_cast<uint32_t>(block.size()));
        second.displaySoundData(&b.canvas, block.data(), static_cast<uint32_t>(block.size()));
    }
    PluginModule third(GYROTRAIL_MODULE_PATH, ModuleSharing::ownCopy);
    initPlugin(third);
    third.start();
    for (int frame = 0; frame < 5; ++frame) third.displaySoundData(&alone.canvas, block.data(), static_cast<uint32_t>(block.size()));
    EXPECT_EQ(b.pixels, alone.pixels);
    EXPECT_NE(a.pixels, b.pixels) << "the first copy's narrower line";
}

TEST(ModuleCopies, SharedLoadsAreOneModule) {
    PluginModule first(GYROTRAIL_MODULE_PATH);
    PluginModule second(GYROTRAIL_MODULE_PATH);
    initPlugin(first);
    ASSERT_EQ(setParam(first, 11, 3), 3);
    EXPECT_EQ(describeParam(second, 11)->value, 3);
}

TEST(ModuleCopies, RangesComeFromClamping) {
    PluginModule plugin(GYROTRAIL_MODULE_PATH, ModuleSharing::ownCopy);
    initPlugin(plugin);
    const auto length = clampRange(plugin, 12);
    ASSERT_TRUE(length);
    EXPECT_EQ(length->low, 2);
    EXPECT_EQ(length->high, 30);
    EXPECT_FALSE(clampRange(plugin, 10)) << "a colour takes every value";
    EXPECT_FALSE(clampRange(plugin, 200)) << "an id the plug-in does not know";
}

}  // namespace
}  // namespace lumhost
