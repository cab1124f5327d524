#include "element_support.h"

#include <gst/app/gstappsink.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "loading/plugins/plugin_module.h"
#include "loading/plugins/plugin_params.h"
#include "sound_files.h"

namespace gsttest {
namespace {

std::vector<std::string> baseSettings() {
    return {std::string("GST_PLUGIN_PATH=") + LUMGST_PLUGIN_FOLDER, std::string("GST_REGISTRY=") + LUMGST_TEST_REGISTRY,
            // The user's own plug-ins are not the tests' business.
            "LUM_PATH=", "GST_PLUGIN_FEATURE_RANK="};
}

float swing(long frame, int channel, int rate) {
    const double t = static_cast<double>(frame) / rate;
    const double pi = 3.14159265358979;
    if (channel == 0) return static_cast<float>(0.045 * std::sin(2 * pi * 0.9 * t) + 0.01 * std::sin(2 * pi * 7.0 * t));
    return static_cast<float>(0.04 * std::cos(2 * pi * 0.55 * t + 0.4) + 0.012 * std::sin(2 * pi * 3.1 * t));
}

}  // namespace

void startGstreamer(const std::vector<std::string>& extra) {
    std::vector<std::string> settings = baseSettings();
    settings.insert(settings.end(), extra.begin(), extra.end());
    for (const auto& setting : settings) {
        const auto equals = setting.find('=');
        setenv(setting.substr(0, equals).c_str(), setting.substr(equals + 1).c_str(), 1);
    }
    gst_init(nullptr, nullptr);
}

std::string gstEnvironment(const std::vector<std::string>& extra) {
    std::string command = "env";
    std::vector<std::string> settings = baseSettings();
    settings.insert(settings.end(), extra.begin(), extra.end());
    for (const auto& setting : settings) command += " " + hosttest::quoted(setting);
    return command;
}

void writeSwingSound(const std::string& path, int rate, double seconds) {
    hosttest::writeSound(path, rate, 2, std::lround(seconds * rate), [rate](long frame, int channel) { return swing(frame, channel, rate); });
}

std::vector<float> swingSamples(int rate, long frames) {
    // As written to the file (16 bits) and read back as floats.
    std::vector<float> samples;
    for (long frame = 0; frame < frames; ++frame)
        for (int channel = 0; channel < 2; ++channel) {
            const double x = std::clamp(static_cast<double>(swing(frame, channel, rate)), -1.0, 1.0);
            const auto value = static_cast<int16_t>(std::lround(std::min(x * 32768.0, 32767.0)));
            samples.push_back(static_cast<float>(value) * (1.0f / 32768));
        }
    return samples;
}

int launch(const std::string& pipeline, std::string* errors, const std::vector<std::string>& extra) {
    const std::string command = gstEnvironment(extra) + " gst-launch-1.0 -q " + pipeline + " 2>&1";
    FILE* output = popen(command.c_str(), "r");
    if (output == nullptr) return -1;
    std::string text;
    char buffer[4096];
    for (std::size_t got; (got = fread(buffer, 1, sizeof buffer, output)) > 0;) text.append(buffer, got);
    const int status = pclose(output);
    if (errors != nullptr) *errors = text;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

Outcome runPipeline(const std::string& description, GstClockTime limit) {
    Outcome outcome;
    GError* error = nullptr;
    GstElement* pipeline = gst_parse_launch(description.c_str(), &error);
    if (pipeline == nullptr || error != nullptr) {
        outcome.error = error != nullptr ? error->message : "the pipeline could not be made";
        if (error != nullptr) g_error_free(error);
        if (pipeline != nullptr) gst_object_unref(pipeline);
        return outcome;
    }
    gst_element_set_state(pipeline, GST_STATE_PLAYING);
    GstBus* bus = gst_element_get_bus(pipeline);
    GstMessage* message = gst_bus_timed_pop_filtered(bus, limit, static_cast<GstMessageType>(GST_MESSAGE_ERROR | GST_MESSAGE_EOS));
    if (message == nullptr) {
        outcome.error = "neither an end nor an error within the time allowed";
    } else if (GST_MESSAGE_TYPE(message) == GST_MESSAGE_EOS) {
        outcome.ended = true;
    } else {
        GError* failure = nullptr;
        gst_message_parse_error(message, &failure, nullptr);
        outcome.error = failure != nullptr ? failure->message : "an error without a text";
        if (failure != nullptr) g_error_free(failure);
    }
    if (message != nullptr) gst_message_unref(message);
    gst_object_unref(bus);
    gst_element_set_state(pipeline, GST_STATE_NULL);
    gst_object_unref(pipeline);
    return outcome;
}

std::vector<std::string> pullFrames(GstElement* pipeline, int count) {
    GstElement* sink = gst_bin_get_by_name(GST_BIN(pipeline), "out");
    std::vector<std::string> frames;
    for (int i = 0; i < count; ++i) {
        GstSample* sample = gst_app_sink_try_pull_sample(GST_APP_SINK(sink), 10 * GST_SECOND);
        if (sample == nullptr) break;
        GstBuffer* buffer = gst_sample_get_buffer(sample);
        GstMapInfo map;
        gst_buffer_map(buffer, &map, GST_MAP_READ);
        frames.emplace_back(reinterpret_cast<const char*>(map.data), map.size);
        gst_buffer_unmap(buffer, &map);
        gst_sample_unref(sample);
    }
    gst_object_unref(sink);
    return frames;
}

bool anyLit(const std::string& frame) {
    for (const char byte : frame)
        if (byte != 0) return true;
    return false;
}

ElementHarness::ElementHarness(const std::string& description, int width, int height) {
    h = gst_harness_new_parse(description.c_str());
    bus = gst_bus_new();
    gst_element_set_bus(h->element, bus);
    gst_harness_play(h);
    gst_harness_set_sink_caps_str(h, ("video/x-raw,format=BGRx,width=" + std::to_string(width) + ",height=" + std::to_string(height) +
                                      ",framerate=30/1,pixel-aspect-ratio=1/1").c_str());
    gst_harness_set_src_caps_str(h, "audio/x-raw,format=S16LE,layout=interleaved,rate=44100,channels=1");
}

ElementHarness::~ElementHarness() {
    gst_harness_teardown(h);
    gst_object_unref(bus);
}

std::vector<ElementHarness::Frame> ElementHarness::silentFrames(int count) {
    const std::vector<int16_t> silence(1470, 0);
    std::vector<Frame> frames;
    for (int i = 0; i < count; ++i) {
        if (gst_harness_push(h, gst_buffer_new_memdup(silence.data(), silence.size() * sizeof(int16_t))) != GST_FLOW_OK) break;
        GstBuffer* frame = gst_harness_try_pull(h);
        if (frame == nullptr) break;
        GstMapInfo map;
        gst_buffer_map(frame, &map, GST_MAP_READ);
        frames.push_back({std::string(reinterpret_cast<const char*>(map.data), map.size), GST_BUFFER_PTS(frame)});
        gst_buffer_unmap(frame, &map);
        gst_buffer_unref(frame);
    }
    return frames;
}

std::vector<std::string> referenceFrames(const std::vector<std::vector<int8_t>>& blocks, int width, int height,
                                         const std::vector<TimedSetting>& settings) {
    lumhost::PluginModule plugin(GYROTRAIL_MODULE_PATH, lumhost::ModuleSharing::ownCopy);
    lumhost::initPlugin(plugin);
    std::vector<uint32_t> pixels(static_cast<std::size_t>(width) * static_cast<std::size_t>(height), 0);
    LumCanvas canvas{width, height, width * 4, pixels.data()};
    auto apply = [&](int frame) {
        for (const auto& setting : settings)
            if (setting.beforeFrame == frame) lumhost::setParam(plugin, setting.id, setting.value);
    };
    apply(0);
    plugin.start();
    std::vector<std::string> frames;
    for (std::size_t i = 0; i < blocks.size(); ++i) {
        if (i > 0) apply(static_cast<int>(i));
        plugin.displaySoundData(&canvas, blocks[i].data(), static_cast<uint32_t>(blocks[i].size()));
        frames.emplace_back(reinterpret_cast<const char*>(pixels.data()), pixels.size() * 4);
    }
    plugin.end();
    return frames;
}

}  // namespace gsttest
