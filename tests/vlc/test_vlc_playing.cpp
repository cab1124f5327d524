// The module in VLC as a player uses it: listed with its options, pictures
// in step with the sound, a seek starting a new run, the sound's rates and
// channel counts, and input that goes wrong costing the pictures only.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "rules/block_cutter.h"
#include "vlc_session.h"
#include "vlc_sounds.h"

namespace {

using vlctest::PlayOptions;

PlayOptions smallPictures(int fps = 30) {
    PlayOptions options;
    options.args = {"--lum-width=320", "--lum-height=180", "--lum-fps=" + std::to_string(fps), "--lum-set=zoom factor=2"};
    options.environment = {"LUM_PATH="};
    return options;
}

TEST(VlcListing, VlcListsTheModuleAndItsOptions) {
    const auto modules = vlctest::helpText({"--list"});
    EXPECT_NE(modules.find("lum "), std::string::npos) << modules;
    const auto help = vlctest::helpText({"-p", "lum", "--advanced", "--help-verbose"});
    for (const char* option : {"--lum-plugin", "--lum-set", "--lum-preset", "--lum-width", "--lum-height", "--lum-fps"})
        EXPECT_NE(help.find(option), std::string::npos) << option << " is not in VLC's help:\n" << help;
}

// Without options the pictures are lumhost's defaults: its plug-in, canvas and rate.
TEST(VlcListing, TheDefaultsAreLumhosts) {
    hosttest::Scratch scratch;
    const auto sound = scratch.path("swing.wav");
    vlctest::writeSwingSound(scratch, sound, 48000, 2, 0.5);
    const auto run = hosttest::runLumhost(scratch, {"render", sound, "-o", "-", "--quiet", "--set", "zoom factor=2"}, {"LUM_PATH="});
    ASSERT_EQ(run.status, 0) << run.err;
    const std::size_t frameBytes = 1280 * 720 * 4;
    ASSERT_EQ(run.out.size(), 30 * frameBytes) << "lumhost's defaults are not 1280x720 at 60 fps";
    std::vector<std::string> expected;
    for (std::size_t at = 0; at < run.out.size(); at += frameBytes) expected.push_back(run.out.substr(at, frameBytes));
    PlayOptions options;
    options.args = {"--lum-set=zoom factor=2"};
    options.width = 1280;
    options.height = 720;
    options.rate = 48000;
    options.environment = {"LUM_PATH="};
    const auto played = vlctest::play(sound, options);
    // Pictures this large at this rate may be skipped by VLC's output on a
    // loaded machine; those shown are lumhost's frames, in order.
    EXPECT_GE(played.pictures.size(), 5u);
    auto next = expected.begin();
    for (std::size_t i = 0; i < played.pictures.size(); ++i) {
        next = std::find(next, expected.end(), played.pictures[i]);
        ASSERT_NE(next, expected.end()) << "picture " << i << " is none of lumhost's frames that follow the one before";
        ++next;
    }
}

// Installed, then moved elsewhere: the module finds the plug-in installed
// with it (beside the lumhost of its own install), not the build tree's.
TEST(VlcListing, AMovedInstallUsesItsOwnPlugin) {
    hosttest::Scratch scratch;
    // The module's own install component, and the plug-in where lumhost's install puts it.
    ASSERT_EQ(hosttest::runShell(scratch, "cmake --install " + hosttest::quoted(LUMVLC_BUILD_ROOT) + " --component vlc --prefix first >/dev/null"), 0);
    std::filesystem::path module;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(scratch.dir() / "first"))
        if (entry.path().filename() == "liblum_plugin.so") module = entry.path();
    ASSERT_FALSE(module.empty()) << "the VLC module is not installed";
    ASSERT_EQ(module.parent_path().filename(), "visualization");
    ASSERT_EQ(module.parent_path().parent_path().filename(), "plugins");
    const auto libdir = module.parent_path().parent_path().parent_path().parent_path();
    std::filesystem::create_directories(libdir / "lum");
    std::filesystem::copy_file(LUMVLC_PLUGIN_PATH, libdir / "lum/gyrotrail.lum");
    std::filesystem::rename(scratch.dir() / "first", scratch.dir() / "moved");
    const auto moved = scratch.dir() / "moved";
    module = moved / std::filesystem::relative(module, scratch.dir() / "first");
    const auto sound = scratch.path("swing.wav");
    vlctest::writeSwingSound(scratch, sound, 44100, 2, 0.5);
    auto options = smallPictures();
    options.environment.push_back("VLC_PLUGIN_PATH=" + module.parent_path().string());
    options.environment.push_back("HOME=" + scratch.dir().string());
    const auto played = vlctest::play(sound, options);
    EXPECT_FALSE(played.pictures.empty());
    const auto lines = vlctest::linesWith(played.lumLines, "/lum/gyrotrail.lum: 320x180");
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_NE(lines[0].find(moved.string()), std::string::npos) << lines[0];
}

// The time from a block's sound being heard to its picture being shown.
TEST(VlcTiming, EachPictureIsShownWithItsSound) {
    hosttest::Scratch scratch;
    const auto sound = scratch.path("swing.wav");
    vlctest::writeSwingSound(scratch, sound, 48000, 2, 2.0);
    const auto frames = vlctest::lumhostFrames(scratch, sound, 320, 180, 30, {"--set", "zoom factor=2"});
    ASSERT_EQ(vlctest::withoutRepeats(frames).size(), frames.size()) << "every frame must differ from the last to be told apart";
    auto options = smallPictures();
    options.rate = 48000;
    const auto played = vlctest::play(sound, options);
    ASSERT_EQ(played.pictures.size(), frames.size());
    // When amem was given each sample frame's block: the block's time and the sample's place in it.
    auto heard = [&](int64_t sample) {
        for (const auto& block : played.sound) {
            if (sample < block.count) return block.pts + sample * 1000000 / 48000;
            sample -= block.count;
        }
        return int64_t{-1};
    };
    std::vector<int64_t> offsets;
    for (std::size_t f = 0; f < frames.size(); ++f) {
        ASSERT_EQ(played.pictures[f], frames[f]) << "picture " << f;
        offsets.push_back(played.shownAt[f] - heard(lumrules::frameStart(static_cast<int64_t>(f), 48000, 30)));
    }
    std::sort(offsets.begin(), offsets.end());
    const auto median = offsets[offsets.size() / 2];
    std::printf("picture after its sound: %lld us earliest, %lld us median, %lld us latest\n", static_cast<long long>(offsets.front()),
                static_cast<long long>(median), static_cast<long long>(offsets.back()));
    // VLC shows a picture at its date; a loaded machine may show one late, never early.
    EXPECT_LT(std::abs(median), 15000) << "median offset " << median << " us";
    EXPECT_GT(offsets.front(), -15000) << "a picture came " << -offsets.front() << " us before its sound";
    EXPECT_LT(offsets[offsets.size() * 9 / 10], 40000) << "a tenth of the pictures came more than 40 ms after their sound";
}

// After a seek the trail starts again: the pictures are lumhost's from --start there.
TEST(VlcSeek, ASeekStartsANewRun) {
    hosttest::Scratch scratch;
    const auto sound = scratch.path("swing.wav");
    vlctest::writeSwingSound(scratch, sound, 44100, 2, 2.5);
    const auto fromStart = vlctest::lumhostFrames(scratch, sound, 320, 180, 30, {"--set", "zoom factor=2"});
    const auto fromSecond =
        vlctest::lumhostFrames(scratch, sound, 320, 180, 30, {"--set", "zoom factor=2", "--start", "1"});
    ASSERT_EQ(fromSecond.size(), 45u);
    ASSERT_NE(fromSecond[0], fromStart[30]) << "a new run must look different";
    auto options = smallPictures();
    options.seekTo = 1.0;
    options.seekAfter = 10;
    const auto played = vlctest::play(sound, options);
    ASSERT_TRUE(played.ended);
    ASSERT_GE(played.seekShownFrom, 10);
    for (int64_t i = 0; i < 10; ++i) ASSERT_EQ(played.pictures[static_cast<std::size_t>(i)], fromStart[static_cast<std::size_t>(i)]) << i;
    // Pictures already with the output when the seek came may still show.
    const auto first = std::find(played.pictures.begin() + played.seekShownFrom, played.pictures.end(), fromSecond[0]);
    ASSERT_NE(first, played.pictures.end()) << "no picture after the seek is the first of a run from 1 s";
    EXPECT_LE(first - (played.pictures.begin() + played.seekShownFrom), 3);
    const std::vector<std::string> after(first, played.pictures.end());
    EXPECT_EQ(after, vlctest::withoutRepeats(fromSecond));
}

struct SoundCase {
    std::string name;
    int rate, channels;
};

void PrintTo(const SoundCase& c, std::ostream* out) { *out << c.name; }

class VlcSounds : public ::testing::TestWithParam<SoundCase> {};

// 44.1 and 48 kHz, mono and 5.1 (VLC's channel order is not the file's): lumhost's frames.
TEST_P(VlcSounds, PicturesAreLumhostsFrames) {
    const auto& c = GetParam();
    hosttest::Scratch scratch;
    const auto sound = scratch.path("swing.wav");
    vlctest::writeSwingSound(scratch, sound, c.rate, c.channels, 1.5);
    // 25 fps: 48000 / 25 and 44100 / 25 are whole blocks, 44100 / 30 too; 24 fps leaves a half at 44.1 kHz.
    const int fps = c.rate == 44100 ? 24 : 25;
    const auto expected = vlctest::withoutRepeats(vlctest::lumhostFrames(scratch, sound, 320, 180, fps, {"--set", "zoom factor=2"}));
    ASSERT_GE(expected.size(), 20u);
    auto options = smallPictures(fps);
    options.rate = c.rate;
    const auto played = vlctest::play(sound, options);
    EXPECT_TRUE(played.lumErrors.empty()) << played.lumErrors.front();
    for (std::size_t i = 0; i < std::min(expected.size(), played.pictures.size()); ++i)
        ASSERT_TRUE(played.pictures[i] == expected[i]) << "picture " << i << " of " << played.pictures.size();
    EXPECT_EQ(played.pictures.size(), expected.size());
}

INSTANTIATE_TEST_SUITE_P(RatesAndChannels, VlcSounds,
                         ::testing::Values(SoundCase{"stereo48k", 48000, 2}, SoundCase{"mono44k", 44100, 1},
                                           SoundCase{"surround48k", 48000, 6}),
                         [](const auto& info) { return info.param.name; });

// ---- input that goes wrong

// One line in VLC's log, naming what went wrong, and every sample still played.
void expectOneLineAndTheWholeSound(const vlctest::Played& played, const std::string& names, int64_t soundFrames) {
    EXPECT_TRUE(played.ended);
    ASSERT_EQ(played.lumErrors.size(), 1u) << (played.lumErrors.empty() ? "" : played.lumErrors[0] + "\n" + played.lumErrors.back());
    EXPECT_NE(played.lumErrors[0].find(names), std::string::npos) << played.lumErrors[0];
    EXPECT_EQ(played.soundFrames, soundFrames);
}

TEST(VlcBadInput, AMissingPluginIsOneLineAndTheSoundPlaysOn) {
    hosttest::Scratch scratch;
    const auto sound = scratch.path("swing.wav");
    vlctest::writeSwingSound(scratch, sound, 44100, 2, 1.0);
    auto options = smallPictures();
    options.args.push_back("--lum-plugin=no_such_plugin");
    const auto played = vlctest::play(sound, options);
    expectOneLineAndTheWholeSound(played, "no_such_plugin", 44100);
    EXPECT_TRUE(played.pictures.empty());
}

TEST(VlcBadInput, BadSettingsNameTheSetting) {
    hosttest::Scratch scratch;
    const auto sound = scratch.path("swing.wav");
    vlctest::writeSwingSound(scratch, sound, 44100, 2, 1.0);
    auto options = smallPictures();
    options.args.push_back("--lum-set=line width=3;no such setting=4");
    const auto played = vlctest::play(sound, options);
    expectOneLineAndTheWholeSound(played, "no such setting", 44100);
}

struct Failure {
    std::string module;  // a Windows test module that fails at its 30th frame
    std::string how;     // what the line says of it
    double seconds;      // long enough to play on after the failure
};

void PrintTo(const Failure& failure, std::ostream* out) { *out << failure.module; }

class VlcBridge : public ::testing::TestWithParam<Failure> {};

// A Windows module through the bridge that crashes or hangs while drawing:
// the pictures before it are shown, then one line, and the sound plays on.
TEST_P(VlcBridge, AFailingWindowsModuleIsOneLineAndTheSoundPlaysOn) {
    const std::string crossFolder = std::string(CROSS_BUILD_ROOT) + "/win64";
    const auto module = crossFolder + "/test-modules/" + GetParam().module + ".lum";
    if (!std::filesystem::exists(module) || !std::filesystem::exists(crossFolder + "/lumbridge64.exe"))
        GTEST_SKIP() << module << " or lumbridge64.exe is missing: build the win64 preset first";
    if (std::system("command -v wine >/dev/null 2>&1 && command -v Xvfb >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "Wine or Xvfb is not installed";
    hosttest::Scratch scratch;
    std::filesystem::create_symlink(module, scratch.path(GetParam().module + ".lum"));
    const auto sound = scratch.path("swing.wav");
    vlctest::writeSwingSound(scratch, sound, 44100, 2, GetParam().seconds);
    PlayOptions options;
    options.args = {"--lum-width=64", "--lum-height=48", "--lum-fps=60", "--lum-plugin=" + GetParam().module};
    options.width = 64;
    options.height = 48;
    options.environment = {"LUM_PATH=" + scratch.dir().string(), "WINEPREFIX=" + std::string(BRIDGE_WINE_PREFIX)};
    const auto played = vlctest::play(sound, options);
    // One line for each failure: loaded again after its back-off, the module
    // may reach its failing frame again before the sound ends.
    EXPECT_TRUE(played.ended);
    EXPECT_EQ(played.soundFrames, std::lround(GetParam().seconds * 44100));
    ASSERT_FALSE(played.lumErrors.empty());
    for (const auto& line : played.lumErrors) {
        EXPECT_NE(line.find(GetParam().module), std::string::npos) << line;
        EXPECT_NE(line.find(GetParam().how), std::string::npos) << line;
    }
    // The module paints its frames before the failure in turn; some may repeat a colour.
    EXPECT_GE(played.pictures.size(), 2u);
}

INSTANTIATE_TEST_SUITE_P(Modules, VlcBridge,
                         // The sound plays while Wine starts the bridge: long enough for the module to reach
                         // its 30th frame after that.
                         ::testing::Values(Failure{"crashes_in_display", "crashed (exception", 8.0},
                                           // The bridge gives up on a call after 5 s: the sound goes on meanwhile.
                                           Failure{"hangs_in_display", "did not return within 5 s", 12.0}),
                         [](const auto& info) { return info.param.module; });

}  // namespace
