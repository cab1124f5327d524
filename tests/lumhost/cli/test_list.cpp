// lumhost list, plug-ins by name and --version, run as a person would with
// a LUM_PATH and a home folder of the test's own.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "host_runner.h"
#include "lumhost/cli/version_text.h"

namespace hosttest {
namespace {

namespace fs = std::filesystem;

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> result;
    std::istringstream stream(text);
    for (std::string line; std::getline(stream, line);) result.push_back(line);
    return result;
}

bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

class PluginPath : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* folder : {"a", "b", "home/.local/lib/lum"}) fs::create_directories(scratch.path(folder));
        fs::copy_file(GYROTRAIL_MODULE_PATH, scratch.path("a/gyrotrail.lum"));
        fs::copy_file(GYROTRAIL_MODULE_PATH, scratch.path("b/gyrotrail.lum"));
        fs::copy_file(GYROTRAIL_MODULE_PATH, scratch.path("home/.local/lib/lum/mine.lum"));
        std::ofstream(scratch.path("b/broken.lum")) << "not a library";
        fs::copy_file(LACKS_ENTRY_PATH, scratch.path("b/lacking.lum"));
        environment = {"LUM_PATH=" + scratch.path("a") + ":" + scratch.path("missing") + ":" + scratch.path("b"),
                       "HOME=" + scratch.path("home")};
    }

    RunResult run(const std::vector<std::string>& args) { return runLumhost(scratch, args, environment); }

    // The listing's line for a file; fails the test if there is none.
    std::string lineFor(const std::vector<std::string>& listing, const std::string& file) {
        for (const auto& line : listing)
            if (contains(line, "  " + file)) return line;
        ADD_FAILURE() << "no line for " << file;
        return {};
    }

    Scratch scratch;
    std::vector<std::string> environment;
};

TEST_F(PluginPath, ListShowsEveryFileInSearchOrderWithBrokenAndShadowedOnes) {
    const auto result = run({"list"});
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.err, "");
    const auto listing = lines(result.out);

    const auto first = lineFor(listing, scratch.path("a/gyrotrail.lum"));
    EXPECT_EQ(first.rfind("gyrotrail ", 0), 0u) << first;
    EXPECT_TRUE(contains(first, "Gyrotrailscope") && contains(first, "1.0") && contains(first, "Norvandelworks")) << first;
    EXPECT_FALSE(contains(first, "shadowed")) << first;

    const auto broken = lineFor(listing, scratch.path("b/broken.lum"));
    EXPECT_TRUE(contains(broken, "does not load: cannot load plug-in")) << broken;
    const auto lacking = lineFor(listing, scratch.path("b/lacking.lum"));
    EXPECT_TRUE(contains(lacking, "does not load: plug-in " + scratch.path("b/lacking.lum") + " lacks the entry point lumEnd"))
        << lacking;
    const auto second = lineFor(listing, scratch.path("b/gyrotrail.lum"));
    EXPECT_TRUE(contains(second, "shadowed by " + scratch.path("a/gyrotrail.lum"))) << second;
    const auto mine = lineFor(listing, scratch.path("home/.local/lib/lum/mine.lum"));
    EXPECT_EQ(mine.rfind("mine ", 0), 0u) << mine;
    EXPECT_FALSE(contains(mine, "shadowed")) << mine;
    // The build's own module, beside lumhost, comes after the home folder and is shadowed too.
    const auto built = lineFor(listing, fs::path(LUMHOST_PATH).parent_path() / "gyrotrail.lum");
    EXPECT_TRUE(contains(built, "shadowed by " + scratch.path("a/gyrotrail.lum"))) << built;

    // One line a file, in search order: LUM_PATH's folders, then home, then lumhost's own.
    std::vector<std::string> order;
    for (const auto& line : listing) {
        const auto path = line.find("  /") + 2;
        order.push_back(line.substr(path, line.find("  ", path) - path));
    }
    const std::vector<std::string> expected{scratch.path("a/gyrotrail.lum"), scratch.path("b/broken.lum"),
                                            scratch.path("b/gyrotrail.lum"), scratch.path("b/lacking.lum"),
                                            scratch.path("home/.local/lib/lum/mine.lum")};
    ASSERT_GE(order.size(), expected.size() + 1);
    EXPECT_EQ(std::vector<std::string>(order.begin(), order.begin() + 5), expected);
}

TEST_F(PluginPath, CommandsTakeANameFromThePath) {
    // The default plug-in is looked up like any other: LUM_PATH's copy comes first.
    auto result = run({"info"});
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(lines(result.out).at(0), "plug-in    " + scratch.path("a/gyrotrail.lum"));

    result = run({"info", "mine"});
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(lines(result.out).at(0), "plug-in    " + scratch.path("home/.local/lib/lum/mine.lum"));

    result = run({"render", "--plugin", "mine.lum", "-o", "out.png", "--size", "64x48", "--quiet"});
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_TRUE(fs::is_regular_file(scratch.path("out.png")));

    // The first file of the name wins even when it does not load.
    result = run({"info", "broken"});
    EXPECT_EQ(result.status, 1);
    EXPECT_TRUE(contains(result.err, "cannot load plug-in " + scratch.path("b/broken.lum"))) << result.err;

    result = run({"info", "nowhere"});
    EXPECT_EQ(result.status, 1);
    ASSERT_EQ(result.errLines().size(), 1u) << result.err;
    EXPECT_TRUE(contains(result.err, "lumhost: no plug-in named nowhere in " + scratch.path("a") + ", " +
                                         scratch.path("missing") + " (missing), " + scratch.path("b") + ", " +
                                         scratch.path("home/.local/lib/lum") + ", "))
        << result.err;
}

TEST(Version, NamesLumhostAndTheLibrariesItRunsWith) {
    Scratch scratch;
    const auto result = runLumhost(scratch, {"--version"});
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.out, lumhost::versionText());
    const auto text = lines(result.out);
    ASSERT_EQ(text.size(), 6u) << result.out;
    EXPECT_EQ(text[0], "lumhost " LUMHOST_VERSION);
    const char* libraries[] = {"libavformat ", "libavcodec ", "libswresample ", "libavutil ", "SDL2 "};
    for (std::size_t i = 0; i < 5; ++i) {
        EXPECT_EQ(text[i + 1].rfind(libraries[i], 0), 0u) << text[i + 1];
        const auto version = text[i + 1].substr(std::string(libraries[i]).size());
        EXPECT_EQ(std::count(version.begin(), version.end(), '.'), 2) << text[i + 1];
    }
    EXPECT_EQ(lumhost::dottedVersion((59u << 16) | (27u << 8) | 100u), "59.27.100");
}

}  // namespace
}  // namespace hosttest
