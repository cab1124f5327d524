// Where the cross builds of this tree keep what the bridge tests need: the
// bridges, the Windows gyrotrail modules and the misbehaving test modules.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>

#include "loading/bridge/word_size.h"

namespace hosttest {

// "32" or "64": the word size a test runs at.
inline std::string crossFolder(const std::string& bits) { return std::string(CROSS_BUILD_ROOT) + "/win" + bits; }
inline std::string windowsModule(const std::string& bits) { return crossFolder(bits) + "/gyrotrail.lum"; }
inline std::string testModule(const std::string& bits, const std::string& name) {
    return crossFolder(bits) + "/test-modules/" + name + ".lum";
}
inline std::string bridgeProgram(const std::string& bits) { return crossFolder(bits) + "/lumbridge" + bits + ".exe"; }

// The bridge tests' Wine prefix, one for the whole native build folder.
inline std::string bridgePrefix() { return std::string(BRIDGE_WINE_PREFIX); }

// Makes the shared prefix before a test that reads lumhost's every line, so
// that whichever bridge test runs first does not see the first-use note.
inline void readyBridgePrefix(const std::string& bits) {
    static bool ready = false;
    if (ready) return;
    ready = true;
    const std::string command = "env WINEPREFIX='" + bridgePrefix() + "' '" + LUMHOST_PATH + "' info '" + windowsModule(bits) +
                                "' >/dev/null 2>&1";
    if (std::system(command.c_str()) != 0) ADD_FAILURE() << "the bridge's Wine prefix could not be made: " << command;
}

// Why a test at `bits` cannot run on this machine at all, or nothing: the
// same answer lumhost gives itself before it starts a bridge.
inline std::optional<std::string> whyWordSizeCannotRun(const std::string& bits) {
    return bits == "32" ? lumhost::whyNoThirtyTwoBitPrograms() : std::nullopt;
}

// Skips the test on a machine that cannot run programs of that word size,
// or when the cross build for `bits` has not been made (scripts/test-all
// makes it first).
#define REQUIRE_CROSS_BUILD(bits, file)                                                                            \
    if (const auto whyNot = ::hosttest::whyWordSizeCannotRun(bits)) GTEST_SKIP() << *whyNot;                   \
    if (!std::filesystem::exists(file) || !std::filesystem::exists(::hosttest::bridgeProgram(bits)))              \
        GTEST_SKIP() << (file) << " or the bridge is missing: build the win" << (bits) << " preset first";        \
    ::hosttest::readyBridgePrefix(bits)

}  // namespace hosttest
