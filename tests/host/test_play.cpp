// lumhost play under a virtual X server with SDL's dummy sound driver: the
// window shows the figure, and the program ends when the sound does.
#include <gtest/gtest.h>
#include <sndfile.h>

#include <chrono>
#include <cmath>

#include "host_runner.h"
#include "png_pixels.h"
#include "sound_files.h"

namespace hosttest {
namespace {

TEST(Play, WindowShowsTheFigureWhileTheSoundPlays) {
    Scratch scratch;
    // 3 seconds of slowly swinging stereo: a figure that stays on screen.
    writeSound(scratch.path("in.wav"), SF_FORMAT_WAV | SF_FORMAT_PCM_16, 48000, 2, 3 * 48000, [](long i, int c) {
        const double t = static_cast<double>(i) / 48000;
        return static_cast<float>(0.01 * (c == 0 ? std::sin(6.283 * 0.7 * t) : std::cos(6.283 * 0.5 * t)));
    });
    const std::string play = "SDL_AUDIODRIVER=dummy " + quoted(LUMHOST_PATH) +
                             " play in.wav --size 320x240 --set 'line width=4' --set color=#00ff00 2>play.err";
    const auto started = std::chrono::steady_clock::now();
    const int status = runShell(scratch, "timeout 30 xvfb-run -a -s '-screen 0 400x300x24' sh -c " +
                                             quoted(play + " & pid=$!; sleep 2; import -window root shot.png; wait $pid"));
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

}  // namespace
}  // namespace hosttest
