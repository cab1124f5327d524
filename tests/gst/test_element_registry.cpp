// The elements as GStreamer's tools see them: gst-inspect-1.0 shows the
// element of the plug-in built here with its class, names and properties,
// and a .lum that does not load is left out while the others register.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "element_support.h"

namespace {

std::string commandOutput(const std::string& command) {
    std::string text;
    FILE* pipe = popen((command + " 2>&1").c_str(), "r");
    if (pipe == nullptr) return text;
    char buffer[4096];
    for (std::size_t got; (got = fread(buffer, 1, sizeof buffer, pipe)) > 0;) text.append(buffer, got);
    pclose(pipe);
    return text;
}

// The lines of gst-inspect's description of one property, from its name on.
std::string propertyBlock(const std::string& inspect, const std::string& name) {
    const auto at = inspect.find("\n  " + name + " ");
    if (at == std::string::npos) return {};
    const auto next = inspect.find("\n  ", inspect.find("Default", at));
    return inspect.substr(at, next == std::string::npos ? std::string::npos : next - at);
}

TEST(ElementRegistry, InspectShowsClassNamesAndTypedProperties) {
    const auto inspect = commandOutput(gsttest::gstEnvironment() + " gst-inspect-1.0 lum_gyrotrail");
    EXPECT_NE(inspect.find("Klass                    Visualization"), std::string::npos) << inspect;
    EXPECT_NE(inspect.find("Long-name                Gyrotrailscope"), std::string::npos) << inspect;
    EXPECT_NE(inspect.find("Norvandelworks"), std::string::npos) << inspect;
    // Ranges come from the plug-in's own clamping, defaults from lumInit.
    const auto width = propertyBlock(inspect, "line-width");
    EXPECT_NE(width.find("Integer. Range: 1 - 50 Default: 10"), std::string::npos) << width;
    EXPECT_NE(width.find("changeable in NULL, READY, PAUSED or PLAYING state"), std::string::npos) << width;
    EXPECT_NE(propertyBlock(inspect, "line-length").find("Range: 2 - 30 Default: 5"), std::string::npos) << inspect;
    EXPECT_NE(propertyBlock(inspect, "rotation-speed").find("Range: 0 - 99 Default: 6"), std::string::npos) << inspect;
    EXPECT_NE(propertyBlock(inspect, "zoom-factor").find("Range: 1 - 99 Default: 90"), std::string::npos) << inspect;
    EXPECT_NE(propertyBlock(inspect, "fade-out").find("Boolean. Default: true"), std::string::npos) << inspect;
    const auto colour = propertyBlock(inspect, "color");
    EXPECT_NE(colour.find("Unsigned Integer"), std::string::npos) << colour;
    EXPECT_NE(colour.find("Default: 16777215"), std::string::npos) << colour;
    // Sound in, pictures out.
    EXPECT_NE(inspect.find("audio/x-raw"), std::string::npos);
    EXPECT_NE(inspect.find("BGRx"), std::string::npos);
}

TEST(ElementRegistry, PluginsThatDoNotLoadAreLeftOutAndTheRestRegister) {
    hosttest::Scratch scratch;
    // A folder of plug-ins: one lacking an entry point, one crashing in
    // lumInit, one that is not a library, and a good one.
    std::filesystem::copy_file(LACKS_ENTRY_PATH, scratch.path("lacks_entry.lum"));
    std::filesystem::copy_file(CRASHES_IN_INIT_PATH, scratch.path("crashes_in_init.lum"));
    std::filesystem::copy_file(GYROTRAIL_MODULE_PATH, scratch.path("second.lum"));
    { std::FILE* text = std::fopen(scratch.path("notes.lum").c_str(), "w"); std::fputs("not a plug-in\n", text); std::fclose(text); }
    const auto environment = gsttest::gstEnvironment({"LUM_PATH=" + scratch.dir().string(), "GST_REGISTRY=" + scratch.path("registry.bin"),
                                                      "GST_DEBUG=lum:5", "GST_DEBUG_NO_COLOR=1"});
    const auto inspect = commandOutput(environment + " gst-inspect-1.0 lum");
    EXPECT_NE(inspect.find("lum_gyrotrail"), std::string::npos) << inspect;
    EXPECT_NE(inspect.find("lum_second"), std::string::npos) << inspect;
    for (const char* left : {"lum_lacks_entry", "lum_crashes_in_init", "lum_notes"}) EXPECT_EQ(inspect.find(left), std::string::npos) << left;
    // Each one left out says why in the debug log.
    EXPECT_NE(inspect.find("leaving out " + scratch.path("lacks_entry.lum") + ": "), std::string::npos) << inspect;
    EXPECT_NE(inspect.find("lacks the entry point"), std::string::npos) << inspect;
    EXPECT_NE(inspect.find("leaving out " + scratch.path("crashes_in_init.lum") + ": crashed while loading"), std::string::npos) << inspect;
    EXPECT_NE(inspect.find("leaving out " + scratch.path("notes.lum")), std::string::npos) << inspect;

    // A plug-in added to the folder later is found without clearing the registry.
    std::filesystem::copy_file(GYROTRAIL_MODULE_PATH, scratch.path("third.lum"));
    const auto again = commandOutput(environment + " gst-inspect-1.0 lum");
    EXPECT_NE(again.find("lum_third"), std::string::npos) << again;
}

}  // namespace
