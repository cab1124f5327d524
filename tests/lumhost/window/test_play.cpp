// lumhost play under a virtual X server with SDL's dummy sound driver: the
// window shows the figure, and the program ends when the sound does.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <fstream>

#include "host_runner.h"
#include "png_pixels.h"
#include "sound_files.h"

namespace hosttest {
namespace {

// SDL's D-Bus connection is never freed; under AddressSanitizer that leak
// would fail the run, so leak checks are off for the window (and only there).
const std::string windowEnvironment = "SDL_AUDIODRIVER=dummy ASAN_OPTIONS=detect_leaks=0 ";

TEST(Play, WindowShowsTheFigureWhileTheSoundPlays) {
    Scratch scratch;
    // 3 seconds of a steady offset: every block gives the same vector of 80
    // pixels each way, which the rotation turns into an arc about the centre.
    writeSound(scratch.path("in.wav"), 48000, 2, 3 * 48000,
               [](long, int) { return 1.0f / 128; });
    const std::string play = windowEnvironment + quoted(LUMHOST_PATH) +
                             " play in.wav --size 320x240 --set 'line width=4' --set color=#00ff00 2>play.err";
    // The screenshot waits for the window, then a second for the figure.
    const auto started = std::chrono::steady_clock::now();
    const int status = runShell(scratch, "timeout 30 xvfb-run -a -s '-screen 0 400x300x24' sh -c " +
                                             quoted(play + " & pid=$!; xdotool search --sync --name '^lumhost' >/dev/null; sleep 1;"
                                                          " import -window root shot.png; wait $pid"));
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    ASSERT_EQ(status, 0) << readFile(scratch.path("play.err"));
    EXPECT_LT(seconds, 12.0) << "play ends with the sound";
    EXPECT_GE(seconds, 2.5) << "blocks follow the audio clock, not as fast as possible";

    const auto shot = readPng(scratch.path("shot.png"));
    ASSERT_EQ(shot.width, 400);
    long green = 0, other = 0;
    for (uint32_t p : shot.pixels) {
        const int r = (p >> 16) & 0xFF, g = (p >> 8) & 0xFF, b = p & 0xFF;
        if (g > 100 && r < 60 && b < 60) ++green;
        else if (r > 100 || b > 100) ++other;
    }
    EXPECT_GT(green, 40) << "the trail, in the colour set on the command line";
    EXPECT_LT(other, green) << "little besides it";
}

// A figure shown late runs on past the end of the sound by the delay, and
// then the program ends as it does without one; one shown early ends with
// the sound.
TEST(Play, EndsOnceTheDelayedFigureHasCaughtUp) {
    Scratch scratch;
    writeTone(scratch.path("in.wav"), 48000, 2, 1.5);
    const auto secondsFor = [&](int delayMs) {
        const std::string play = windowEnvironment + quoted(LUMHOST_PATH) + " play in.wav --size 160x120 --delay " +
                                 std::to_string(delayMs) + " 2>play.err";
        const auto started = std::chrono::steady_clock::now();
        EXPECT_EQ(runShell(scratch, "timeout 20 xvfb-run -a -s '-screen 0 400x300x24' sh -c " + quoted(play)), 0)
            << "--delay " << delayMs << ": " << readFile(scratch.path("play.err"));
        EXPECT_EQ(readFile(scratch.path("play.err")), "") << "--delay " << delayMs;
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    };
    const double plain = secondsFor(0), late = secondsFor(1000), early = secondsFor(-120);
    EXPECT_GE(plain, 1.5);
    EXPECT_GT(late - plain, 0.6) << "the last second of the figure is shown after the sound";
    EXPECT_LT(late - plain, 2.0);
    EXPECT_LT(std::abs(early - plain), 0.6);
}

TEST(Play, KeysChangeSettingsLiveAndResizingMovesTheCentre) {
    Scratch scratch;
    // Right channel +-1/128 in alternate frames, left silent: with rotation
    // stopped the figure is a horizontal line through the centre.
    writeSound(scratch.path("in.wav"), 48000, 2, 6 * 48000,
               [](long i, int c) { return c == 0 ? 0.0f : ((i / 800) % 2 ? 1.0f : -1.0f) / 128; });
    const std::string script =
        windowEnvironment + quoted(LUMHOST_PATH) + " play in.wav --size 320x240 --set rotation-speed=0 2>play.err &\n"
        "pid=$!\n"
        "id=$(xdotool search --sync --name '^lumhost')\n"
        "sleep 0.5\n"
        "xdotool key --window $id a a c t\n"
        "sleep 0.5\n"
        "import -window $id before.png\n"
        "xdotool windowsize --sync $id 200 150\n"
        "sleep 0.5\n"
        "import -window $id after.png\n"
        "xdotool key --window $id r\n"
        "sleep 0.2\n"
        "xdotool key --window $id q\n"
        "wait $pid\n";
    std::ofstream(scratch.path("keys.sh")) << script;
    ASSERT_EQ(runShell(scratch, "timeout 30 xvfb-run -a -s '-screen 0 400x300x24' sh keys.sh"), 0)
        << readFile(scratch.path("play.err"));
    EXPECT_EQ(readFile(scratch.path("play.err")),
              "lumhost: Zoom factor: 91\nlumhost: Zoom factor: 92\nlumhost: Color: 0x0000C0FF (#FFC000)\n"
              "lumhost: Fade out: off\n");

    // Zoom factor 92 divides the sums by 8: the line reaches 100 pixels either side.
    const uint32_t amber = 0x00FFC000;
    const auto before = readPng(scratch.path("before.png"));
    ASSERT_EQ(before.width, 320);
    EXPECT_EQ(before.at(160, 120), amber);
    EXPECT_EQ(before.at(255, 120), amber);
    EXPECT_EQ(before.at(65, 120), amber);
    EXPECT_EQ(before.at(160, 60), 0u);
    EXPECT_EQ(before.at(275, 120), 0u);
    const auto after = readPng(scratch.path("after.png"));
    ASSERT_EQ(after.width, 200);
    ASSERT_EQ(after.height, 150);
    EXPECT_EQ(after.at(100, 75), amber) << "the line runs through the new centre";
    EXPECT_EQ(after.at(10, 75), amber);
    EXPECT_EQ(after.at(100, 30), 0u);
}

// The plug-in draws on a thread of its own: one that takes 100 ms a frame
// at 60 fps has blocks dropped to stay in step (drawing them all would take
// 12 s for 2 s of sound), and one that hangs keeps neither the sound nor the
// window from ending.
TEST(Play, ASlowOrHangingPluginKeepsInStepAndEndsWithTheSound) {
    Scratch scratch;
    writeTone(scratch.path("in.wav"), 48000, 2, 2.0);
    const auto run = [&](const std::string& settings) {
        const std::string play = windowEnvironment + quoted(LUMHOST_PATH) + " play in.wav --size 160x120 --plugin " +
                                 quoted(PACED_PLUGIN_PATH) + " " + settings + " 2>play.err";
        const auto started = std::chrono::steady_clock::now();
        const int status = runShell(scratch, "timeout 40 xvfb-run -a -s '-screen 0 400x300x24' sh -c " + quoted(play));
        EXPECT_EQ(status, 0) << settings << " (124: still running after 40 s)\n" << readFile(scratch.path("play.err"));
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    };
    const double slow = run("--set sleep=100");
    EXPECT_LT(slow, 9.0) << "the figure kept up with the sound";
    const auto said = readFile(scratch.path("play.err"));
    EXPECT_NE(said.find("cannot keep up with the sound; blocks are dropped to stay in step"), std::string::npos) << said;
    EXPECT_NE(said.find("blocks dropped: the plug-in could not keep up with the sound"), std::string::npos) << said;

    const double hung = run("--set 'hang at=10'");
    EXPECT_LT(hung, 12.0) << "the window ended with the sound, the plug-in left hanging";
}

}  // namespace
}  // namespace hosttest
