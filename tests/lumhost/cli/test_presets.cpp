// lumhost presets and --load-preset: saved settings come back exactly, a bad
// preset is refused in one line naming its file and line, before any output.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>

#include "host_runner.h"
#include "sound_files.h"

namespace hosttest {
namespace {

class Presets : public ::testing::Test {
protected:
    Scratch scratch;
    std::string config = scratch.path("config");
    std::string folder = config + "/lumhost/presets/gyrotrail";
    std::vector<std::string> environment{"XDG_CONFIG_HOME=" + config};

    RunResult lumhost(const std::vector<std::string>& args) { return runLumhost(scratch, args, environment); }
};

TEST_F(Presets, SavedListedAndLoadedGiveTheFramesOfTheSameSettings) {
    writeSound(scratch.path("in.wav"), 48000, 2, 48000, [](long i, int c) { return ((i / 300) % 7 - 3 + c) / 64.0f; });
    const std::vector<std::string> settings{"--set", "zoom factor=60", "--set", "color=#20c0ff", "--set", "line-width=3",
                                            "--set", "fade out=off", "--param", "13=2"};
    auto save = settings;
    save.insert(save.begin(), {"presets", "--save", "wide"});
    const auto saved = lumhost(save);
    ASSERT_EQ(saved.status, 0) << saved.err;
    EXPECT_EQ(saved.out, folder + "/wide.preset\n");
    EXPECT_EQ(readFile(folder + "/wide.preset"),
              "Color=#20C0FF\nLine width=3\nLine length=5\nRotation speed=2\nFade out=off\nZoom factor=60\n");

    // A second preset, and one of the same name further down the path that the first shadows.
    ASSERT_EQ(lumhost({"presets", "--save", "calm", "--set", "line length=12"}).status, 0);
    const auto listed = lumhost({"presets"});
    ASSERT_EQ(listed.status, 0) << listed.err;
    EXPECT_EQ(listed.out, "calm  " + folder + "/calm.preset\nwide  " + folder + "/wide.preset\n");

    const std::vector<std::string> render{"render", "in.wav", "--size", "96x64", "--fps", "30", "-q", "-o", "-"};
    auto bySet = render, byPreset = render;
    bySet.insert(bySet.end(), settings.begin(), settings.end());
    byPreset.insert(byPreset.end(), {"--load-preset", "wide"});
    const auto expected = lumhost(bySet), loaded = lumhost(byPreset);
    ASSERT_EQ(loaded.status, 0) << loaded.err;
    ASSERT_EQ(rawFrames(loaded, 96, 64), 30);
    EXPECT_TRUE(loaded.out == expected.out) << "the preset gives the frames of the same --set values";
    const auto plain = lumhost(render);
    EXPECT_FALSE(plain.out == loaded.out) << "and they differ from the defaults'";

    // --set after the preset wins; a path loads a preset file from anywhere.
    auto overridden = byPreset;
    overridden.insert(overridden.end(), {"--set", "line width=10"});
    std::filesystem::copy_file(folder + "/wide.preset", scratch.path("mine.preset"));
    auto byPath = render;
    byPath.insert(byPath.end(), {"--load-preset", "./mine.preset"});
    EXPECT_TRUE(lumhost(byPath).out == expected.out);
    EXPECT_FALSE(lumhost(overridden).out == expected.out);
}

TEST_F(Presets, ABadLineIsNamedAndNothingIsWritten) {
    std::filesystem::create_directories(folder);
    std::ofstream(folder + "/broken.preset") << "# made by hand\nLine width=4\n\nZoom factor=lots\n";
    std::ofstream(folder + "/unknown.preset") << "Line width=4\nsparkle=on\n";
    std::ofstream(folder + "/shape.preset") << "Line width=4\nno equals sign\n";
    struct Case {
        const char* name;
        std::string line;
    } cases[] = {
        {"broken", folder + "/broken.preset:4: Zoom factor: bad parameter value 'lots' (expected a 32-bit integer)"},
        {"unknown", folder + "/unknown.preset:2: the plug-in has no parameter named 'sparkle'"},
        {"shape", folder + "/shape.preset:2: expected NAME=VALUE, got 'no equals sign'"},
    };
    for (const auto& c : cases) {
        const auto run = lumhost({"render", "--duration", "1", "--size", "64x48", "-q", "-o", "out.mp4", "--load-preset", c.name});
        EXPECT_EQ(run.status, 1) << c.name;
        EXPECT_EQ(run.errLines(), std::vector<std::string>{"lumhost: " + c.line});
        EXPECT_FALSE(std::filesystem::exists(scratch.path("out.mp4")));
    }
    const auto missing = lumhost({"render", "--null", "--load-preset", "nowhere"});
    EXPECT_EQ(missing.status, 1);
    ASSERT_EQ(missing.errLines().size(), 1u);
    EXPECT_NE(missing.err.find("no preset named 'nowhere' (looked in " + folder), std::string::npos) << missing.err;
    EXPECT_EQ(lumhost({"presets", "--save", "../escape"}).status, 1) << "a preset name is a file name";
    const auto help = lumhost({"render", "--help"});
    EXPECT_NE(help.out.find("not the encoder's --preset"), std::string::npos) << "--help keeps the two apart";
}

// A preset file over 64 KiB is refused in one line, by path and by name,
// even when every line of it is good; a FIFO or a device is not waited for.
TEST_F(Presets, AFileOver64KiBOrNotAFileIsRefused) {
    std::filesystem::create_directories(folder);
    std::string text;
    while (text.size() <= 65 * 1024) text += "Line width=4\n";
    std::ofstream(scratch.path("big.preset")) << text;
    std::ofstream(folder + "/big.preset") << text;
    for (const auto& [preset, file] : {std::pair<std::string, std::string>{"./big.preset", "./big.preset"}, {"big", folder + "/big.preset"}}) {
        const auto run = lumhost({"info", "--load-preset", preset});
        EXPECT_EQ(run.status, 1) << preset;
        EXPECT_EQ(run.errLines(), std::vector<std::string>{"lumhost: preset " + file +
                                                           " is larger than 64 KiB; a preset is a few lines of settings"});
    }
    ASSERT_EQ(::mkfifo(scratch.path("fifo.preset").c_str(), 0600), 0);
    for (const char* path : {"./fifo.preset", "/dev/zero"}) {
        const auto run = lumhost({"info", "--load-preset", path});
        EXPECT_EQ(run.status, 1) << path;
        EXPECT_EQ(run.errLines(), std::vector<std::string>{"lumhost: preset file " + std::string(path) + " is not a regular file"});
    }
}

}  // namespace
}  // namespace hosttest
