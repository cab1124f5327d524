#include "gst/lum_visualizer.h"

#include <gst/audio/audio.h>
#include <gst/video/video.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "gst/sample_format.h"
#include "live/live_run.h"
#include "loading/bridge/bridge_client.h"
#include "loading/plugins/plugin_file.h"
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

// What one element holds besides its GObject: its settings, the live run
// that draws for it, and what it has sent downstream.
//
// Three threads meet here: the application's (properties, state changes),
// the streaming thread (sound, caps, events) and the run's (pictures,
// failures). The plug-in draws on the run's thread, so a slow or hung
// plug-in never holds the streaming thread of a live pipeline, and frames
// are pushed from there. They keep their place among the streaming thread's
// events: caps and the segment go downstream before the sound a frame is
// drawn from reaches the run; after a flush or a new segment the run is
// restarted before the event goes on, and no picture of the run before
// follows it; EOS goes after the last frame, and nothing after it.
struct ElementState {
    const PluginDescription* plugin = nullptr;
    GstElement* element = nullptr;
    GstPad* sinkpad = nullptr;
    GstPad* srcpad = nullptr;

    // Settings and the run; held briefly, never while waiting on the run.
    std::mutex lock;
    std::vector<int32_t> values;        // by property, as last set
    std::vector<std::size_t> setOrder;  // properties the application set, in order
    std::shared_ptr<lumlive::LiveRun> run;
    bool stopped = true;                // below PAUSED: no run starts

    // The streaming thread's own.
    GstAudioInfo audio{};
    bool haveAudio = false;
    lumrules::SampleFormat sampleFormat = lumrules::SampleFormat::f32;
    bool runDue = true;  // the sound or the frame rate changed: a new run
    bool live = false;   // the run's pipeline is live: late blocks are dropped
    // Sound without timestamps goes on from the last that had one (or the
    // segment's start), `counted` sample frames later.
    GstClockTime stamped = GST_CLOCK_TIME_NONE;
    guint64 counted = 0;

    // What goes downstream, from the streaming thread or the run's.
    std::mutex pushLock;
    GstVideoInfo video{};
    bool haveVideo = false;
    GstBufferPool* pool = nullptr;
    bool ended = false;                    // EOS sent: nothing until a flush or a new stream
    GstFlowReturn lastFlow = GST_FLOW_OK;  // the run's last push that failed, for the streaming thread
    bool showingNothing = false;           // the plug-in failed: black frames until it draws again
    GstClockTime blackNext = GST_CLOCK_TIME_NONE;  // the next black frame's time
    GstClockTime lastEnd = GST_CLOCK_TIME_NONE;    // the end of the last frame sent
    GstClockTime gridStart = GST_CLOCK_TIME_NONE;  // the run's first frame's time
    std::atomic<GstClockTime> frameLatency{0};  // one frame period, once negotiated

    std::mutex noteLock;
    std::string lastWarning;  // the run's last warning line

    // The input segment, for the run's present on the pipeline's clock (any thread).
    std::mutex segmentLock;
    GstSegment segment{};
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

// A call into the plug-in that takes longer than this is a hang. A Windows
// module's bridge gives up on a call sooner, and says which entry point hung.
lumlive::Nanoseconds hangAfter(const PluginDescription& plugin) {
    if (plugin.probe.windows) return std::chrono::seconds(lumhost::answerSeconds + 1);
    return std::chrono::seconds(5);
}
// The streaming thread of a pipeline that is not live waits no longer for a
// frame (a hung plug-in has been let go by then).
lumlive::Nanoseconds longestWait(const PluginDescription& plugin) { return hangAfter(plugin) + std::chrono::seconds(1); }

std::shared_ptr<lumlive::LiveRun> currentRun(ElementState& s) {
    std::lock_guard guard(s.lock);
    return s.run;
}

// ---- settings

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
    std::lock_guard lock(s.lock);
    s.values[index] = setting;
    s.setOrder.erase(std::remove(s.setOrder.begin(), s.setOrder.end(), index), s.setOrder.end());
    s.setOrder.push_back(index);
    // The run sends it before its next frame; it never waits for the plug-in.
    if (s.run) s.run->set(properties[index].probed.param.id, setting);
}

void getProperty(GObject* object, guint propertyId, GValue* value, GParamSpec* pspec) {
    auto& s = stateOf(object);
    if (propertyId == 0 || propertyId > s.plugin->properties.size()) {
        G_OBJECT_WARN_INVALID_PROPERTY_ID(object, propertyId, pspec);
        return;
    }
    int32_t setting = 0;
    {
        std::lock_guard lock(s.lock);
        setting = s.values[propertyId - 1];
    }
    if (G_VALUE_HOLDS_BOOLEAN(value))
        g_value_set_boolean(value, setting != 0);
    else if (G_VALUE_HOLDS_UINT(value))
        g_value_set_uint(value, static_cast<guint>(setting));
    else
        g_value_set_int(value, setting);
}

// ---- frames downstream (with pushLock held)

GstClockTime framePeriod(const ElementState& s) {
    return gst_util_uint64_scale_int(GST_SECOND, GST_VIDEO_INFO_FPS_D(&s.video), GST_VIDEO_INFO_FPS_N(&s.video));
}

// A frame from the pool: the canvas's rows copied in, or black without one.
GstBuffer* newFrame(ElementState& s, const uint32_t* pixels) {
    GstBuffer* out = nullptr;
    if (gst_buffer_pool_acquire_buffer(s.pool, &out, nullptr) != GST_FLOW_OK) return nullptr;
    GstVideoFrame frame;
    if (!gst_video_frame_map(&frame, &s.video, out, GST_MAP_WRITE)) {
        gst_buffer_unref(out);
        return nullptr;
    }
    auto* data = static_cast<guint8*>(GST_VIDEO_FRAME_PLANE_DATA(&frame, 0));
    const int stride = GST_VIDEO_FRAME_PLANE_STRIDE(&frame, 0);
    const int width = GST_VIDEO_FRAME_WIDTH(&frame);
    const int height = GST_VIDEO_FRAME_HEIGHT(&frame);
    const auto rowBytes = static_cast<std::size_t>(width) * 4;
    for (int y = 0; y < height; ++y) {
        guint8* row = data + static_cast<std::ptrdiff_t>(y) * stride;
        if (pixels != nullptr)
            std::memcpy(row, pixels + static_cast<std::ptrdiff_t>(y) * width, rowBytes);
        else
            std::memset(row, 0, rowBytes);
    }
    gst_video_frame_unmap(&frame);
    return out;
}

// Pushes a frame at `start`, numbered `frame` in its run (-1: a black one).
void pushFrame(ElementState& s, GstBuffer* out, GstClockTime start, int64_t frame) {
    const GstClockTime period = framePeriod(s);
    GST_BUFFER_PTS(out) = start;
    GST_BUFFER_DURATION(out) = period;
    GST_BUFFER_OFFSET(out) = frame >= 0 ? static_cast<guint64>(frame) : GST_BUFFER_OFFSET_NONE;
    if (frame == 0) GST_BUFFER_FLAG_SET(out, GST_BUFFER_FLAG_DISCONT);
    s.lastEnd = start + period;
    const GstFlowReturn result = gst_pad_push(s.srcpad, out);
    if (result != GST_FLOW_OK) s.lastFlow = result;
}

// The first frame time at or after `from` on the run's frame grid (from its
// first frame), where a drawn frame's would be.
GstClockTime onGrid(const ElementState& s, GstClockTime from) {
    if (from <= s.gridStart) return s.gridStart;
    const auto num = static_cast<guint64>(GST_VIDEO_INFO_FPS_N(&s.video));
    const auto den = static_cast<guint64>(GST_VIDEO_INFO_FPS_D(&s.video));
    const guint64 frame = gst_util_uint64_scale_ceil(from - s.gridStart, num, GST_SECOND * den);
    return s.gridStart + gst_util_uint64_scale(frame, GST_SECOND * den, num);
}

// Black frames for the sound up to `end` while the plug-in shows nothing.
// Streaming thread.
void showNothing(ElementState& s, GstClockTime start, GstClockTime end) {
    std::lock_guard guard(s.pushLock);
    if (!s.showingNothing || s.ended || !s.haveVideo || s.pool == nullptr) return;
    // From the last frame sent, or from this sound if that is long past (in a
    // live pipeline the frames of a hang's time would all be late).
    if (!GST_CLOCK_TIME_IS_VALID(s.blackNext) || s.blackNext + 4 * framePeriod(s) < start) s.blackNext = start;
    if (!GST_CLOCK_TIME_IS_VALID(s.gridStart)) s.gridStart = start;
    // A frame for each period the sound has mostly covered.
    for (GstClockTime at; (at = onGrid(s, s.blackNext)) + framePeriod(s) / 2 < end;) {
        GstBuffer* out = newFrame(s, nullptr);
        if (out == nullptr) return;
        s.blackNext = at + 1;
        GST_LOG_OBJECT(s.element, "black frame at %" GST_TIME_FORMAT, GST_TIME_ARGS(at));
        pushFrame(s, out, at, -1);
    }
}

// ---- the run's callbacks (the run's threads, one at a time)

void onPicture(ElementState& s, const lumlive::Picture& picture) {
    std::lock_guard guard(s.pushLock);
    // Drawn before downstream took a new size: the next one has it.
    if (s.ended || !s.haveVideo || s.pool == nullptr || picture.width != GST_VIDEO_INFO_WIDTH(&s.video) ||
        picture.height != GST_VIDEO_INFO_HEIGHT(&s.video))
        return;
    GstBuffer* out = newFrame(s, picture.pixels);
    if (out == nullptr) {
        s.lastFlow = GST_PAD_IS_FLUSHING(s.srcpad) ? GST_FLOW_FLUSHING : GST_FLOW_ERROR;
        return;
    }
    s.showingNothing = false;
    s.blackNext = GST_CLOCK_TIME_NONE;
    if (picture.frame == 0) s.gridStart = static_cast<GstClockTime>(std::max<int64_t>(0, picture.date));
    pushFrame(s, out, static_cast<GstClockTime>(std::max<int64_t>(0, picture.date)), picture.frame);
}

void onNothing(ElementState& s) {
    std::string line;
    {
        std::lock_guard guard(s.pushLock);
        s.showingNothing = true;
        s.blackNext = s.lastEnd;
    }
    {
        std::lock_guard guard(s.noteLock);
        line = s.lastWarning;
    }
    // Once for each failure; the frames go on, black, until it draws again.
    GST_ELEMENT_WARNING(s.element, LIBRARY, FAILED, ("%s", line.c_str()), ("plug-in %s", s.plugin->file.c_str()));
}

void onLog(ElementState& s, lumlive::LogLevel level, const std::string& line) {
    if (level == lumlive::LogLevel::info) {
        GST_INFO_OBJECT(s.element, "%s", line.c_str());
        return;
    }
    GST_WARNING_OBJECT(s.element, "%s", line.c_str());
    std::lock_guard guard(s.noteLock);
    s.lastWarning = line;
}

// The pipeline's present on the input's timeline: the running time of its
// clock placed in the segment. Nothing (0: no block is behind it) without a
// clock or a segment in time.
int64_t presentOf(ElementState& s) {
    GstClock* clock = gst_element_get_clock(s.element);
    if (clock == nullptr) return 0;
    const GstClockTime now = gst_clock_get_time(clock);
    gst_object_unref(clock);
    const GstClockTime base = gst_element_get_base_time(s.element);
    if (!GST_CLOCK_TIME_IS_VALID(now) || !GST_CLOCK_TIME_IS_VALID(base) || now < base) return 0;
    std::lock_guard guard(s.segmentLock);
    if (s.segment.format != GST_FORMAT_TIME) return 0;
    const guint64 position = gst_segment_position_from_running_time(&s.segment, GST_FORMAT_TIME, now - base);
    return GST_CLOCK_TIME_IS_VALID(position) ? static_cast<int64_t>(position) : 0;
}

// ---- the run

// Lets the run go; returns within about a second whatever the plug-in does.
void stopRun(ElementState& s) {
    std::shared_ptr<lumlive::LiveRun> run;
    {
        std::lock_guard guard(s.lock);
        run = std::move(s.run);
    }
    if (run) run->stop();
}

// Asks upstream whether the pipeline is live, and its latency.
bool upstreamLive(ElementState& s, GstClockTime* latency) {
    GstQuery* query = gst_query_new_latency();
    gboolean live = FALSE;
    GstClockTime low = 0, high = 0;
    if (gst_pad_peer_query(s.sinkpad, query)) gst_query_parse_latency(query, &live, &low, &high);
    gst_query_unref(query);
    *latency = GST_CLOCK_TIME_IS_VALID(low) ? low : 0;
    return live;
}

// Whether the element plays in a pipeline, whose clock gives the present a
// live run keeps up with. An element driven on its own (a test harness, which
// calls itself live, hands over sound and waits for each frame) is not live.
bool inPipeline(GstElement* element) {
    auto* top = static_cast<GstObject*>(gst_object_ref(element));
    for (GstObject* parent; (parent = gst_object_get_parent(top)) != nullptr;) {
        gst_object_unref(top);
        top = parent;
    }
    const bool pipeline = GST_IS_PIPELINE(top);
    gst_object_unref(top);
    return pipeline;
}

// A new run for the sound's and the frames' rates (streaming thread). The
// plug-in is loaded on the run's thread, with the settings the application
// made so far, in the order it made them.
bool startRun(ElementState& s) {
    stopRun(s);
    lumlive::Options o;
    o.pluginFile = s.plugin->file;
    o.rate = GST_AUDIO_INFO_RATE(&s.audio);
    o.channels = GST_AUDIO_INFO_CHANNELS(&s.audio);
    // The downmix takes each channel by where the caps say it stands.
    o.positions = channelPositionsOf(s.audio);
    o.fpsNum = GST_VIDEO_INFO_FPS_N(&s.video);
    o.fpsDen = GST_VIDEO_INFO_FPS_D(&s.video);
    o.width = GST_VIDEO_INFO_WIDTH(&s.video);
    o.height = GST_VIDEO_INFO_HEIGHT(&s.video);
    GstClockTime latency = 0;
    s.live = upstreamLive(s, &latency) && inPipeline(s.element);
    o.live = s.live;
    // Behind: a block whose sound is more than two frames and upstream's
    // latency before the pipeline clock's present.
    o.maxBehind = lumlive::Nanoseconds(static_cast<int64_t>(2 * gst_util_uint64_scale_int(GST_SECOND, o.fpsDen, o.fpsNum) + latency));
    o.now = [state = &s] { return presentOf(*state); };
    o.hangAfter = hangAfter(*s.plugin);
    o.onPicture = [state = &s](const lumlive::Picture& picture) { onPicture(*state, picture); };
    o.onNothing = [state = &s](int, int) { onNothing(*state); };
    o.log = [state = &s](lumlive::LogLevel level, const std::string& line) { onLog(*state, level, line); };
    GST_DEBUG_OBJECT(s.element, "a %s run at %d Hz, %d/%d fps", s.live ? "live" : "non-live", o.rate, o.fpsNum, o.fpsDen);
    {
        std::lock_guard guard(s.pushLock);
        s.showingNothing = false;
        s.blackNext = GST_CLOCK_TIME_NONE;
        s.gridStart = GST_CLOCK_TIME_NONE;
    }
    std::lock_guard guard(s.lock);
    if (s.stopped) return false;
    for (const auto index : s.setOrder) o.settings.emplace_back(s.plugin->properties[index].probed.param.id, s.values[index]);
    s.run = std::make_shared<lumlive::LiveRun>(std::move(o));
    s.runDue = false;
    s.stamped = GST_CLOCK_TIME_NONE;
    return true;
}

// A new trail: a flush, a new segment or a new stream (streaming thread).
void restartRun(ElementState& s) {
    if (auto run = currentRun(s)) run->restart();
    s.stamped = GST_CLOCK_TIME_NONE;
}

// ---- caps and buffers

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

    GstBufferPool* pool = gst_video_buffer_pool_new();
    GstStructure* config = gst_buffer_pool_get_config(pool);
    gst_buffer_pool_config_set_params(config, caps, static_cast<guint>(GST_VIDEO_INFO_SIZE(&video)), 2, 0);
    gst_caps_unref(caps);
    if (!gst_buffer_pool_set_config(pool, config) || !gst_buffer_pool_set_active(pool, TRUE)) {
        gst_object_unref(pool);
        return false;
    }
    bool newRate = false, newSize = false;
    {
        std::lock_guard guard(s.pushLock);
        newRate = !s.haveVideo || GST_VIDEO_INFO_FPS_N(&video) != GST_VIDEO_INFO_FPS_N(&s.video) ||
                  GST_VIDEO_INFO_FPS_D(&video) != GST_VIDEO_INFO_FPS_D(&s.video);
        newSize = GST_VIDEO_INFO_WIDTH(&video) != GST_VIDEO_INFO_WIDTH(&s.video) ||
                  GST_VIDEO_INFO_HEIGHT(&video) != GST_VIDEO_INFO_HEIGHT(&s.video);
        dropPool(s);
        s.pool = pool;
        s.video = video;
        s.haveVideo = true;
    }
    s.frameLatency = gst_util_uint64_scale_int_ceil(GST_SECOND, GST_VIDEO_INFO_FPS_D(&video), GST_VIDEO_INFO_FPS_N(&video));
    // Blocks are cut at the frame rate: a new one begins a new run. A new
    // size goes on with the figure, on a black canvas.
    if (newRate) s.runDue = true;
    if (newSize && !newRate)
        if (auto run = currentRun(s)) run->resize(GST_VIDEO_INFO_WIDTH(&video), GST_VIDEO_INFO_HEIGHT(&video));
    return true;
}

GstFlowReturn takeFlow(ElementState& s) {
    std::lock_guard guard(s.pushLock);
    return std::exchange(s.lastFlow, GST_FLOW_OK);
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
    auto run = currentRun(s);
    if (!run || s.runDue) {
        // Blocks are cut at the negotiated frame rate: one above the sample rate would leave some without sound.
        const int rate = GST_AUDIO_INFO_RATE(&s.audio), fpsN = GST_VIDEO_INFO_FPS_N(&s.video), fpsD = GST_VIDEO_INFO_FPS_D(&s.video);
        if (!lumrules::frameRateFits(rate, fpsN, fpsD)) {
            GST_ELEMENT_ERROR(element, CORE, NEGOTIATION, ("framerate: %s", lumrules::frameRateTooHigh(rate, fpsN, fpsD).c_str()), (nullptr));
            gst_buffer_unref(buffer);
            return GST_FLOW_ERROR;
        }
        if (!startRun(s)) {
            gst_buffer_unref(buffer);
            return GST_FLOW_FLUSHING;
        }
        run = currentRun(s);
    }
    const int rate = GST_AUDIO_INFO_RATE(&s.audio);
    if (GST_BUFFER_PTS_IS_VALID(buffer)) {
        s.stamped = GST_BUFFER_PTS(buffer);
        s.counted = 0;
    } else if (!GST_CLOCK_TIME_IS_VALID(s.stamped)) {
        std::lock_guard guard(s.segmentLock);
        s.stamped = s.segment.format == GST_FORMAT_TIME ? s.segment.start : 0;
        s.counted = 0;
    }
    const GstClockTime start = s.stamped + gst_util_uint64_scale_int(s.counted, GST_SECOND, rate);
    // Controlled properties follow the stream's time.
    gst_object_sync_values(GST_OBJECT(element), start);
    GstMapInfo map;
    if (!gst_buffer_map(buffer, &map, GST_MAP_READ)) {
        gst_buffer_unref(buffer);
        GST_ELEMENT_ERROR(element, STREAM, FAILED, ("cannot read a sound buffer"), (nullptr));
        return GST_FLOW_ERROR;
    }
    const auto frames = map.size / static_cast<std::size_t>(GST_AUDIO_INFO_BPF(&s.audio));
    run->pushInterleaved(map.data, frames, s.sampleFormat, static_cast<int64_t>(start));
    gst_buffer_unmap(buffer, &map);
    gst_buffer_unref(buffer);
    s.counted += frames;
    const GstClockTime end = s.stamped + gst_util_uint64_scale_int(s.counted, GST_SECOND, rate);
    // Not live: every frame of this sound is downstream before more is taken,
    // as a file's frames must all be drawn (and a hung plug-in lets go after
    // `hangAfter`). Live: the run keeps up on its own.
    if (!s.live) run->waitDrawn(longestWait(*s.plugin));
    showNothing(s, start, end);
    return takeFlow(s);
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
        s.runDue = true;
    s.audio = audio;
    s.sampleFormat = *sampleFormatOf(GST_AUDIO_INFO_FORMAT(&audio));
    s.haveAudio = true;
    if (!negotiate(element, s)) gst_pad_mark_reconfigure(s.srcpad);
    return true;
}

// A flush or a new stream: frames go downstream again.
void reopen(ElementState& s) {
    std::lock_guard guard(s.pushLock);
    s.ended = false;
    s.lastFlow = GST_FLOW_OK;
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
            restartRun(s);
            reopen(s);
            break;
        case GST_EVENT_SEGMENT: {
            // A new segment, as after a seek, starts a new run.
            const GstSegment* segment = nullptr;
            gst_event_parse_segment(event, &segment);
            {
                std::lock_guard guard(s.segmentLock);
                gst_segment_copy_into(segment, &s.segment);
            }
            restartRun(s);
            if (segment->format != GST_FORMAT_TIME) {
                gst_event_unref(event);
                GstSegment time;
                gst_segment_init(&time, GST_FORMAT_TIME);
                return gst_pad_push_event(s.srcpad, gst_event_new_segment(&time));
            }
            break;
        }
        case GST_EVENT_FLUSH_STOP: {
            {
                std::lock_guard guard(s.segmentLock);
                gst_segment_init(&s.segment, GST_FORMAT_UNDEFINED);
            }
            restartRun(s);
            reopen(s);
            break;
        }
        case GST_EVENT_EOS:
            // The sound's short rest makes a last frame, as lumhost's does;
            // EOS follows the last frame, and nothing follows EOS.
            if (auto run = currentRun(s)) {
                run->drain();
                run->waitDrawn(longestWait(*s.plugin));
            }
            {
                std::lock_guard guard(s.pushLock);
                s.ended = true;
            }
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
    // The run keeps up with the sound itself (dropping blocks only in a live
    // pipeline), and late video says nothing to the sound upstream.
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
        // Read without pushLock: a push holds it while a sink prerolls, and
        // the pipeline asks for the latency before it plays.
        const GstClockTime frame = s.frameLatency;
        low += frame;
        if (GST_CLOCK_TIME_IS_VALID(high)) high += frame;
        gst_query_set_latency(query, live, low, high);
        return TRUE;
    }
    return gst_pad_query_default(pad, parent, query);
}

GstStateChangeReturn changeState(GstElement* element, GstStateChange transition) {
    auto& s = stateOf(element);
    switch (transition) {
        case GST_STATE_CHANGE_NULL_TO_READY: {
            // The plug-in itself is loaded by the run, off the application's
            // thread; a file that is gone, or is no plug-in, fails here.
            std::string why;
            try {
                if (lumhost::identifyPluginFile(s.plugin->file).kind == lumhost::PluginFileKind::other) why = "not a plug-in module";
            } catch (const std::exception& error) {
                why = error.what();
            }
            if (!why.empty()) {
                GST_ELEMENT_ERROR(element, LIBRARY, INIT, ("%s", why.c_str()), ("plug-in %s", s.plugin->file.c_str()));
                return GST_STATE_CHANGE_FAILURE;
            }
            break;
        }
        case GST_STATE_CHANGE_READY_TO_PAUSED: {
            {
                std::lock_guard guard(s.segmentLock);
                gst_segment_init(&s.segment, GST_FORMAT_UNDEFINED);
            }
            {
                std::lock_guard guard(s.lock);
                s.stopped = false;
            }
            s.runDue = true;
            reopen(s);
            break;
        }
        case GST_STATE_CHANGE_PAUSED_TO_READY: {
            // Before the pads stop, which waits for the streaming thread: the
            // run lets it go at once, and returns within a second even if the
            // plug-in hangs.
            {
                std::lock_guard guard(s.lock);
                s.stopped = true;
            }
            stopRun(s);
            break;
        }
        default: break;
    }
    const GstStateChangeReturn result = parentClass->change_state(element, transition);
    if (result == GST_STATE_CHANGE_FAILURE) return result;
    if (transition == GST_STATE_CHANGE_PAUSED_TO_READY) {
        std::lock_guard guard(s.pushLock);
        dropPool(s);
        s.haveVideo = false;
        s.haveAudio = false;
        s.showingNothing = false;
        s.lastEnd = GST_CLOCK_TIME_NONE;
        s.frameLatency = 0;
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
    s.element = element;
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
    stopRun(*self->state);
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
