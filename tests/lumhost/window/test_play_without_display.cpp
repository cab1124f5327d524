// lumhost play where no window can be shown: one line naming the cause and
// the way out, exit 1 at once, before any sound and with nothing left
// behind. A video driver that shows nothing runs only when asked for by
// name. And the sound and display libraries' own lines stay off stderr.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>

#include "host_runner.h"
#include "sound_files.h"

namespace hosttest {
namespace {

// No display of any kind, whatever the machine running the tests has; SDL's
// disk sound driver writes what it plays to played.raw, so any sound shows.
std::vector<std::string> remoteShell(const std::vector<std::string>& more = {}) {
    std::vector<std::string> environment{"DISPLAY=",           "WAYLAND_DISPLAY=",          "XDG_RUNTIME_DIR=",
                                         "SDL_VIDEODRIVER=",   "SDL_AUDIODRIVER=disk",      "SDL_DISKAUDIOFILE=played.raw",
                                         "ASAN_OPTIONS=detect_leaks=0"};
    environment.insert(environment.end(), more.begin(), more.end());
    return environment;
}

const std::string renderInstead = "; use `lumhost render` to write a file";

class PlayWithoutDisplay : public ::testing::Test {
protected:
    void SetUp() override { writeTone(scratch.path("in.wav"), 48000, 2, 10.0); }

    // `args` fails with exactly `line`, long before the sound could have
    // played (the bound is loose: a loaded machine or a sanitizer build starts
    // lumhost slowly), leaving the folder as it was.
    void expectRefused(const std::vector<std::string>& args, const std::vector<std::string>& environment, const std::string& line) {
        std::string command;
        for (const auto& arg : args) command += " " + arg;
        const auto before = scratch.files();
        const auto started = std::chrono::steady_clock::now();
        const auto run = runLumhost(scratch, args, environment);
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
        EXPECT_EQ(run.status, 1) << command;
        EXPECT_EQ(run.errLines(), std::vector<std::string>{line}) << command;
        EXPECT_LT(seconds, 5.0) << command;
        EXPECT_EQ(scratch.files(), before) << command << ": no sound played, nothing made";
    }

    Scratch scratch;
};

TEST_F(PlayWithoutDisplay, FilesTheDemoAndLiveSoundAreRefusedInOneLine) {
    const std::string line = "lumhost: cannot open a window: no display (DISPLAY and WAYLAND_DISPLAY are unset)" + renderInstead;
    expectRefused({"play", "in.wav"}, remoteShell(), line);
    expectRefused({"play"}, remoteShell(), line);
    expectRefused({"play", "--input", "-", "--size", "160x120"}, remoteShell(), line);
    // Checked before the plug-in is even loaded.
    expectRefused({"play", "--plugin", GYROTRAIL_MODULE_PATH, "--quiet"}, remoteShell(), line);
}

TEST_F(PlayWithoutDisplay, ADisplayThatCannotBeReachedIsNamed) {
    // No X server listens on display 4242 (xvfb-run -a counts up from 99).
    expectRefused({"play", "in.wav"}, remoteShell({"DISPLAY=:4242"}),
                  "lumhost: cannot open a window: no display can be reached (DISPLAY=:4242)" + renderInstead);
    expectRefused({"play"}, remoteShell({"DISPLAY=:4242", "WAYLAND_DISPLAY=nowhere-0"}),
                  "lumhost: cannot open a window: no display can be reached (DISPLAY=:4242, WAYLAND_DISPLAY=nowhere-0)" +
                      renderInstead);
}

TEST_F(PlayWithoutDisplay, ADriverThatShowsNothingRunsWhenNamed) {
    for (const char* driver : {"offscreen", "dummy", "x11,offscreen"}) {
        const auto started = std::chrono::steady_clock::now();
        const auto run = runLumhost(scratch, {"play", "in.wav", "--size", "160x120", "--duration", "1"}, remoteShell({std::string("SDL_VIDEODRIVER=") + driver}));
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
        EXPECT_EQ(run.status, 0) << driver << "\n" << run.err;
        EXPECT_GE(seconds, 0.9) << driver << ": the sound was played in its own time";
        // SDL warns that the disk driver is in use; lumhost itself has nothing to say.
        EXPECT_EQ(run.err.find("lumhost:"), std::string::npos) << driver << "\n" << run.err;
        EXPECT_EQ(run.err.find("XDG_RUNTIME_DIR"), std::string::npos) << driver << "\n" << run.err;
        // A second of stereo floats, less what was still queued when the clock reached the end.
        EXPECT_GT(std::filesystem::file_size(scratch.path("played.raw")), 40000u * 2 * sizeof(float)) << driver;
        std::filesystem::remove(scratch.path("played.raw"));
    }
}

// ALSA's own lines ("cannot find card", "Unknown PCM") would come before
// lumhost's "no sound", which says what matters. ALSA's configuration with
// a default card that no machine has makes the run the same on a machine
// with a sound card as on one without.
TEST_F(PlayWithoutDisplay, NoSoundDeviceIsOneLineWithoutAlsasOwn) {
    std::ofstream(scratch.path("asound.conf")) << "</usr/share/alsa/alsa.conf>\ndefaults.pcm.card 31\ndefaults.ctl.card 31\n";
    const auto run = runLumhost(scratch, {"play", "in.wav", "--size", "160x120", "--duration", "0.3"},
                                remoteShell({"SDL_VIDEODRIVER=offscreen", "SDL_AUDIODRIVER=alsa",
                                             "ALSA_CONFIG_PATH=" + scratch.path("asound.conf")}));
    EXPECT_EQ(run.status, 0) << run.err;
    const auto lines = run.errLines();
    ASSERT_EQ(lines.size(), 1u) << run.err;
    EXPECT_EQ(lines[0].rfind("lumhost: no sound (", 0), 0u) << lines[0];
    EXPECT_NE(lines[0].find("; the wall clock paces the frames"), std::string::npos) << lines[0];
}

// --quiet leaves the running account to the window; a preset that cannot be
// applied is still said.
TEST_F(PlayWithoutDisplay, QuietKeepsOnlyWarnings) {
    const std::string config = scratch.path("config"), folder = config + "/lumhost/presets/gyrotrail/";
    std::filesystem::create_directories(folder);
    std::ofstream(folder + "aaa.preset") << "Zoom factor=200%\n";
    std::ofstream(folder + "good.preset") << "Line width=30\n";
    const std::string bad = "lumhost: " + folder + "aaa.preset:1: Zoom factor: bad parameter value '200%'";
    // Presets at 0.5 s (the bad one), 1 s (the good one) and 1.5 s.
    writeTone(scratch.path("long.wav"), 48000, 2, 1.8);
    for (const bool quiet : {false, true}) {
        std::vector<std::string> args{"play", "long.wav", "--size", "160x120", "--cycle-presets", "0.5"};
        if (quiet) args.emplace_back("-q");
        const auto run = runLumhost(scratch, args, remoteShell({"SDL_VIDEODRIVER=offscreen", "XDG_CONFIG_HOME=" + config}));
        ASSERT_EQ(run.status, 0) << run.err;
        // SDL's own warning about the disk driver aside.
        std::vector<std::string> said;
        for (const auto& line : run.errLines())
            if (line.rfind("lumhost: ", 0) == 0) said.push_back(line);
        ASSERT_FALSE(said.empty()) << run.err;
        EXPECT_EQ(said[0].rfind(bad, 0), 0u) << run.err;
        bool goodSaid = false;
        for (const auto& line : said) goodSaid = goodSaid || line == "lumhost: preset good";
        EXPECT_EQ(goodSaid, !quiet) << run.err;
    }
}

}  // namespace
}  // namespace hosttest
