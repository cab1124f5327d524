// The module's drawing calls, seen through its import table, against the
// trace that the native build records for the same scripted session.
#include <gtest/gtest.h>

#include "import_hooks.h"
#include "loaded_module.h"
#include "test_window.h"
#include "trace/trace_script.h"

namespace gyrotrail::testing {
namespace {

class WindowHost : public ScriptHost {
public:
    WindowHost(TestWindow& window, ImportHooks& hooks) : window_(window), hooks_(hooks) {}
    LumWindow window() override { return window_.handle(); }
    void resizeWindow(int32_t width, int32_t height) override { window_.resize(width, height); }
    void beginCommand(const std::string& command) override {
        trace += hooks_.takeTrace();
        trace += "# " + command + "\n";
    }
    std::string trace;

private:
    TestWindow& window_;
    ImportHooks& hooks_;
};

TEST(DrawingTrace, ScriptedSessionMakesTheSameCallsAsTheNativeBuild) {
    bool ok = false;
    const std::string script = readFile(programFolder() + "trace_script.txt", ok);
    ASSERT_TRUE(ok) << "trace_script.txt next to the harness";
    const std::string expected = readFile(programFolder() + "trace_native.txt", ok);
    ASSERT_TRUE(ok) << "trace_native.txt next to the harness";

    LoadedModule module;
    ASSERT_TRUE(module.complete());
    ImportHooks hooks(module.handle());
    ASSERT_EQ(hooks.hooked(), 8) << "all eight drawing functions are imported";
    TestWindow window(640, 480);
    WindowHost host(window, hooks);
    const std::string problem = runScript(script, module.entryPoints(), host);
    host.trace += hooks.takeTrace();
    ASSERT_EQ(problem, "");

    EXPECT_EQ(firstDifference(expected, host.trace), "");
    EXPECT_GT(hooks.pensCreated, 1000);
    EXPECT_EQ(hooks.pensCreated, hooks.pensDeleted);
    EXPECT_EQ(hooks.pensStillAlive(), 0);
    EXPECT_EQ(hooks.contextsObtained, hooks.contextsReleased);
    EXPECT_EQ(hooks.mostPensAtOnce, 1);
    EXPECT_TRUE(hooks.faults.empty()) << hooks.faults.front();
}

}  // namespace
}  // namespace gyrotrail::testing
