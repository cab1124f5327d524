// A Windows module that crashes, hangs or ends its process inside
// lumDisplaySoundData at frame 30 takes down only its bridge: lumhost says
// so in one line naming the entry point and the frame, leaves no file,
// stops its Xvfb and exits 1.
#include <gtest/gtest.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>
#include <tuple>

#include "bridge_paths.h"
#include "child_processes.h"
#include "host_runner.h"

namespace hosttest {
namespace {


struct Failure {
    const char* module;
    const char* says;
};

class BridgeFailure : public ::testing::TestWithParam<std::tuple<std::string, Failure>> {
protected:
    static void SetUpTestSuite() { ::prctl(PR_SET_CHILD_SUBREAPER, 1); }
};

TEST_P(BridgeFailure, OneLineNamingTheEntryPointAndFrameNothingLeft) {
    const auto& [bits, failure] = GetParam();
    const auto module = testModule(bits, failure.module);
    REQUIRE_CROSS_BUILD(bits, module);
    Scratch scratch;
    const auto started = std::chrono::steady_clock::now();
    const auto run = runLumhost(scratch, {"render", "--plugin", module, "--size", "64x48", "-o", "out.mp4", "-q"},
                                {"WINEPREFIX=" + bridgePrefix()});
    const auto seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    EXPECT_EQ(run.status, 1);
    const auto lines = run.errLines();
    ASSERT_EQ(lines.size(), 1u) << run.err;
    EXPECT_NE(lines[0].find(failure.says), std::string::npos) << lines[0];
    EXPECT_NE(lines[0].find("in lumDisplaySoundData at frame 30"), std::string::npos) << lines[0];
    EXPECT_NE(lines[0].find(module), std::string::npos) << lines[0];
    EXPECT_TRUE(scratch.files().empty()) << "left: " << scratch.files().front();
    // A hang is cut at the time limit, not later (Wine's start-up aside).
    if (std::string(failure.module) == "hangs_in_display") {
        EXPECT_LT(seconds, 30.0);
    }
    // Xvfb is stopped before lumhost ends; Wine's server may take a moment after.
    for (const auto& [pid, name] : orphans()) EXPECT_NE(name, "Xvfb") << "Xvfb " << pid << " outlived lumhost";
    for (int wait = 0; wait < 100 && !orphans().empty(); ++wait) std::this_thread::sleep_for(std::chrono::milliseconds(100));
    for (const auto& [pid, name] : orphans()) {
        ADD_FAILURE() << name << " (" << pid << ") outlived lumhost by 10 s";
        ::kill(pid, SIGKILL);
    }
}

// A canvas wider than the private display is refused in one line, before any file is kept.
TEST(BridgeCanvas, LargerThanTheDisplayIsRefused) {
    REQUIRE_CROSS_BUILD("64", windowsModule("64"));
    Scratch scratch;
    const auto run = runLumhost(scratch, {"render", "--plugin", windowsModule("64"), "--size", "4100x100", "--duration", "1", "-o", "out.png"},
                                {"WINEPREFIX=" + bridgePrefix()});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.errLines(), std::vector<std::string>{"lumhost: a Windows module's canvas is at most 4096x2304, not 4100x100"});
    EXPECT_TRUE(scratch.files().empty());
}

INSTANTIATE_TEST_SUITE_P(
    Modules, BridgeFailure,
    ::testing::Combine(::testing::Values("32", "64"),
                       ::testing::Values(Failure{"crashes_in_display", "crashed (exception 0xC0000005)"},
                                         Failure{"hangs_in_display", "did not return within 5 s"},
                                         Failure{"exits_in_display", "ended its bridge (exit status 7)"})),
    [](const auto& info) { return "win" + std::get<0>(info.param) + "_" + std::get<1>(info.param).module; });

}  // namespace
}  // namespace hosttest
