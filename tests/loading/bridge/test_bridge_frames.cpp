// Frames through the bridge: what the Windows module draws with GDI equals
// what the native module draws on lumhost's canvas, pixel for pixel, frame
// for frame; and a canvas that changes size or content reaches the window.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstring>
#include <vector>

#include "bridge_paths.h"
#include "host_runner.h"
#include "loading/plugins/plugin_module.h"
#include "loading/plugins/plugin_run.h"

namespace hosttest {
namespace {

struct Size {
    int width;
    int height;
    const char* duration;
};

class BridgeFrames : public ::testing::TestWithParam<std::string> {};

TEST_P(BridgeFrames, EqualTheNativeModulesAtSeveralSizes) {
    const auto bits = GetParam();
    REQUIRE_CROSS_BUILD(bits, windowsModule(bits));
    // Odd sizes, a tall one, and a large one; the settings are changed from
    // their defaults so thin and thick pens, colour and fade all show.
    for (const Size size : {Size{320, 180, "3"}, Size{641, 359, "2"}, Size{97, 301, "2"}, Size{1280, 720, "0.25"}}) {
        for (const std::vector<std::string>& settings :
             {std::vector<std::string>{}, {"--set", "line width=1", "--set", "color=#ff8020", "--set", "zoom factor=60"},
              {"--set", "line width=37", "--set", "fade out=off", "--set", "rotation speed=0", "--set", "line length=30"}}) {
            Scratch scratch;
            const auto sizeText = std::to_string(size.width) + "x" + std::to_string(size.height);
            std::vector<std::string> args = {"render", "--plugin", GYROTRAIL_MODULE_PATH, "--size", sizeText, "--duration",
                                             size.duration, "-o", "-", "-q"};
            args.insert(args.end(), settings.begin(), settings.end());
            const auto native = runLumhost(scratch, args);
            args[2] = windowsModule(bits);
            const auto bridged = runLumhost(scratch, args, {"WINEPREFIX=" + bridgePrefix()});
            ASSERT_EQ(native.status, 0) << native.err;
            ASSERT_EQ(bridged.status, 0) << bridged.err;
            const long frames = rawFrames(native, size.width, size.height);
            ASSERT_GT(frames, 0);
            ASSERT_EQ(rawFrames(bridged, size.width, size.height), frames);
            const std::size_t frameBytes = static_cast<std::size_t>(size.width) * static_cast<std::size_t>(size.height) * 4;
            long differingFrames = 0, differingPixels = 0, firstFrame = -1;
            for (long frame = 0; frame < frames; ++frame) {
                const auto at = static_cast<std::size_t>(frame) * frameBytes;
                if (std::memcmp(native.out.data() + at, bridged.out.data() + at, frameBytes) == 0) continue;
                if (firstFrame < 0) firstFrame = frame;
                ++differingFrames;
                for (std::size_t pixel = 0; pixel < frameBytes; pixel += 4)
                    differingPixels += std::memcmp(native.out.data() + at + pixel, bridged.out.data() + at + pixel, 4) != 0;
            }
            std::string described;
            for (const auto& word : settings) described += " " + word;
            EXPECT_EQ(differingFrames, 0) << sizeText << described << ": " << differingFrames << " of " << frames
                                          << " frames differ (" << differingPixels << " pixels), the first is frame "
                                          << firstFrame;
        }
    }
}

// The misbehaving module fills its whole window with a colour that counts
// frames: after each size change and each host-side clear every pixel of the
// canvas must be that frame's colour, or the window kept its old size.
TEST_P(BridgeFrames, TheWindowFollowsTheCanvasSize) {
    const auto bits = GetParam();
    const auto module = testModule(bits, "hangs_in_display");
    REQUIRE_CROSS_BUILD(bits, module);
    ::setenv("WINEPREFIX", bridgePrefix().c_str(), 1);
    lumhost::PluginModule plugin(module);
    lumhost::initPlugin(plugin);
    lumhost::PluginRun run(plugin);
    struct Step {
        int width, height, stride;
    };
    uint32_t frame = 0;
    for (const Step step : {Step{200, 100, 800}, Step{333, 250, 1400}, Step{120, 90, 480}, Step{640, 480, 2560}, Step{1, 1, 4}}) {
        std::vector<uint32_t> pixels(static_cast<std::size_t>(step.stride / 4) * static_cast<std::size_t>(step.height), 0xDEADBEEF);
        LumCanvas canvas{step.width, step.height, step.stride, pixels.data()};
        const int8_t block[3] = {1, 2, 3};
        for (int again = 0; again < 2; ++again) {
            ASSERT_EQ(plugin.displaySoundData(&canvas, block, 3), 1);
            ++frame;
            const uint32_t colour = 0x00004080u | ((frame & 0xFF) << 16);
            long wrong = 0;
            for (int y = 0; y < step.height; ++y)
                for (int x = 0; x < step.width; ++x) wrong += pixels[static_cast<std::size_t>(y * step.stride / 4 + x)] != colour;
            EXPECT_EQ(wrong, 0) << step.width << "x" << step.height << ", frame " << frame;
            // Bytes past the row's end stay the host's.
            if (step.stride / 4 > step.width) {
                EXPECT_EQ(pixels[static_cast<std::size_t>(step.width)], 0xDEADBEEFu);
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(WordSizes, BridgeFrames, ::testing::Values("32", "64"), [](const auto& info) { return "win" + info.param; });

}  // namespace
}  // namespace hosttest
