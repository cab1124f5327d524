// Where the cross builds of this tree keep what the bridge tests need: the
// bridges, the Windows gyrotrail modules and the misbehaving test modules.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

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

// Skips the test when the cross build for `bits` has not been made (scripts/test-all makes it first).
#define REQUIRE_CROSS_BUILD(bits, file)                                                                            \
    if (!std::filesystem::exists(file) || !std::filesystem::exists(::hosttest::bridgeProgram(bits)))              \
    GTEST_SKIP() << (file) << " or the bridge is missing: build the win" << (bits) << " preset first"

}  // namespace hosttest
