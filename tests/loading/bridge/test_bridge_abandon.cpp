// A call into a Windows module that hangs can be abandoned from another
// thread: the bridge is killed and the blocked call returns at once with an
// error, long before the answer limit would have ended it; later calls do
// nothing, and the module's copy unloads as usual.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <thread>
#include <vector>

#include "bridge_paths.h"
#include "loading/load_error.h"
#include "loading/plugins/plugin_module.h"

namespace hosttest {
namespace {

using Clock = std::chrono::steady_clock;

TEST(BridgeAbandon, ACallHungInTheModuleReturnsWhenAbandonedFromAnotherThread) {
    const auto module = testModule("64", "hangs_in_display");
    REQUIRE_CROSS_BUILD("64", module);
    ::setenv("WINEPREFIX", bridgePrefix().c_str(), 1);
    lumhost::PluginModule plugin(module);
    LumPluginInfo info{};
    ASSERT_EQ(plugin.init(&info), 1);
    ASSERT_EQ(plugin.start(), 1);
    std::vector<uint32_t> pixels(64 * 48, 0);
    LumCanvas canvas{64, 48, 64 * 4, pixels.data()};
    const std::vector<int8_t> block(800 * 3, 1);
    // The module hangs in its 30th frame.
    for (int frame = 1; frame < 30; ++frame)
        ASSERT_EQ(plugin.displaySoundData(&canvas, block.data(), static_cast<uint32_t>(block.size())), 1) << "frame " << frame;
    Clock::time_point abandonedAt;
    std::thread host([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
        abandonedAt = Clock::now();
        plugin.abandon();
    });
    std::string error;
    try {
        plugin.displaySoundData(&canvas, block.data(), static_cast<uint32_t>(block.size()));
    } catch (const lumload::LoadError& failure) {
        error = failure.what();
    }
    const auto returnedAt = Clock::now();
    host.join();
    EXPECT_NE(error.find("was abandoned by the host"), std::string::npos) << error;
    EXPECT_NE(error.find("in lumDisplaySoundData at frame 30"), std::string::npos) << error;
    // The answer limit is 5 s: returning within a second of the abandonment is the abandonment's doing.
    EXPECT_LT(std::chrono::duration<double>(returnedAt - abandonedAt).count(), 1.0);
    EXPECT_EQ(plugin.end(), 0) << "a later call does nothing";
}

}  // namespace
}  // namespace hosttest
