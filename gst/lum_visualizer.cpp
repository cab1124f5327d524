#include "gst/lum_visualizer.h"

#include <gst/audio/audio.h>
#include <gst/video/video.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <mutex>
#include <utility>
#include <vector>

#include "gst/sample_format.h"
#include "host/base/host_error.h"
#include "host/plugins/plugin_module.h"
#include "host/plugins/plugin_params.h"
#include "rules/block_cutter.h"
#include "rules/defaults.h"

GST_DEBUG_CATEGORY_EXTERN(lumgst_debug);
#define GST_CAT_DEFAULT lumgst_debug

namespace lumgst {
namespace {

// lumhost's default canvas and frame rate, where downstream leaves them open.
using lumrules::defaultFps;
using lumrules::defaultHeight;
using lumrules::defaultWidth;

// The canvas's 0x00RRGGBB pixels in memory order are B, G, R, 0.
GstStaticPadTemplate srcTemplate = GST_STATIC_PAD_TEMPLATE(
    "src", GST_PAD_SRC, GST_PAD_ALWAYS,
    GST_STATIC_CAPS("video/x-raw, format = (string) BGRx, width = (int) [ 1, 16384 ], height = (int) [ 1, 16384 ], "
                    "framerate = (fraction) [ 1/1, 1000/1 ], pixel-aspect-ratio = (fraction) 1/1"));

// Up to eight channels: wider sound is mixed down to stereo by the cutter,
// as lumhost mixes it.
GstStaticPadTemplate sinkTemplate = GST_STATIC_PAD_TEMPLATE(
    "sink", GST_PAD_SINK, GST_PAD_ALWAYS,
    GST_STATIC_CAPS("audio/x-raw, format = (string) " LUMGST_AUDIO_FORMATS ", layout = (string) interleaved, "
                    "rate = (int) [ 1, MAX ], channels = (int) [ 1, 8 ]"));

// What one element holds besides its GObject: the loaded plug-in, its
// settings, the run of blocks and the canvas.
struct ElementState {
    const PluginDescription* plugin = nullptr;
    GstPad* sinkpad = nullptr;
    GstPad* srcpad = nullptr;

    // Settings: written by the application's thread, applied by the
    // streaming thread before the next frame.
    std::mutex settingsLock;
    std::vector<int32_t> values;                       // by property, as last set or applied
    std::vector<std::size_t> setOrder;                 // properties the application set, in order
    std::vector<std::pair<uint32_t, int32_t>> pending; // id, value: not applied yet
    bool loaded = false;                               // whether `module` takes settings

    std::unique_ptr<lumhost::PluginModule> module;
    bool running = false;      // between lumStart and lumEnd
    bool restartDue = true;    // the next buffer starts a run
    GstClockTime runStart = GST_CLOCK_TIME_NONE;

    GstAudioInfo audio{};
    bool haveAudio = false;
    GstVideoInfo video{};
    bool haveVideo = false;
    GstBufferPool* pool = nullptr;
    GstSegment segment{};

    lumrules::BlockCutter blocks;
    lumrules::SampleFormat sampleFormat = lumrules::SampleFormat::f32;
    std::vector<int8_t> block;
    // The canvas is the frame last sent: drawn on again in place once
    // downstream has let go of it, otherwise copied into a new frame first.
    GstBuffer* picture = nullptr;
    GstVideoInfo pictureInfo{};
};

struct LumVisualizer {
    GstElement parent;
    ElementState* state;
};

struct LumVisualizerClass {
    GstElementClass parent;
    const PluginDescription* plugin;
};

GstElementClass* parentClass = nullptr;

ElementState& stateOf(gpointer element) { return *reinterpret_cast<LumVisualizer*>(element)->state; }
const PluginDescription& pluginOf(gpointer klass) { return *static_cast<LumVisualizerClass*>(klass)->plugin; }

// ---- settings

// Sends every setting that waits to the plug-in. Streaming thread, or no
// streaming at all.
void applyPending(GstElement* element, ElementState& s) {
    std::vector<std::pair<uint32_t, int32_t>> pending;
    {
        std::lock_guard lock(s.settingsLock);
        pending.swap(s.pending);
    }
    for (const auto& [id, value] : pending) {
        const auto applied = lumhost::setParam(*s.module, id, value);
        if (!applied)
            GST_WARNING_OBJECT(element, "the plug-in no longer knows setting %u", id);
        else if (*applied != value)
            GST_INFO_OBJECT(element, "setting %u: %d applied as %d", id, value, *applied);
    }
}

void setProperty(GObject* object, guint propertyId, const GValue* value, GParamSpec* pspec) {
    auto& s = stateOf(object);
    const auto& properties = s.plugin->properties;
    if (propertyId == 0 || propertyId > properties.size()) {
        G_OBJECT_WARN_INVALID_PROPERTY_ID(object, propertyId, pspec);
        return;
    }
    const std::size_t index = propertyId - 1;
    int32_t setting = 0;
    if (G_VALUE_HOLDS_BOOLEAN(value))
        setting = g_value_get_boolean(value) ? 1 : 0;
    else if (G_VALUE_HOLDS_UINT(value))
        setting = static_cast<int32_t>(g_value_get_uint(value));
    else
        setting = g_value_get_int(value);
    std::lock_guard lock(s.settingsLock);
    s.values[index] = setting;
    s.setOrder.erase(std::remove(s.setOrder.begin(), s.setOrder.end(), index), s.setOrder.end());
    s.setOrder.push_back(index);
    if (s.loaded) s.pending.emplace_back(properties[index].probed.param.id, setting);
}

void getProperty(GObject* object, guint propertyId, GValue* value, GParamSpec* pspec) {
    auto& s = stateOf(object);
    if (propertyId == 0 || propertyId > s.plugin->properties.size()) {
        G_OBJECT_WARN_INVALID_PROPERTY_ID(object, propertyId, pspec);
        return;
    }
    int32_t setting = 0;
    {
        std::lock_guard lock(s.settingsLock);
        setting = s.values[propertyId - 1];
    }
    if (G_VALUE_HOLDS_BOOLEAN(value))
        g_value_set_boolean(value, setting != 0);
    else if (G_VALUE_HOLDS_UINT(value))
        g_value_set_uint(value, static_cast<guint>(setting));
    else
        g_value_set_int(value, setting);
}

// ---- the plug-in

// Loads this element's own copy of the plug-in, calls lumInit and applies
// the settings the application made so far, in the order it made them.
bool loadPlugin(GstElement* element, ElementState& s) {
    try {
        s.module = std::make_unique<lumhost::PluginModule>(s.plugin->file, lumhost::ModuleSharing::ownCopy);
        lumhost::initPlugin(*s.module);
        std::lock_guard lock(s.settingsLock);
        s.pending.clear();
        for (const auto index : s.setOrder) s.pending.emplace_back(s.plugin->properties[index].probed.param.id, s.values[index]);
        s.loaded = true;
    } catch (const std::exception& error) {
        s.module.reset();
        GST_ELEMENT_ERROR(element, LIBRARY, INIT, ("%s", error.what()), ("plug-in %s", s.plugin->file.c_str()));
        return false;
    }
    try {
        applyPending(element, s);
    } catch (const std::exception& error) {
        GST_ELEMENT_ERROR(element, LIBRARY, SETTINGS, ("%s", error.what()), ("plug-in %s", s.plugin->file.c_str()));
        return false;
    }
    return true;
}

// The next frame starts from a black canvas.
void clearCanvas(ElementState& s) {
    if (s.picture != nullptr) gst_buffer_unref(s.picture);
    s.picture = nullptr;
}

// lumEnd if a run is on, then lumStart: a fresh trail on a black canvas, and
// blocks counted again from the first sound that follows.
bool startRun(GstElement* element, ElementState& s) {
    // Blocks are cut at the negotiated frame rate: one above the sample rate would leave some without sound.
    const int rate = GST_AUDIO_INFO_RATE(&s.audio), fpsN = GST_VIDEO_INFO_FPS_N(&s.video), fpsD = GST_VIDEO_INFO_FPS_D(&s.video);
    if (!lumrules::frameRateFits(rate, fpsN, fpsD)) {
        GST_ELEMENT_ERROR(element, CORE, NEGOTIATION, ("framerate: %s", lumrules::frameRateTooHigh(rate, fpsN, fpsD).c_str()), (nullptr));
        return false;
    }
    try {
        if (s.running) s.module->end();
        s.running = false;
        applyPending(element, s);
        s.module->start();
        s.running = true;
    } catch (const std::exception& error) {
        GST_ELEMENT_ERROR(element, LIBRARY, FAILED, ("%s", error.what()), ("plug-in %s", s.plugin->file.c_str()));
        return false;
    }
    clearCanvas(s);
    s.blocks.reset(GST_AUDIO_INFO_RATE(&s.audio), channelPositionsOf(s.audio), GST_VIDEO_INFO_FPS_N(&s.video),
                   GST_VIDEO_INFO_FPS_D(&s.video));
    s.runStart = GST_CLOCK_TIME_NONE;
    s.restartDue = false;
    return true;
}

void endRun(GstElement* element, ElementState& s) {
    if (!s.running) return;
    s.running = false;
    try {
        s.module->end();
    } catch (const std::exception& error) {
        GST_ELEMENT_WARNING(element, LIBRARY, SHUTDOWN, ("%s", error.what()), (nullptr));
    }
}

// ---- caps and buffers

// A frame from the pool, black but for what `keep` (of `keepInfo`'s size) shows
// where the two overlap; nothing if the pool has none.
GstBuffer* newPicture(ElementState& s, GstBuffer* keep, const GstVideoInfo& keepInfo) {
    GstBuffer* out = nullptr;
    if (gst_buffer_pool_acquire_buffer(s.pool, &out, nullptr) != GST_FLOW_OK) return nullptr;
    GstVideoFrame to;
    if (!gst_video_frame_map(&to, &s.video, out, GST_MAP_WRITE)) {
        gst_buffer_unref(out);
        return nullptr;
    }
    auto* toData = static_cast<guint8*>(GST_VIDEO_FRAME_PLANE_DATA(&to, 0));
    const int toStride = GST_VIDEO_FRAME_PLANE_STRIDE(&to, 0);
    std::memset(toData, 0, static_cast<std::size_t>(toStride) * static_cast<std::size_t>(GST_VIDEO_FRAME_HEIGHT(&to)));
    GstVideoFrame from;
    if (keep != nullptr && gst_video_frame_map(&from, &keepInfo, keep, GST_MAP_READ)) {
        const auto* fromData = static_cast<const guint8*>(GST_VIDEO_FRAME_PLANE_DATA(&from, 0));
        const int fromStride = GST_VIDEO_FRAME_PLANE_STRIDE(&from, 0);
        const int rows = std::min(GST_VIDEO_FRAME_HEIGHT(&from), GST_VIDEO_FRAME_HEIGHT(&to));
        const auto bytes = static_cast<std::size_t>(std::min(GST_VIDEO_FRAME_WIDTH(&from), GST_VIDEO_FRAME_WIDTH(&to))) * 4;
        for (int y = 0; y < rows; ++y)
            std::memcpy(toData + static_cast<std::ptrdiff_t>(y) * toStride, fromData + static_cast<std::ptrdiff_t>(y) * fromStride, bytes);
        gst_video_frame_unmap(&from);
    }
    gst_video_frame_unmap(&to);
    return out;
}

// The canvas ready to draw on: the frame last sent if no one else holds it
// any more, otherwise a copy of it (at the negotiated size: a canvas of a new
// size keeps what the old one showed where they overlap, as a resized window
// does, and the plug-in centres new points in the new size).
bool writablePicture(ElementState& s) {
    const bool sameSize = s.picture != nullptr && GST_VIDEO_INFO_WIDTH(&s.pictureInfo) == GST_VIDEO_INFO_WIDTH(&s.video) &&
                          GST_VIDEO_INFO_HEIGHT(&s.pictureInfo) == GST_VIDEO_INFO_HEIGHT(&s.video);
    if (sameSize && gst_buffer_is_writable(s.picture)) return true;
    GstBuffer* fresh = newPicture(s, s.picture, s.pictureInfo);
    if (fresh == nullptr) return false;
    if (s.picture != nullptr) gst_buffer_unref(s.picture);
    s.picture = fresh;
    s.pictureInfo = s.video;
    return true;
}

void dropPool(ElementState& s) {
    if (s.pool == nullptr) return;
    gst_buffer_pool_set_active(s.pool, FALSE);
    gst_object_unref(s.pool);
    s.pool = nullptr;
}

// Picks the video format downstream takes, nearest lumhost's defaults where it
// leaves a choice, and a pool of frames for it.
bool negotiate(GstElement* element, ElementState& s) {
    GstCaps* templateCaps = gst_pad_get_pad_template_caps(s.srcpad);
    GstCaps* caps = gst_pad_peer_query_caps(s.srcpad, templateCaps);
    gst_caps_unref(templateCaps);
    if (caps == nullptr || gst_caps_is_empty(caps)) {
        if (caps != nullptr) gst_caps_unref(caps);
        GST_WARNING_OBJECT(element, "downstream takes no video this element makes");
        return false;
    }
    caps = gst_caps_make_writable(gst_caps_truncate(caps));
    GstStructure* structure = gst_caps_get_structure(caps, 0);
    gst_structure_fixate_field_nearest_int(structure, "width", defaultWidth);
    gst_structure_fixate_field_nearest_int(structure, "height", defaultHeight);
    gst_structure_fixate_field_nearest_fraction(structure, "framerate", defaultFps, 1);
    caps = gst_caps_fixate(caps);
    GstVideoInfo video;
    const bool parsed = gst_video_info_from_caps(&video, caps);
    const bool sent = parsed && gst_pad_set_caps(s.srcpad, caps);
    if (!sent) {
        GST_WARNING_OBJECT(element, "cannot send caps %" GST_PTR_FORMAT, static_cast<gpointer>(caps));
        gst_caps_unref(caps);
        return false;
    }
    GST_DEBUG_OBJECT(element, "video caps %" GST_PTR_FORMAT, static_cast<gpointer>(caps));

    dropPool(s);
    s.pool = gst_video_buffer_pool_new();
    GstStructure* config = gst_buffer_pool_get_config(s.pool);
    gst_buffer_pool_config_set_params(config, caps, static_cast<guint>(GST_VIDEO_INFO_SIZE(&video)), 2, 0);
    gst_caps_unref(caps);
    if (!gst_buffer_pool_set_config(s.pool, config) || !gst_buffer_pool_set_active(s.pool, TRUE)) {
        dropPool(s);
        return false;
    }
    const bool newRate = !s.haveVideo || GST_VIDEO_INFO_FPS_N(&video) != GST_VIDEO_INFO_FPS_N(&s.video) ||
                         GST_VIDEO_INFO_FPS_D(&video) != GST_VIDEO_INFO_FPS_D(&s.video);
    s.video = video;
    s.haveVideo = true;
    // Blocks are cut at the frame rate: a new one begins a new run.
    if (newRate) s.restartDue = true;
    return true;
}

GstClockTime sampleTime(const ElementState& s, int64_t sample) {
    return s.runStart + gst_util_uint64_scale_int(static_cast<guint64>(sample), GST_SECOND, s.blocks.sampleRate());
}

// Draws the block in s.block and pushes the frame.
GstFlowReturn drawAndPush(GstElement* element, ElementState& s) {
    const int64_t frame = s.blocks.frame() - 1;
    const GstClockTime start = sampleTime(s, s.blocks.frameStartSample(frame));
    const GstClockTime end = sampleTime(s, s.blocks.frameStartSample(frame + 1));
    // Controlled properties follow the stream's time.
    gst_object_sync_values(GST_OBJECT(element), start);
    if (!writablePicture(s)) {
        if (GST_PAD_IS_FLUSHING(s.srcpad)) return GST_FLOW_FLUSHING;
        GST_ELEMENT_ERROR(element, RESOURCE, NO_SPACE_LEFT, ("no video frame to draw on"), (nullptr));
        return GST_FLOW_ERROR;
    }
    GstVideoFrame picture;
    if (!gst_video_frame_map(&picture, &s.pictureInfo, s.picture, GST_MAP_READWRITE)) {
        GST_ELEMENT_ERROR(element, STREAM, FAILED, ("cannot map a video frame"), (nullptr));
        return GST_FLOW_ERROR;
    }
    LumCanvas canvas{GST_VIDEO_FRAME_WIDTH(&picture), GST_VIDEO_FRAME_HEIGHT(&picture), GST_VIDEO_FRAME_PLANE_STRIDE(&picture, 0),
                     static_cast<uint32_t*>(GST_VIDEO_FRAME_PLANE_DATA(&picture, 0))};
    try {
        applyPending(element, s);
        s.module->displaySoundData(&canvas, s.block.data(), static_cast<uint32_t>(s.block.size()));
    } catch (const std::exception& error) {
        gst_video_frame_unmap(&picture);
        GST_ELEMENT_ERROR(element, LIBRARY, FAILED, ("%s", error.what()),
                          ("plug-in %s, frame %" G_GINT64_FORMAT, s.plugin->file.c_str(), frame + 1));
        return GST_FLOW_ERROR;
    }
    gst_video_frame_unmap(&picture);
    GstBuffer* out = s.picture;
    GST_BUFFER_PTS(out) = start;
    GST_BUFFER_DURATION(out) = end - start;
    GST_BUFFER_OFFSET(out) = static_cast<guint64>(frame);
    GST_BUFFER_FLAG_UNSET(out, GST_BUFFER_FLAG_DISCONT);
    if (frame == 0) GST_BUFFER_FLAG_SET(out, GST_BUFFER_FLAG_DISCONT);
    return gst_pad_push(s.srcpad, gst_buffer_ref(out));
}

// Cuts and draws every block whose sound is here (at the end, the short rest too).
GstFlowReturn drawBlocks(GstElement* element, ElementState& s, bool atEnd) {
    GstFlowReturn result = GST_FLOW_OK;
    while (result == GST_FLOW_OK && s.blocks.cut(s.block, atEnd)) result = drawAndPush(element, s);
    return result;
}

GstFlowReturn chain(GstPad*, GstObject* parent, GstBuffer* buffer) {
    auto* element = GST_ELEMENT(parent);
    auto& s = stateOf(parent);
    if (!s.haveAudio) {
        gst_buffer_unref(buffer);
        return GST_FLOW_NOT_NEGOTIATED;
    }
    if ((!s.haveVideo || gst_pad_check_reconfigure(s.srcpad)) && !negotiate(element, s)) {
        gst_pad_mark_reconfigure(s.srcpad);
        gst_buffer_unref(buffer);
        return GST_PAD_IS_FLUSHING(s.srcpad) ? GST_FLOW_FLUSHING : GST_FLOW_NOT_NEGOTIATED;
    }
    if (s.restartDue && !startRun(element, s)) {
        gst_buffer_unref(buffer);
        return GST_FLOW_ERROR;
    }
    if (!GST_CLOCK_TIME_IS_VALID(s.runStart)) {
        s.runStart = GST_BUFFER_PTS_IS_VALID(buffer) ? GST_BUFFER_PTS(buffer)
                     : s.segment.format == GST_FORMAT_TIME ? s.segment.start
                                                           : 0;
    }
    GstMapInfo map;
    if (!gst_buffer_map(buffer, &map, GST_MAP_READ)) {
        gst_buffer_unref(buffer);
        GST_ELEMENT_ERROR(element, STREAM, FAILED, ("cannot read a sound buffer"), (nullptr));
        return GST_FLOW_ERROR;
    }
    const auto frameBytes = static_cast<std::size_t>(GST_AUDIO_INFO_BPF(&s.audio));
    s.blocks.push(map.data, map.size / frameBytes, s.sampleFormat);
    gst_buffer_unmap(buffer, &map);
    gst_buffer_unref(buffer);
    return drawBlocks(element, s, false);
}

bool setAudioCaps(GstElement* element, ElementState& s, GstCaps* caps) {
    GstAudioInfo audio;
    if (!gst_audio_info_from_caps(&audio, caps) || !sampleFormatOf(GST_AUDIO_INFO_FORMAT(&audio))) {
        GST_WARNING_OBJECT(element, "cannot take %" GST_PTR_FORMAT, static_cast<gpointer>(caps));
        return false;
    }
    // New sound parameters begin a new run of blocks.
    if (!s.haveAudio || GST_AUDIO_INFO_RATE(&audio) != GST_AUDIO_INFO_RATE(&s.audio) ||
        GST_AUDIO_INFO_CHANNELS(&audio) != GST_AUDIO_INFO_CHANNELS(&s.audio) ||
        GST_AUDIO_INFO_FORMAT(&audio) != GST_AUDIO_INFO_FORMAT(&s.audio) || channelPositionsOf(audio) != channelPositionsOf(s.audio))
        s.restartDue = true;
    s.audio = audio;
    s.sampleFormat = *sampleFormatOf(GST_AUDIO_INFO_FORMAT(&audio));
    s.haveAudio = true;
    if (!negotiate(element, s)) gst_pad_mark_reconfigure(s.srcpad);
    return true;
}

gboolean sinkEvent(GstPad* pad, GstObject* parent, GstEvent* event) {
    auto* element = GST_ELEMENT(parent);
    auto& s = stateOf(parent);
    switch (GST_EVENT_TYPE(event)) {
        case GST_EVENT_CAPS: {
            GstCaps* caps = nullptr;
            gst_event_parse_caps(event, &caps);
            const bool taken = setAudioCaps(element, s, caps);
            gst_event_unref(event);
            return taken;
        }
        case GST_EVENT_STREAM_START:
            s.restartDue = true;
            break;
        case GST_EVENT_SEGMENT: {
            // A new segment, as after a seek, starts a new run.
            const GstSegment* segment = nullptr;
            gst_event_parse_segment(event, &segment);
            gst_segment_copy_into(segment, &s.segment);
            s.restartDue = true;
            if (segment->format != GST_FORMAT_TIME) {
                gst_event_unref(event);
                GstSegment time;
                gst_segment_init(&time, GST_FORMAT_TIME);
                return gst_pad_push_event(s.srcpad, gst_event_new_segment(&time));
            }
            break;
        }
        case GST_EVENT_FLUSH_STOP:
            gst_segment_init(&s.segment, GST_FORMAT_UNDEFINED);
            s.restartDue = true;
            break;
        case GST_EVENT_EOS:
            // The sound's short rest makes a last frame, as lumhost's does; then the run ends.
            if (s.running && s.haveVideo && s.pool != nullptr) drawBlocks(element, s, true);
            if (s.running) endRun(element, s);
            s.restartDue = true;
            break;
        default: break;
    }
    return gst_pad_event_default(pad, parent, event);
}

gboolean sinkQuery(GstPad* pad, GstObject* parent, GstQuery* query) {
    // The sound's allocation is not the video's business.
    if (GST_QUERY_TYPE(query) == GST_QUERY_ALLOCATION) return FALSE;
    return gst_pad_query_default(pad, parent, query);
}

gboolean srcEvent(GstPad* pad, GstObject* parent, GstEvent* event) {
    // Every block is drawn whether its frame is late or not (the figure grows
    // from every block), and late video says nothing to the sound upstream.
    if (GST_EVENT_TYPE(event) == GST_EVENT_QOS) {
        gst_event_unref(event);
        return TRUE;
    }
    return gst_pad_event_default(pad, parent, event);
}

gboolean srcQuery(GstPad* pad, GstObject* parent, GstQuery* query) {
    auto& s = stateOf(parent);
    if (GST_QUERY_TYPE(query) == GST_QUERY_LATENCY) {
        // A frame waits for its block's sound: one frame's time more than upstream.
        if (!gst_pad_peer_query(s.sinkpad, query)) return FALSE;
        gboolean live = FALSE;
        GstClockTime low = 0, high = 0;
        gst_query_parse_latency(query, &live, &low, &high);
        if (s.haveVideo) {
            const GstClockTime frame = gst_util_uint64_scale_int_ceil(GST_SECOND, GST_VIDEO_INFO_FPS_D(&s.video), GST_VIDEO_INFO_FPS_N(&s.video));
            low += frame;
            if (GST_CLOCK_TIME_IS_VALID(high)) high += frame;
        }
        gst_query_set_latency(query, live, low, high);
        return TRUE;
    }
    return gst_pad_query_default(pad, parent, query);
}

GstStateChangeReturn changeState(GstElement* element, GstStateChange transition) {
    auto& s = stateOf(element);
    switch (transition) {
        case GST_STATE_CHANGE_NULL_TO_READY:
            if (!loadPlugin(element, s)) return GST_STATE_CHANGE_FAILURE;
            break;
        case GST_STATE_CHANGE_READY_TO_PAUSED:
            gst_segment_init(&s.segment, GST_FORMAT_UNDEFINED);
            s.restartDue = true;
            break;
        default: break;
    }
    const GstStateChangeReturn result = parentClass->change_state(element, transition);
    if (result == GST_STATE_CHANGE_FAILURE) return result;
    switch (transition) {
        case GST_STATE_CHANGE_PAUSED_TO_READY:
            endRun(element, s);
            clearCanvas(s);
            dropPool(s);
            s.haveAudio = s.haveVideo = false;
            s.blocks.restart();
            break;
        case GST_STATE_CHANGE_READY_TO_NULL: {
            {
                std::lock_guard lock(s.settingsLock);
                s.loaded = false;
                s.pending.clear();
            }
            s.module.reset();
            break;
        }
        default: break;
    }
    return result;
}

// ---- the GObject frame

void instanceInit(GTypeInstance* instance, gpointer klass) {
    auto* self = reinterpret_cast<LumVisualizer*>(instance);
    auto* element = GST_ELEMENT(instance);
    self->state = new ElementState;
    auto& s = *self->state;
    s.plugin = &pluginOf(klass);
    for (const auto& property : s.plugin->properties) s.values.push_back(property.probed.param.value);
    gst_segment_init(&s.segment, GST_FORMAT_UNDEFINED);

    auto* elementClass = static_cast<GstElementClass*>(klass);
    s.sinkpad = gst_pad_new_from_template(gst_element_class_get_pad_template(elementClass, "sink"), "sink");
    gst_pad_set_chain_function(s.sinkpad, chain);
    gst_pad_set_event_function(s.sinkpad, sinkEvent);
    gst_pad_set_query_function(s.sinkpad, sinkQuery);
    gst_element_add_pad(element, s.sinkpad);
    s.srcpad = gst_pad_new_from_template(gst_element_class_get_pad_template(elementClass, "src"), "src");
    gst_pad_set_event_function(s.srcpad, srcEvent);
    gst_pad_set_query_function(s.srcpad, srcQuery);
    gst_pad_use_fixed_caps(s.srcpad);
    gst_element_add_pad(element, s.srcpad);
}

void finalize(GObject* object) {
    auto* self = reinterpret_cast<LumVisualizer*>(object);
    clearCanvas(*self->state);
    dropPool(*self->state);
    delete self->state;
    self->state = nullptr;
    G_OBJECT_CLASS(parentClass)->finalize(object);
}

void baseClassInit(gpointer klass, gpointer) {
    parentClass = static_cast<GstElementClass*>(g_type_class_peek_parent(klass));
    G_OBJECT_CLASS(klass)->finalize = finalize;
    auto* elementClass = GST_ELEMENT_CLASS(klass);
    elementClass->change_state = changeState;
    gst_element_class_add_static_pad_template(elementClass, &srcTemplate);
    gst_element_class_add_static_pad_template(elementClass, &sinkTemplate);
}

GType baseType() {
    static GType type = 0;
    if (type == 0) {
        GTypeInfo info{};
        info.class_size = sizeof(LumVisualizerClass);
        info.class_init = baseClassInit;
        info.instance_size = sizeof(LumVisualizer);
        info.instance_init = instanceInit;
        type = g_type_register_static(GST_TYPE_ELEMENT, "GstLumVisualizer", &info, G_TYPE_FLAG_ABSTRACT);
    }
    return type;
}

GParamSpec* propertySpec(const PropertySetting& setting) {
    const auto& param = setting.probed.param;
    const auto flags = static_cast<GParamFlags>(G_PARAM_READWRITE | GST_PARAM_CONTROLLABLE | GST_PARAM_MUTABLE_PLAYING);
    const char* name = setting.propertyName.c_str();
    const char* nick = param.name.empty() ? name : param.name.c_str();
    const char* blurb = param.description.empty() ? nick : param.description.c_str();
    if (param.type == PARAMTYPE_TOGGLE) return g_param_spec_boolean(name, nick, blurb, param.value != 0, flags);
    if (param.type == PARAMTYPE_COLOR) {
        const std::string colourBlurb = std::string(blurb) + " (0x00BBGGRR)";
        return g_param_spec_uint(name, nick, colourBlurb.c_str(), 0, G_MAXUINT32, static_cast<guint>(param.value), flags);
    }
    const int low = setting.probed.range ? setting.probed.range->low : G_MININT32;
    const int high = setting.probed.range ? setting.probed.range->high : G_MAXINT32;
    return g_param_spec_int(name, nick, blurb, low, high, std::clamp<int>(param.value, low, high), flags);
}

void pluginClassInit(gpointer klass, gpointer data) {
    const auto* plugin = static_cast<const PluginDescription*>(data);
    static_cast<LumVisualizerClass*>(klass)->plugin = plugin;
    // GObject gives each class its own property accessors; they are not inherited.
    G_OBJECT_CLASS(klass)->set_property = setProperty;
    G_OBJECT_CLASS(klass)->get_property = getProperty;
    guint id = 1;
    for (const auto& property : plugin->properties)
        g_object_class_install_property(G_OBJECT_CLASS(klass), id++, propertySpec(property));
    const auto& probe = plugin->probe;
    const std::string longName = !probe.longName.empty() ? probe.longName : !probe.displayName.empty() ? probe.displayName : plugin->name;
    std::string description = longName + (probe.version.empty() ? "" : " " + probe.version) + ": a " +
                              (probe.windows ? "Windows " : "") + ".lum visualisation plug-in (" + plugin->file + ")";
    if (!probe.copyright.empty()) description += ", " + probe.copyright;
    std::string author = !probe.vendor.empty() ? probe.vendor : "unknown";
    if (!probe.url.empty()) author += " <" + probe.url + ">";
    gst_element_class_set_metadata(GST_ELEMENT_CLASS(klass), longName.c_str(), "Visualization", description.c_str(), author.c_str());
}

}  // namespace

bool registerVisualizer(GstPlugin* plugin, const PluginDescription* description) {
    if (g_type_from_name(description->typeName.c_str()) != 0) return false;
    GTypeInfo info{};
    info.class_size = sizeof(LumVisualizerClass);
    info.class_init = pluginClassInit;
    info.class_data = description;
    info.instance_size = sizeof(LumVisualizer);
    const GType type = g_type_register_static(baseType(), description->typeName.c_str(), &info, static_cast<GTypeFlags>(0));
    return gst_element_register(plugin, description->factory.c_str(), GST_RANK_NONE, type);
}

}  // namespace lumgst
