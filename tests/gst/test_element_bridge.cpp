// A Windows module as an element: hosted through the bridge under Wine, a
// module that crashes or hangs inside lumDisplaySoundData gives one element
// warning naming the entry point and black frames, the stream goes on, and
// the process lives on.
#include <gst/check/gstharness.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <ostream>
#include <string>
#include <vector>

#include "element_support.h"

namespace {

const std::string crossFolder = std::string(CROSS_BUILD_ROOT) + "/win64";

struct Failure {
    std::string module;  // a test module that fails at its 30th frame
    std::string how;     // what the error says of it
};

void PrintTo(const Failure& failure, std::ostream* out) { *out << failure.module; }

class ElementBridge : public ::testing::TestWithParam<Failure> {};

TEST_P(ElementBridge, FailureInTheModuleIsAWarningNamingTheEntryPointAndBlackFrames) {
    const std::string name = GetParam().module;
    const auto module = crossFolder + "/test-modules/" + name + ".lum";
    if (!std::filesystem::exists(module) || !std::filesystem::exists(crossFolder + "/lumbridge64.exe"))
        GTEST_SKIP() << module << " or lumbridge64.exe is missing: build the win64 preset first";
    if (std::system("command -v wine >/dev/null 2>&1 && command -v Xvfb >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "Wine or Xvfb is not installed";
    hosttest::Scratch scratch;
    std::filesystem::create_symlink(module, scratch.path(name + ".lum"));
    // Registered in this process, so the bridge is found beside this test
    // program, as lumhost finds it beside itself in the build tree.
    gsttest::startGstreamer({"LUM_PATH=" + scratch.dir().string(), "GST_REGISTRY=" + scratch.path("registry.bin"), "GST_REGISTRY_FORK=no",
                             "WINEPREFIX=" + std::string(BRIDGE_WINE_PREFIX)});
    // Registered with the names of its information record, read through the bridge.
    GstElementFactory* factory = gst_element_factory_find(("lum_" + name).c_str());
    ASSERT_NE(factory, nullptr);
    EXPECT_STREQ(gst_element_factory_get_metadata(factory, GST_ELEMENT_METADATA_LONGNAME), "Misbehaving test module");
    EXPECT_STREQ(gst_element_factory_get_metadata(factory, GST_ELEMENT_METADATA_KLASS), "Visualization");
    gst_object_unref(factory);
    gsttest::ElementHarness harness("lum_" + name, 64, 48);
    GstBus* bus = harness.bus;
    const auto frames = harness.silentFrames(40);
    ASSERT_EQ(frames.size(), 40u);
    // From its 30th frame on, the module shows nothing: black frames.
    for (std::size_t i = 29; i < frames.size(); ++i) EXPECT_FALSE(gsttest::anyLit(frames[i].bytes)) << "frame " << i;
    // The warning first: popping one kind of message drops those of other kinds before it.
    GstMessage* message = gst_bus_pop_filtered(bus, GST_MESSAGE_WARNING);
    ASSERT_NE(message, nullptr);
    EXPECT_EQ(gst_bus_pop_filtered(bus, GST_MESSAGE_ERROR), nullptr);
    GError* error = nullptr;
    gchar* debug = nullptr;
    gst_message_parse_warning(message, &error, &debug);
    const std::string text = error->message;
    EXPECT_NE(text.find("lumDisplaySoundData"), std::string::npos) << text;
    EXPECT_NE(text.find(GetParam().how), std::string::npos) << text;
    EXPECT_NE(text.find("at frame 30"), std::string::npos) << text;
    GstElement* element = gst_harness_find_element(harness.h, ("lum_" + name).c_str());
    EXPECT_EQ(GST_MESSAGE_SRC(message), GST_OBJECT(element));
    gst_object_unref(element);
    g_error_free(error);
    g_free(debug);
    gst_message_unref(message);
}

// gst-launch-1.0 and GStreamer's registry scanner are programs far from the
// build tree: the element finds the bridge beside the lumhost it came with,
// and the Windows module draws what lumhost draws with the native one.
TEST(ElementBridgeLaunch, AWindowsModuleInGstLaunchDrawsLumhostsFrames) {
    const auto module = crossFolder + "/gyrotrail.lum";
    if (!std::filesystem::exists(module) || !std::filesystem::exists(crossFolder + "/lumbridge64.exe"))
        GTEST_SKIP() << module << " or lumbridge64.exe is missing: build the win64 preset first";
    if (std::system("command -v wine >/dev/null 2>&1 && command -v Xvfb >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "Wine or Xvfb is not installed";
    hosttest::Scratch scratch;
    std::filesystem::create_symlink(module, scratch.path("windows_gyrotrail.lum"));
    const auto sound = scratch.path("swing.wav");
    gsttest::writeSwingSound(sound, 44100, 1.0);
    const auto expected = gsttest::lumhostFrames(scratch, sound, 160, 120, 30, {"zoom-factor=2", "line-width=3"});
    const auto out = scratch.path("element.raw");
    std::string errors;
    ASSERT_EQ(gsttest::launch("filesrc location=" + hosttest::quoted(sound) +
                                  " ! wavparse ! lum_windows_gyrotrail zoom-factor=2 line-width=3 ! "
                                  "video/x-raw,format=BGRx,width=160,height=120,framerate=30/1 ! filesink location=" +
                                  hosttest::quoted(out),
                              &errors,
                              {"LUM_PATH=" + scratch.dir().string(), "GST_REGISTRY=" + scratch.path("registry.bin"),
                               "WINEPREFIX=" + std::string(BRIDGE_WINE_PREFIX)}),
              0)
        << errors;
    const auto actual = hosttest::readFile(out);
    ASSERT_EQ(actual.size(), expected.size());
    EXPECT_TRUE(actual == expected) << "the Windows module's frames differ from lumhost's";
    EXPECT_TRUE(gsttest::anyLit(actual.substr(actual.size() - 160 * 120 * 4)));
}

INSTANTIATE_TEST_SUITE_P(Modules, ElementBridge,
                         ::testing::Values(Failure{"crashes_in_display", "crashed (exception"},
                                           Failure{"hangs_in_display", "did not return within 5 s"}),
                         [](const auto& info) { return info.param.module; });

}  // namespace
