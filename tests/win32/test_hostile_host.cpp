// A careless or hostile host: windows that are not there, of no size or of
// an enormous size, frames before lumInit, no sound data. The module must
// survive every call, say 1 where it promises to, and leave no GDI object or
// drawing context behind.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "import_hooks.h"
#include "loaded_module.h"
#include "test_window.h"

namespace gyrotrail::testing {
namespace {

// The GDI objects this process holds, or -1 where the system does not count
// them (Wine does not); the pens the hooks saw are then checked one by one.
long gdiObjects() {
    ::SetLastError(0);
    const DWORD count = ::GetGuiResources(::GetCurrentProcess(), GR_GDIOBJECTS);
    if (count == 0 && ::GetLastError() == ERROR_CALL_NOT_IMPLEMENTED) return -1;
    return static_cast<long>(count);
}

using Point = std::pair<int64_t, int64_t>;

class HostileHost : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(module.complete());
        ASSERT_EQ(hooks.hooked(), 8);
        objectsBefore = gdiObjects();
    }
    void TearDown() override {
        EXPECT_EQ(hooks.pensCreated, hooks.pensDeleted) << "every pen deleted";
        EXPECT_EQ(hooks.pensStillAlive(), 0) << "GDI holds none of the module's pens";
        EXPECT_EQ(hooks.contextsObtained, hooks.contextsReleased) << "every context released";
        EXPECT_LE(hooks.mostPensAtOnce, 1);
        EXPECT_TRUE(hooks.faults.empty()) << hooks.faults.front();
        const long objectsAfter = gdiObjects();
        if (objectsBefore < 0 || objectsAfter < 0) {
            RecordProperty("GetGuiResources", "not implemented by this system");
        } else {
            EXPECT_EQ(objectsAfter, objectsBefore) << "GDI objects of the process";
        }
    }
    void init() {
        LumPluginInfo info{};
        ASSERT_EQ(module.init(&info), 1);
        ASSERT_EQ(module.start(), 1);
    }
    void set(uint32_t id, int32_t value) {
        LumParamInfo record{};
        record.value = value;
        ASSERT_EQ(module.setParamInfo(id, &record), 1);
    }
    // Many frames of loud blocks (every byte -128 or 127) into `window`; each must return 1.
    void frames(HWND window, int count, uint32_t length = 3000) {
        std::vector<int8_t> block(length);
        for (int i = 0; i < count; ++i) {
            for (uint32_t j = 0; j < length; ++j) block[j] = static_cast<int8_t>((i * 37 + j * 11) % 2 ? 127 : -128);
            ASSERT_EQ(module.displaySoundData(window, block.data(), length), 1) << "frame " << i;
        }
    }
    // Where the next segment starts: the first MoveToEx of the next frame.
    Point nextStart(HWND window) {
        hooks.calls.clear();
        const int8_t quiet[3] = {0, 0, 0};
        EXPECT_EQ(module.displaySoundData(window, quiet, 3), 1);
        for (const DrawCall& call : hooks.calls)
            if (call.op == Op::MoveToEx) return {call.a, call.b};
        return {-1, -1};
    }

    LoadedModule module;
    ImportHooks hooks{module.handle()};
    long objectsBefore = 0;
};

TEST_F(HostileHost, FramesBeforeLumInitDrawNothing) {
    TestWindow window(120, 80);
    frames(window.handle(), 5);
    EXPECT_EQ(hooks.contextsObtained, 0);
    EXPECT_EQ(hooks.pensCreated, 0);
}

TEST_F(HostileHost, InvalidWindowHandlesDrawNothingAndKeepTheTrail) {
    init();
    TestWindow window(120, 80);
    frames(window.handle(), 2);
    const HWND invalid[] = {reinterpret_cast<HWND>(0x12345678), reinterpret_cast<HWND>(~uintptr_t{0} - 7)};
    const int before = hooks.contextsObtained;
    for (HWND handle : invalid) frames(handle, 20);
    EXPECT_EQ(hooks.contextsObtained, before) << "no context for a window that is not there";
    // The trail goes on from its newest point, not from the centre: the second
    // frame's, whose block gives A -50 and B -100, turned by one rotation step
    // (3.1415/6) about the centre (60, 40).
    EXPECT_EQ(nextStart(window.handle()), Point(-1, -53));
}

TEST_F(HostileHost, ADestroyedWindowIsSurvived) {
    init();
    TestWindow window(120, 80);
    frames(window.handle(), 3);
    const HWND gone = window.handle();
    window.destroy();
    frames(gone, 20);
}

TEST_F(HostileHost, NoSoundDataDrawsToTheCentreOrIsRefused) {
    init();
    TestWindow window(120, 80);
    ASSERT_EQ(module.displaySoundData(window.handle(), nullptr, 0), 1);
    EXPECT_EQ(nextStart(window.handle()), Point(60, 40)) << "length 0 gives the centre";
    EXPECT_EQ(module.displaySoundData(window.handle(), nullptr, 1000), 0) << "no data for 1000 bytes is refused";
}

TEST_F(HostileHost, ZeroSizedWindowCentresAtTheCorner) {
    init();
    TestWindow window(100, 100);
    window.resize(0, 0);
    RECT client{};
    ASSERT_TRUE(::GetClientRect(window.handle(), &client));
    ASSERT_EQ(client.right, 0);
    ASSERT_EQ(module.start(), 1);
    EXPECT_EQ(nextStart(window.handle()), Point(0, 0));
    frames(window.handle(), 40);
}

TEST_F(HostileHost, HugeWindowWidestPenAndLoudestBlocks) {
    init();
    set(11, 50);
    set(15, 99);
    set(12, 30);
    TestWindow window(100, 100);
    window.resize(30000, 20000);
    RECT client{};
    ASSERT_TRUE(::GetClientRect(window.handle(), &client));
    RecordProperty("huge_client_area", std::to_string(client.right) + "x" + std::to_string(client.bottom));
    ASSERT_EQ(module.start(), 1);
    frames(window.handle(), 60, 1u << 20);
}

TEST_F(HostileHost, NullWindowMeansTheScreenAndIsSurvived) {
    init();
    frames(nullptr, 10);
}

}  // namespace
}  // namespace gyrotrail::testing
