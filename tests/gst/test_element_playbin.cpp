// playbin shows the element whenever the sound has no picture: the vis flag
// and vis-plugin=lum_gyrotrail on a sound-only file give frames of the figure.
#include <gst/app/gstappsink.h>
#include <gtest/gtest.h>

#include "element_support.h"

namespace {

TEST(ElementPlaybin, VisPluginDrawsTheFigureForASoundOnlyFile) {
    gsttest::startGstreamer();
    hosttest::Scratch scratch;
    const auto sound = scratch.path("swing.wav");
    gsttest::writeSwingSound(sound, 44100, 1.5);

    GstElement* playbin = gst_element_factory_make("playbin", nullptr);
    GstElement* vis = gst_element_factory_make("lum_gyrotrail", nullptr);
    ASSERT_NE(playbin, nullptr);
    ASSERT_NE(vis, nullptr);
    g_object_set(vis, "zoom-factor", 2, nullptr);
    GstElement* video = gst_parse_bin_from_description(
        "videoconvert ! video/x-raw,format=BGRx,width=160,height=120 ! appsink name=out sync=false", TRUE, nullptr);
    GstElement* audio = gst_element_factory_make("fakesink", nullptr);
    g_object_set(audio, "sync", FALSE, nullptr);
    gchar* uri = gst_filename_to_uri(sound.c_str(), nullptr);
    // audio (0x2) and vis (0x8)
    g_object_set(playbin, "uri", uri, "flags", 0x2 | 0x8, "vis-plugin", vis, "video-sink", video, "audio-sink", audio, nullptr);
    g_free(uri);
    ASSERT_NE(gst_element_set_state(playbin, GST_STATE_PLAYING), GST_STATE_CHANGE_FAILURE);

    GstElement* sink = gst_bin_get_by_name(GST_BIN(video), "out");
    int frames = 0, lit = 0;
    for (GstSample* sample; (sample = gst_app_sink_try_pull_sample(GST_APP_SINK(sink), 10 * GST_SECOND)) != nullptr;) {
        GstBuffer* buffer = gst_sample_get_buffer(sample);
        GstMapInfo map;
        gst_buffer_map(buffer, &map, GST_MAP_READ);
        ++frames;
        if (gsttest::anyLit(std::string(reinterpret_cast<const char*>(map.data), map.size))) ++lit;
        gst_buffer_unmap(buffer, &map);
        gst_sample_unref(sample);
        if (gst_app_sink_is_eos(GST_APP_SINK(sink))) break;
    }
    gst_object_unref(sink);
    GstBus* bus = gst_element_get_bus(playbin);
    GstMessage* failure = gst_bus_pop_filtered(bus, GST_MESSAGE_ERROR);
    gchar* debug = nullptr;
    GError* error = nullptr;
    if (failure != nullptr) gst_message_parse_error(failure, &error, &debug);
    EXPECT_EQ(failure, nullptr) << (error != nullptr ? error->message : "") << " " << (debug != nullptr ? debug : "");
    gst_element_set_state(playbin, GST_STATE_NULL);
    gst_object_unref(bus);
    gst_object_unref(playbin);
    // 1.5 s at the frame rate playbin's chain settles on; every frame after the first few shows the figure.
    EXPECT_GE(frames, 20);
    EXPECT_GE(lit, frames - 1);
}

}  // namespace
