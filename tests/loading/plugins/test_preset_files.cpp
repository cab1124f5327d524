// Preset folders, names and files, without a window.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>

#include "host_runner.h"
#include "loading/load_error.h"
#include "loading/plugins/plugin_presets.h"

namespace lumhost {
namespace {

namespace fs = std::filesystem;

TEST(PresetFolders, UserFolderFirstThenTheInstalledAndTheMachines) {
    PresetSetting setting{std::string("/cfg"), std::string("/home/me"), "/opt/gt/bin", std::nullopt};
    const auto folders = presetFolders(setting, "gyrotrail");
    ASSERT_EQ(folders.size(), 4u);
    EXPECT_EQ(folders[0], "/cfg/lumhost/presets/gyrotrail");
    EXPECT_EQ(folders[1], "/opt/gt/share/lumhost/presets/gyrotrail");
    EXPECT_EQ(folders[2], "/usr/local/share/lumhost/presets/gyrotrail");
    EXPECT_EQ(folders[3], "/usr/share/lumhost/presets/gyrotrail");
    setting.configHome = "relative/ignored";  // XDG: a relative value is invalid and ignored
    EXPECT_EQ(userPresetFolder(setting, "x"), "/home/me/.config/lumhost/presets/x");
    EXPECT_THROW(userPresetFolder(PresetSetting{}, "x"), lumload::LoadError);
    EXPECT_EQ(presetPluginName("/a/b/gyrotrail.lum"), "gyrotrail");
    for (const char* bad : {"", "a/b", ".hidden", ".."}) EXPECT_THROW(checkPresetName(bad), lumload::LoadError) << bad;
    EXPECT_NO_THROW(checkPresetName("calm evening"));
}

TEST(PresetFolders, SystemRootMovesOnlyTheMachinesFolders) {
    PresetSetting setting{std::string("/cfg"), std::string("/home/me"), "/opt/gt/bin", std::string("/scratch/root")};
    const std::vector<fs::path> expected{"/cfg/lumhost/presets/gyrotrail", "/opt/gt/share/lumhost/presets/gyrotrail",
                                         "/scratch/root/usr/local/share/lumhost/presets/gyrotrail",
                                         "/scratch/root/usr/share/lumhost/presets/gyrotrail"};
    EXPECT_EQ(presetFolders(setting, "gyrotrail"), expected);
}

TEST(PresetFolders, FirstOfANameWinsAndShadowsTheRest) {
    hosttest::Scratch scratch;
    const fs::path user = scratch.path("user"), system = scratch.path("system");
    fs::create_directories(user);
    fs::create_directories(system / "wide.preset");  // a folder is not a preset
    std::ofstream(user / "wide.preset") << "Line width=30\n";
    std::ofstream(system / "calm.preset") << "Line width=2\n";
    std::ofstream(system / "notes.txt") << "not a preset\n";
    const auto found = findPresets({user, system, scratch.path("missing")});
    ASSERT_EQ(found.size(), 2u);
    EXPECT_EQ(found[0].name, "wide");
    EXPECT_EQ(found[1].name, "calm");
    std::ofstream(system / "again.preset") << "\n";
    std::ofstream(user / "again.preset") << "\n";
    const auto again = findPresets({user, system});
    ASSERT_EQ(again.size(), 4u);
    EXPECT_EQ(again[2].name, "again");
    EXPECT_EQ(again[2].shadowedBy, user / "again.preset");
    EXPECT_EQ(locatePreset("again", {user, system}), user / "again.preset");
    EXPECT_EQ(locatePreset("calm", {user, system}), system / "calm.preset");
    EXPECT_THROW(locatePreset("none", {user, system}), lumload::LoadError);
    EXPECT_THROW(locatePreset("./none.preset", {user}), lumload::LoadError);
}

// A preset file is read only if it is a regular file of at most 64 KiB: a
// FIFO without a writer must not wait, /dev/zero must not fill memory, and a
// larger file is refused after no more than a byte past the limit.
TEST(PresetFiles, OnlySmallRegularFilesAreRead) {
    hosttest::Scratch scratch;
    const fs::path fifo = scratch.path("waiting.preset");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const auto refusal = [](const fs::path& file) {
        try {
            readPresetFile(file);
        } catch (const lumload::LoadError& error) {
            return std::string(error.what());
        }
        return std::string("read");
    };
    EXPECT_EQ(refusal(fifo), "cannot read preset " + fifo.string() + ": not a regular file");
    EXPECT_EQ(refusal("/dev/zero"), "cannot read preset /dev/zero: not a regular file");
    const std::string line = "Line width=4\n";
    std::string text;
    while (text.size() + line.size() <= maxPresetBytes) text += line;
    text.append(maxPresetBytes - text.size(), '#');
    std::ofstream(scratch.path("full.preset"), std::ios::binary) << text;
    EXPECT_EQ(readPresetFile(scratch.path("full.preset")), text) << "exactly 64 KiB is a preset";
    std::ofstream(scratch.path("large.preset"), std::ios::binary) << text << std::string(1024, '#');
    EXPECT_EQ(refusal(scratch.path("large.preset")),
              "preset " + scratch.path("large.preset") + " is larger than 64 KiB; a preset is a few lines of settings");
    EXPECT_EQ(refusal(scratch.path("missing.preset")), "cannot read preset " + scratch.path("missing.preset") + ": No such file or directory");
}

TEST(PresetValues, ReadBackToTheSameBits) {
    const struct {
        int32_t type, value;
        const char* text;
    } cases[] = {{PARAMTYPE_COLOR, 0x00302010, "#102030"},
                 {PARAMTYPE_COLOR, static_cast<int32_t>(0xFF123456), "0xFF123456"},
                 {PARAMTYPE_TOGGLE, 0, "off"},
                 {PARAMTYPE_TOGGLE, 1, "on"},
                 {PARAMTYPE_TOGGLE, 7, "7"},
                 {PARAMTYPE_INTEGER, -5, "-5"},
                 {PARAMTYPE_INTEGER, INT32_MIN, "-2147483648"}};
    for (const auto& c : cases) {
        EXPECT_EQ(lumrules::valueText(c.type, c.value), c.text);
        EXPECT_EQ(parseParamValue(lumrules::valueText(c.type, c.value), c.type), c.value) << c.text;
    }
}

}  // namespace
}  // namespace lumhost
