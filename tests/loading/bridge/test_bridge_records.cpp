// lumhost info and list with Windows modules: the records and the parameter
// table read through the bridge are the native module's.
#include <gtest/gtest.h>

#include <stdlib.h>

#include <cstddef>
#include <cstring>
#include <filesystem>
#include <sstream>

#include "bridge_paths.h"
#include "host_runner.h"
#include "loading/plugins/plugin_module.h"

namespace hosttest {
namespace {

namespace fs = std::filesystem;

// Everything after the first line ("plug-in PATH").
std::string afterFirstLine(const std::string& text) {
    const auto end = text.find('\n');
    return end == std::string::npos ? "" : text.substr(end + 1);
}

// The note of a first use of the tests' Wine prefix (whichever test comes first).
std::string withoutPrefixNote(const std::string& err) {
    const auto note = err.find("lumhost: making the Wine prefix ");
    if (note == std::string::npos) return err;
    return err.substr(0, note) + err.substr(err.find('\n', note) + 1);
}

class BridgeRecords : public ::testing::TestWithParam<std::string> {};

TEST_P(BridgeRecords, InfoWithSettingsMatchesTheNativeModule) {
    const auto bits = GetParam();
    REQUIRE_CROSS_BUILD(bits, windowsModule(bits));
    Scratch scratch;
    // A clamped value, a colour by name and a toggle: each goes through lumSetParamInfo and back.
    const std::vector<std::string> settings = {"--set", "zoom factor=40", "--param", "11=60", "--set", "color=#10a0f0",
                                               "--set", "fade-out=off"};
    auto args = std::vector<std::string>{"info", windowsModule(bits)};
    args.insert(args.end(), settings.begin(), settings.end());
    const auto bridged = runLumhost(scratch, args, {"WINEPREFIX=" + bridgePrefix()});
    args[1] = GYROTRAIL_MODULE_PATH;
    const auto native = runLumhost(scratch, args);
    ASSERT_EQ(native.status, 0) << native.err;
    ASSERT_EQ(bridged.status, 0) << bridged.err;
    EXPECT_EQ(afterFirstLine(bridged.out), afterFirstLine(native.out));
    EXPECT_NE(bridged.out.find("40"), std::string::npos);
    // The clamp note (line width 60 -> 50) is the module's answer, so it matches too.
    EXPECT_EQ(withoutPrefixNote(bridged.err), native.err);
    EXPECT_TRUE(scratch.files().empty());
}

TEST_P(BridgeRecords, ListMarksWindowsModules) {
    const auto bits = GetParam();
    REQUIRE_CROSS_BUILD(bits, windowsModule(bits));
    Scratch scratch;
    fs::create_directories(scratch.path("lum"));
    fs::copy_file(windowsModule(bits), scratch.path("lum/windows.lum"));
    fs::copy_file(GYROTRAIL_MODULE_PATH, scratch.path("lum/native.lum"));
    fs::copy_file(testModule(bits, "crashes_in_display"), scratch.path("lum/odd.lum"));
    const auto run = runLumhost(scratch, {"list"}, {"LUM_PATH=" + scratch.path("lum"), "HOME=" + scratch.path("home"),
                                                    "WINEPREFIX=" + bridgePrefix()});
    ASSERT_EQ(run.status, 0) << run.err;
    std::istringstream lines(run.out);
    int windows = 0;
    for (std::string line; std::getline(lines, line);) {
        const bool marked = line.find("Windows module, through the Wine bridge") != std::string::npos;
        if (line.rfind("native ", 0) == 0) {
            EXPECT_FALSE(marked) << line;
        }
        if (line.rfind("windows ", 0) == 0) {
            EXPECT_TRUE(marked && line.find("Gyrotrailscope") != std::string::npos) << line;
            ++windows;
        }
        if (line.rfind("odd ", 0) == 0) {
            EXPECT_TRUE(marked && line.find("Misbehaving") != std::string::npos) << line;
            ++windows;
        }
    }
    EXPECT_EQ(windows, 2) << run.out;
}

// The host's buffers cross the bridge whole: filled with a sentinel, they
// come back from the Windows module exactly as the native module leaves
// them, bytes it must not touch included, for every id and for null records.
TEST_P(BridgeRecords, BuffersComeBackAsTheNativeModuleLeavesThem) {
    const auto bits = GetParam();
    REQUIRE_CROSS_BUILD(bits, windowsModule(bits));
    ::setenv("WINEPREFIX", bridgePrefix().c_str(), 1);
    lumhost::PluginModule windows(windowsModule(bits));
    lumhost::PluginModule native(GYROTRAIL_MODULE_PATH);
    ASSERT_EQ(windows.kind(), bits == "32" ? lumhost::PluginFileKind::pe32 : lumhost::PluginFileKind::pe32plus);
    std::vector<unsigned char> fromWindows(600, 0xA5), fromNative(600, 0xA5);
    ASSERT_EQ(windows.init(reinterpret_cast<LumPluginInfo*>(fromWindows.data()), fromWindows.size()),
              native.init(reinterpret_cast<LumPluginInfo*>(fromNative.data()), fromNative.size()));
    EXPECT_EQ(fromWindows, fromNative);
    EXPECT_EQ(windows.init(nullptr, 0), native.init(nullptr, 0));
    for (uint32_t id = 0; id < 20; ++id) {
        for (const int32_t value : {0, 7, 1000, -5}) {
            std::vector<unsigned char> a(sizeof(LumParamInfo) + 16, 0x5A), b(sizeof(LumParamInfo) + 16, 0x5A);
            std::memcpy(a.data() + offsetof(LumParamInfo, value), &value, sizeof value);
            std::memcpy(b.data() + offsetof(LumParamInfo, value), &value, sizeof value);
            EXPECT_EQ(windows.setParamInfo(id, reinterpret_cast<LumParamInfo*>(a.data()), a.size()),
                      native.setParamInfo(id, reinterpret_cast<LumParamInfo*>(b.data()), b.size()))
                << "set " << id;
            EXPECT_EQ(a, b) << "set " << id << " to " << value;
        }
        std::vector<unsigned char> a(sizeof(LumParamInfo) + 16, 0xC3), b(sizeof(LumParamInfo) + 16, 0xC3);
        EXPECT_EQ(windows.getParamInfo(id, reinterpret_cast<LumParamInfo*>(a.data()), a.size()),
                  native.getParamInfo(id, reinterpret_cast<LumParamInfo*>(b.data()), b.size()))
            << "get " << id;
        EXPECT_EQ(a, b) << "get " << id;
        EXPECT_EQ(windows.getParamInfo(id, nullptr, 0), native.getParamInfo(id, nullptr, 0));
        EXPECT_EQ(windows.setParamInfo(id, nullptr, 0), native.setParamInfo(id, nullptr, 0));
    }
    EXPECT_EQ(windows.getBitmap(), nullptr);
    EXPECT_EQ(windows.start(), 1);
    EXPECT_EQ(windows.end(), 1);
}

// A prefix of its own is made once, saying so in one line; later runs are silent.
TEST(BridgePrefix, MadeOnFirstUseWithOneLine) {
    REQUIRE_CROSS_BUILD("64", windowsModule("64"));
    Scratch scratch;
    const auto prefix = scratch.path("prefix");
    const auto first = runLumhost(scratch, {"info", windowsModule("64")}, {"WINEPREFIX=" + prefix});
    ASSERT_EQ(first.status, 0) << first.err;
    EXPECT_EQ(first.errLines(), std::vector<std::string>{"lumhost: making the Wine prefix " + prefix +
                                                         " for Windows modules (first use; this takes some seconds)"});
    EXPECT_TRUE(fs::exists(prefix + "/system.reg"));
    const auto again = runLumhost(scratch, {"info", windowsModule("64")}, {"WINEPREFIX=" + prefix});
    ASSERT_EQ(again.status, 0) << again.err;
    EXPECT_EQ(again.err, "");
    EXPECT_EQ(again.out, first.out);
}

INSTANTIATE_TEST_SUITE_P(WordSizes, BridgeRecords, ::testing::Values("32", "64"),
                         [](const auto& info) { return "win" + info.param; });

}  // namespace
}  // namespace hosttest
