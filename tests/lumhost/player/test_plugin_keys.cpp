// The keys that change the plug-in while it plays: presets in turn, saving,
// random settings and single steps, in a preset folder of the test's own.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "host_runner.h"
#include "loading/plugins/plugin_params.h"
#include "loading/plugins/plugin_presets.h"
#include "lumhost/player/plugin_keys.h"
#include "player_fakes.h"

namespace lumhost {
namespace {

namespace fs = std::filesystem;

class PluginKeys : public ::testing::Test {
protected:
    void SetUp() override {
        if (const char* value = std::getenv("XDG_CONFIG_HOME")) previous_ = value;
        setenv("XDG_CONFIG_HOME", scratch.path("config").c_str(), 1);
        initPlugin(plugin);
    }
    void TearDown() override {
        if (previous_)
            setenv("XDG_CONFIG_HOME", previous_->c_str(), 1);
        else
            unsetenv("XDG_CONFIG_HOME");
    }
    fs::path folder() const { return fs::path(scratch.path("config")) / "lumhost/presets/gyrotrail"; }
    std::string lastLine() const { return screen.shown.empty() || screen.shown.back().empty() ? "" : screen.shown.back()[0]; }

    hosttest::Scratch scratch;
    PluginModule plugin{GYROTRAIL_MODULE_PATH, ModuleSharing::ownCopy};
    ModuleParams params{plugin};
    RecordingScreen screen;

private:
    std::optional<std::string> previous_;
};

TEST_F(PluginKeys, PresetsComeInTurnAndABadOneChangesNothing) {
    PresetKeys presets(params, GYROTRAIL_MODULE_PATH);
    ::testing::internal::CaptureStderr();
    presets.next(screen);
    EXPECT_EQ(lastLine(), "no presets for gyrotrail (w saves one)");
    fs::create_directories(folder());
    // Its first line is good, its second is not: neither is applied.
    std::ofstream(folder() / "aaa.preset") << "Line width=7\nZoom factor=200%\n";
    std::ofstream(folder() / "good.preset") << "Zoom factor=20\nColor=#102030\n";
    const auto settings = presetText(plugin);
    presets.next(screen);
    const std::string bad = (folder() / "aaa.preset").string() + ":2: Zoom factor: bad parameter value '200%'";
    EXPECT_EQ(lastLine().substr(0, bad.size()), bad) << "the file, the line and what is wrong in it";
    EXPECT_EQ(presetText(plugin), settings);
    presets.next(screen);
    EXPECT_EQ(lastLine(), "preset good");
    const auto good = presetText(plugin);
    EXPECT_NE(good.find("Zoom factor=20\n"), std::string::npos) << good;
    EXPECT_NE(good.find("Color=#102030\n"), std::string::npos) << good;
    presets.next(screen);
    EXPECT_EQ(lastLine().substr(0, bad.size()), bad) << "round to the first again";
    const auto said = ::testing::internal::GetCapturedStderr();
    EXPECT_NE(said.find("lumhost: preset good\n"), std::string::npos) << said;
}

TEST_F(PluginKeys, SavingWritesTheSettingsUnderANewName) {
    PresetKeys presets(params, GYROTRAIL_MODULE_PATH);
    ::testing::internal::CaptureStderr();
    presets.save(screen);
    const auto first = folder() / "saved-1.preset";
    EXPECT_EQ(lastLine(), "saved preset saved-1 in " + first.string());
    EXPECT_EQ(hosttest::readFile(first), presetText(plugin));
    presets.save(screen);
    EXPECT_TRUE(fs::exists(folder() / "saved-2.preset")) << "the first is kept";
    // A saved preset comes in turn with the others.
    presets.next(screen);
    EXPECT_EQ(lastLine(), "preset saved-1");
    ::testing::internal::GetCapturedStderr();
}

TEST_F(PluginKeys, RandomSettingsSayWhatThePlugInHolds) {
    PresetKeys presets(params, GYROTRAIL_MODULE_PATH);
    ::testing::internal::CaptureStderr();
    const auto before = presetText(plugin);
    bool changed = false;
    for (int round = 0; round < 3; ++round) {
        presets.randomise(screen);
        ASSERT_GT(screen.shown.back().size(), 1u);
        EXPECT_EQ(screen.shown.back()[0], "random settings");
        changed = changed || presetText(plugin) != before;
    }
    ::testing::internal::GetCapturedStderr();
    EXPECT_TRUE(changed);
    // Each "Name: value" shown is the value the plug-in now holds.
    for (std::size_t line = 1; line < screen.shown.back().size(); ++line) {
        const auto& text = screen.shown.back()[line];
        const auto colon = text.find(": ");
        ASSERT_NE(colon, std::string::npos) << text;
        bool found = false;
        for (const auto& param : listParams(plugin)) {
            if (param.name != text.substr(0, colon)) continue;
            EXPECT_EQ(lumrules::formatValue(param.type, param.value), text.substr(colon + 2)) << text;
            found = true;
        }
        EXPECT_TRUE(found) << text;
    }
}

TEST_F(PluginKeys, AStepKeyMovesItsSettingAndStopsAtTheLimit) {
    const auto* binding = lumrules::findKey("a");
    ASSERT_NE(binding, nullptr);
    ASSERT_NE(binding->paramId, 0u);
    const auto range = clampRange(plugin, binding->paramId);
    ASSERT_TRUE(range);
    ::testing::internal::CaptureStderr();
    for (int press = 0; press < 3 * (range->high - range->low); ++press) {
        const auto before = describeParam(plugin, binding->paramId)->value;
        changeSetting(params, *binding, screen);
        const auto after = describeParam(plugin, binding->paramId);
        EXPECT_EQ(lastLine(), after->name + ": " + lumrules::formatValue(after->type, after->value));
        EXPECT_GE(after->value, range->low);
        EXPECT_LE(after->value, range->high);
        if (before == range->high || before == range->low) continue;
        EXPECT_NE(after->value, before) << "press " << press;
    }
    ::testing::internal::GetCapturedStderr();
}

}  // namespace
}  // namespace lumhost
