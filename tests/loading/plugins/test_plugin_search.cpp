// The plug-in search path: its order, lookups by name, the listing with its
// shadowed files, and probing files that do not load.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>

#include "host_runner.h"
#include "loading/load_error.h"
#include "loading/plugins/plugin_probe.h"
#include "loading/plugins/plugin_search.h"

namespace lumhost {
namespace {

namespace fs = std::filesystem;

std::vector<fs::path> systemFolders() {
    std::vector<fs::path> folders{"/usr/local/lib/lum"};
    std::string rest = LUMHOST_SYSTEM_PLUGIN_DIRS;
    for (std::size_t colon; (colon = rest.find(':')) != std::string::npos; rest.erase(0, colon + 1))
        folders.emplace_back(rest.substr(0, colon));
    folders.emplace_back(rest);
    return folders;
}

TEST(PluginFolders, LumPathThenHomeThenBesideAndInstalledThenSystem) {
    SearchSetting setting;
    setting.lumPath = "/a::/b/:";  // empty entries are no folder, not the current one
    setting.home = "/h";
    setting.executableFolder = "/opt/x/bin";
    std::vector<fs::path> expected{"/a", "/b", "/h/.local/lib/lum", "/opt/x/bin",
                                   (fs::path("/opt/x/bin") / LUMHOST_PLUGIN_DIR_FROM_BINDIR).lexically_normal()};
    for (const auto& folder : systemFolders()) expected.push_back(folder);
    EXPECT_EQ(pluginFolders(setting), expected);

    // Without LUM_PATH or HOME those folders are left out, not made up.
    setting.lumPath.reset();
    setting.home = "";
    expected.erase(expected.begin(), expected.begin() + 3);
    EXPECT_EQ(pluginFolders(setting), expected);
}

// Under a system root the machine's folders move beneath it; the user's
// folders and those found from the executable stay where they are.
TEST(PluginFolders, SystemRootMovesOnlyTheMachinesFolders) {
    SearchSetting setting;
    setting.lumPath = "/a";
    setting.home = "/h";
    setting.executableFolder = "/opt/x/bin";
    setting.systemRoot = "/scratch/root";
    std::vector<fs::path> expected{"/a", "/h/.local/lib/lum", "/opt/x/bin",
                                   (fs::path("/opt/x/bin") / LUMHOST_PLUGIN_DIR_FROM_BINDIR).lexically_normal()};
    for (const auto& folder : systemFolders()) expected.push_back(fs::path("/scratch/root") / folder.relative_path());
    EXPECT_EQ(pluginFolders(setting), expected);
    for (const auto& folder : pluginFolders(setting))
        EXPECT_NE(folder.string().rfind("/usr/", 0), 0u) << folder << " is the machine's own";
}

TEST(PluginFolders, SystemRootComesFromTheEnvironmentAndEmptyIsNone) {
    const char* before = std::getenv("LUM_SYSTEM_ROOT");
    const std::optional<std::string> saved = before != nullptr ? std::optional<std::string>(before) : std::nullopt;
    setenv("LUM_SYSTEM_ROOT", "/r", 1);
    EXPECT_EQ(systemRootSetting(), "/r");
    EXPECT_EQ(currentSearchSetting().systemRoot, "/r");
    setenv("LUM_SYSTEM_ROOT", "", 1);
    EXPECT_EQ(systemRootSetting(), std::nullopt);
    if (saved)
        setenv("LUM_SYSTEM_ROOT", saved->c_str(), 1);
    else
        unsetenv("LUM_SYSTEM_ROOT");
    EXPECT_EQ(systemFolder(std::nullopt, "/usr/lib/lum"), "/usr/lib/lum");
    EXPECT_EQ(systemFolder(std::string("/r/"), "/usr/lib/lum"), "/r/usr/lib/lum");
}

TEST(PluginFolders, EachFolderOnceInItsFirstPlace) {
    SearchSetting setting;
    setting.lumPath = "/usr/local/lib/lum/:/c:/c/./:/d/../c";
    const auto folders = pluginFolders(setting);
    ASSERT_GE(folders.size(), 2u);
    EXPECT_EQ(folders[0], "/usr/local/lib/lum");
    EXPECT_EQ(folders[1], "/c");
    EXPECT_EQ(std::count(folders.begin(), folders.end(), fs::path("/usr/local/lib/lum")), 1);
    EXPECT_EQ(std::count(folders.begin(), folders.end(), fs::path("/c")), 1);
}

class PluginLookup : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* folder : {"b", "c", "b/bar.lum"}) fs::create_directories(scratch.path(folder));
        for (const char* file : {"b/foo.lum", "c/foo.lum", "c/bar.lum", "c/zed.lum", "c/notes.txt", "c/.lum"})
            std::ofstream(scratch.path(file)) << file;
        folders = {scratch.path("missing"), scratch.path("b"), scratch.path("c")};
    }
    hosttest::Scratch scratch;
    std::vector<fs::path> folders;
};

TEST_F(PluginLookup, FirstRegularFileOfTheNameWins) {
    EXPECT_EQ(locatePlugin("foo", folders), scratch.path("b/foo.lum"));
    EXPECT_EQ(locatePlugin("foo.lum", folders), scratch.path("b/foo.lum"));
    // b/bar.lum is a folder: the file in c is the plug-in.
    EXPECT_EQ(locatePlugin("bar", folders), scratch.path("c/bar.lum"));
    // Anything with a '/' is a path, taken as given even if it names no file.
    EXPECT_EQ(locatePlugin("./foo.lum", folders), "./foo.lum");
    EXPECT_EQ(locatePlugin("/no/such.lum", folders), "/no/such.lum");
}

TEST_F(PluginLookup, NameFoundNowhereNamesEveryFolderSearched) {
    try {
        locatePlugin("nothing", folders);
        FAIL() << "found a plug-in that is not there";
    } catch (const lumload::LoadError& error) {
        const std::string message = error.what();
        EXPECT_EQ(message.find('\n'), std::string::npos) << message;
        EXPECT_NE(message.find("no plug-in named nothing in " + scratch.path("missing") + " (missing), " +
                               scratch.path("b") + ", " + scratch.path("c")),
                  std::string::npos)
            << message;
    }
    EXPECT_THROW(locatePlugin("", folders), lumload::LoadError);
    EXPECT_THROW(locatePlugin(".lum", folders), lumload::LoadError);
}

TEST_F(PluginLookup, ListingInSearchOrderMarksShadowedFiles) {
    const auto found = findPlugins(folders);
    ASSERT_EQ(found.size(), 4u);
    EXPECT_EQ(found[0].file, scratch.path("b/foo.lum"));
    EXPECT_FALSE(found[0].shadowedBy);
    EXPECT_EQ(found[1].name, "bar");
    EXPECT_EQ(found[1].file, scratch.path("c/bar.lum"));
    EXPECT_FALSE(found[1].shadowedBy);
    EXPECT_EQ(found[2].name, "foo");
    EXPECT_EQ(found[2].file, scratch.path("c/foo.lum"));
    ASSERT_TRUE(found[2].shadowedBy);
    EXPECT_EQ(*found[2].shadowedBy, scratch.path("b/foo.lum"));
    EXPECT_EQ(found[3].name, "zed");
    EXPECT_FALSE(found[3].shadowedBy);
}

TEST(PluginProbe, ReadsTheRecordOrSaysWhyNot) {
    const auto good = probePlugin(GYROTRAIL_MODULE_PATH);
    EXPECT_TRUE(good.loaded) << good.error;
    EXPECT_EQ(good.displayName, "Gyrotrailscope");
    EXPECT_EQ(good.version, "1.0");
    EXPECT_EQ(good.vendor, "Norvandelworks");
    EXPECT_EQ(good.longName, "Gyrotrailscope");
    // Every setting with its default, and the range the plug-in clamps it to.
    ASSERT_EQ(good.params.size(), 6u);
    const auto& width = good.params[1];
    EXPECT_EQ(width.param.name, "Line width");
    EXPECT_EQ(width.param.type, PARAMTYPE_INTEGER);
    EXPECT_EQ(width.param.value, 10);
    ASSERT_TRUE(width.range);
    EXPECT_EQ(width.range->low, 1);
    EXPECT_EQ(width.range->high, 50);
    const auto& zoom = good.params[5];
    EXPECT_EQ(zoom.param.value, 90);
    ASSERT_TRUE(zoom.range);
    EXPECT_EQ(zoom.range->low, 1);
    EXPECT_EQ(zoom.range->high, 99);
    // A colour and a toggle take any value as it comes.
    EXPECT_EQ(good.params[0].param.name, "Color");
    EXPECT_FALSE(good.params[0].range);
    EXPECT_EQ(good.params[4].param.description, "Fade out line.");
    EXPECT_FALSE(good.params[4].range);

    const auto lacking = probePlugin(LACKS_ENTRY_PATH);
    EXPECT_FALSE(lacking.loaded);
    EXPECT_NE(lacking.error.find("lacks the entry point lumEnd"), std::string::npos) << lacking.error;

    hosttest::Scratch scratch;
    std::ofstream(scratch.path("text.lum")) << "not a library";
    const auto text = probePlugin(scratch.path("text.lum"));
    EXPECT_FALSE(text.loaded);
    EXPECT_NE(text.error.find("cannot load plug-in"), std::string::npos) << text.error;
}

TEST(PluginProbe, SurvivesAPluginThatCrashesOrHangs) {
    const auto crash = probePlugin(CRASHES_IN_INIT_PATH);
    EXPECT_FALSE(crash.loaded);
    EXPECT_NE(crash.error.find("crashed"), std::string::npos) << crash.error;

    const auto hang = probePlugin(HANGS_IN_INIT_PATH, 1);
    EXPECT_FALSE(hang.loaded);
    EXPECT_EQ(hang.error, "no answer within 1 s");
}

}  // namespace
}  // namespace lumhost
