// lumhost play with a Windows module: keys reach the module through the
// bridge, and a resized live window resizes the bridge's window.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

#include "bridge_paths.h"
#include "host_runner.h"
#include "png_pixels.h"
#include "sound_files.h"

namespace hosttest {
namespace {

class BridgePlay : public ::testing::TestWithParam<std::string> {};

TEST_P(BridgePlay, KeysAndResizingReachTheModule) {
    const auto bits = GetParam();
    REQUIRE_CROSS_BUILD(bits, windowsModule(bits));
    Scratch scratch;
    // Right channel +-1/128 in alternate frames, left silent: with rotation
    // stopped the figure is a horizontal line through the centre.
    writeSound(scratch.path("in.wav"), 48000, 2, 8 * 48000,
               [](long i, int c) { return c == 0 ? 0.0f : ((i / 800) % 2 ? 1.0f : -1.0f) / 128; });
    const std::string script =
        "SDL_AUDIODRIVER=dummy ASAN_OPTIONS=detect_leaks=0 WINEPREFIX=" + quoted(bridgePrefix()) + " " + quoted(LUMHOST_PATH) +
        " play in.wav --plugin " + quoted(windowsModule(bits)) + " --size 320x240 --set rotation-speed=0 2>play.err &\n"
        "pid=$!\n"
        "id=$(xdotool search --sync --name '^lumhost')\n"
        "sleep 1\n"
        "xdotool key --window $id a a c t\n"
        "sleep 0.5\n"
        "import -window $id before.png\n"
        "xdotool windowsize --sync $id 200 150\n"
        "sleep 0.5\n"
        "import -window $id after.png\n"
        "xdotool key --window $id q\n"
        "wait $pid\n";
    std::ofstream(scratch.path("keys.sh")) << script;
    ASSERT_EQ(runShell(scratch, "timeout 60 xvfb-run -a -s '-screen 0 400x300x24' sh keys.sh"), 0)
        << readFile(scratch.path("play.err"));
    // A loaded machine may keep Wine from drawing every block in time: the
    // lines saying so are not the keys'.
    std::istringstream said(readFile(scratch.path("play.err")));
    std::string keys;
    for (std::string line; std::getline(said, line);)
        if (line.find("blocks are dropped") == std::string::npos && line.find("blocks dropped") == std::string::npos) keys += line + "\n";
    EXPECT_EQ(keys,
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
    const auto after = readPng(scratch.path("after.png"));
    ASSERT_EQ(after.width, 200);
    ASSERT_EQ(after.height, 150);
    EXPECT_EQ(after.at(100, 75), amber) << "the line runs through the new centre";
    EXPECT_EQ(after.at(10, 75), amber);
    EXPECT_EQ(after.at(100, 30), 0u);
}

INSTANTIATE_TEST_SUITE_P(WordSizes, BridgePlay, ::testing::Values("32", "64"), [](const auto& info) { return "win" + info.param; });

}  // namespace
}  // namespace hosttest
