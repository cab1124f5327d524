// The element in pipelines as people run them, judged at the sink: a plug-in
// slower than the frame rate in a live pipeline stays within a few frames of
// its sound and drops blocks, in one that is not live it drops none; one that
// hangs gives a warning and black frames, and the pipeline still stops at
// once; one that cannot be loaded at all is an error.
#include <gst/app/gstappsink.h>
#include <gst/check/gstharness.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "element_support.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr GstClockTime period = GST_SECOND / 30;

// One folder of plug-ins for the whole program: the paced test plug-in,
// registered in a registry of its own.
class ElementLive : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        scratch_ = new hosttest::Scratch;
        std::filesystem::copy_file(PACED_PLUGIN_PATH, scratch_->path("paced.lum"));
        std::filesystem::copy_file(PACED_PLUGIN_PATH, scratch_->path("vanishing.lum"));
        gsttest::startGstreamer({"LUM_PATH=" + scratch_->dir().string(), "GST_REGISTRY=" + scratch_->path("registry.bin")});
    }
    static void TearDownTestSuite() {
        delete scratch_;
        scratch_ = nullptr;
    }
    static hosttest::Scratch* scratch_;
};
hosttest::Scratch* ElementLive::scratch_ = nullptr;

// What one frame at the sink shows.
struct Frame {
    GstClockTime pts;
    GstClockTime arrived;  // the pipeline's running time when it came
    uint32_t drawn;        // the paced plug-in's pixel 0: frames drawn in its run (0: a black frame)
    bool lit;
};

struct Pipeline {
    GstElement* pipeline = nullptr;
    GstElement* sink = nullptr;
    explicit Pipeline(const std::string& description) {
        GError* error = nullptr;
        pipeline = gst_parse_launch(description.c_str(), &error);
        EXPECT_NE(pipeline, nullptr) << (error != nullptr ? error->message : "");
        if (error != nullptr) g_error_free(error);
        if (pipeline != nullptr) sink = gst_bin_get_by_name(GST_BIN(pipeline), "out");
    }
    ~Pipeline() {
        if (pipeline == nullptr) return;
        gst_element_set_state(pipeline, GST_STATE_NULL);
        if (sink != nullptr) gst_object_unref(sink);
        gst_object_unref(pipeline);
    }
    bool play() const { return gst_element_set_state(pipeline, GST_STATE_PLAYING) != GST_STATE_CHANGE_FAILURE; }
    GstClockTime runningTime() const {
        GstClock* clock = gst_element_get_clock(pipeline);
        if (clock == nullptr) return GST_CLOCK_TIME_NONE;
        const GstClockTime now = gst_clock_get_time(clock);
        gst_object_unref(clock);
        return now - gst_element_get_base_time(pipeline);
    }
    // The next frame, or nothing within `wait` (or at the end).
    std::optional<Frame> pull(GstClockTime wait = 5 * GST_SECOND) const {
        GstSample* sample = gst_app_sink_try_pull_sample(GST_APP_SINK(sink), wait);
        if (sample == nullptr) return std::nullopt;
        const GstClockTime arrived = runningTime();
        GstBuffer* buffer = gst_sample_get_buffer(sample);
        GstMapInfo map;
        gst_buffer_map(buffer, &map, GST_MAP_READ);
        Frame frame{GST_BUFFER_PTS(buffer), arrived, 0, false};
        std::memcpy(&frame.drawn, map.data, sizeof frame.drawn);
        frame.lit = gsttest::anyLit(std::string(reinterpret_cast<const char*>(map.data), map.size));
        gst_buffer_unmap(buffer, &map);
        gst_sample_unref(sample);
        return frame;
    }
    // The first message of `type` on the bus within `wait`.
    GstMessage* message(GstMessageType type, GstClockTime wait) const {
        GstBus* bus = gst_element_get_bus(pipeline);
        GstMessage* found = gst_bus_timed_pop_filtered(bus, wait, type);
        gst_object_unref(bus);
        return found;
    }
};

const std::string video = " ! video/x-raw,format=BGRx,width=8,height=2,framerate=30/1 ! appsink name=out sync=false";

// 50 ms a frame at 30 fps: a frame and a half a frame.
TEST_F(ElementLive, ASlowPluginInALivePipelineStaysWithinAFewFramesOfItsSound) {
    Pipeline p("audiotestsrc is-live=true samplesperbuffer=441 ! audio/x-raw,rate=44100,channels=1 ! lum_paced sleep=50" + video);
    ASSERT_TRUE(p.play());
    std::vector<Frame> frames;
    const auto begin = Clock::now();
    while (Clock::now() - begin < std::chrono::milliseconds(2500))
        if (auto frame = p.pull()) frames.push_back(*frame);
        else break;
    ASSERT_GE(frames.size(), 20u);
    bool skipped = false;
    for (std::size_t i = 0; i < frames.size(); ++i) {
        SCOPED_TRACE("frame " + std::to_string(i));
        EXPECT_TRUE(frames[i].lit);
        // Shown no more than a few frames after its sound: the frame's own
        // period, a frame being drawn before it, its own drawing, and room.
        EXPECT_LE(frames[i].arrived, frames[i].pts + 8 * period);
        if (i > 0) {
            EXPECT_GT(frames[i].pts, frames[i - 1].pts);
            skipped = skipped || frames[i].pts - frames[i - 1].pts > period + period / 2;
        }
    }
    // Blocks were dropped to keep up: the frames' times skip some.
    EXPECT_TRUE(skipped);
    EXPECT_EQ(p.message(GST_MESSAGE_ERROR, 0), nullptr);
}

TEST_F(ElementLive, ASlowPluginInAPipelineThatIsNotLiveDropsNothing) {
    const int blocks = 15;
    Pipeline p("audiotestsrc num-buffers=" + std::to_string(blocks) +
               " samplesperbuffer=1470 ! audio/x-raw,rate=44100,channels=1 ! lum_paced sleep=50" + video);
    ASSERT_TRUE(p.play());
    std::vector<Frame> frames;
    while (auto frame = p.pull()) frames.push_back(*frame);
    ASSERT_EQ(frames.size(), static_cast<std::size_t>(blocks));
    for (std::size_t i = 0; i < frames.size(); ++i) {
        EXPECT_EQ(frames[i].drawn, i + 1) << "frame " << i;
        EXPECT_EQ(frames[i].pts, gst_util_uint64_scale_int(i, GST_SECOND, 30)) << "frame " << i;
    }
}

// Hung at its fifth frame: after the hang is noticed, one warning and black
// frames at the frame rate; the pipeline stops at once.
TEST_F(ElementLive, AHungPluginGivesAWarningAndBlackFramesAndThePipelineStillStops) {
    Pipeline p("audiotestsrc is-live=true samplesperbuffer=441 ! audio/x-raw,rate=44100,channels=1 ! lum_paced hang-at=5" + video);
    ASSERT_TRUE(p.play());
    GstMessage* warning = p.message(GST_MESSAGE_WARNING, 10 * GST_SECOND);
    ASSERT_NE(warning, nullptr);
    GError* error = nullptr;
    gst_message_parse_warning(warning, &error, nullptr);
    EXPECT_NE(std::string(error->message).find("did not return"), std::string::npos) << error->message;
    g_error_free(error);
    gst_message_unref(warning);
    // Past the four frames drawn before it hung, black frames follow, in time.
    std::vector<Frame> frames;
    while (frames.size() < 30)
        if (auto frame = p.pull(2 * GST_SECOND)) frames.push_back(*frame);
        else break;
    ASSERT_EQ(frames.size(), 30u);
    int drawn = 0;
    for (const auto& frame : frames) drawn += frame.lit ? 1 : 0;
    EXPECT_EQ(drawn, 4);
    // The black frames start where the hang was noticed (the frames of the
    // sound heard meanwhile would all be late), then keep the frame rate.
    for (std::size_t i = 4; i < frames.size(); ++i) {
        EXPECT_FALSE(frames[i].lit) << "frame " << i;
        EXPECT_LE(frames[i].arrived, frames[i].pts + 4 * period) << "frame " << i;
        if (i > 4) {
            // A frame period, rounded to the nanosecond.
            EXPECT_NEAR(static_cast<double>(frames[i].pts - frames[i - 1].pts), static_cast<double>(period), 1.0) << "frame " << i;
        }
    }
    EXPECT_EQ(p.message(GST_MESSAGE_WARNING, 0), nullptr) << "one warning for one failure";
    EXPECT_EQ(p.message(GST_MESSAGE_ERROR, 0), nullptr);
    const auto begin = Clock::now();
    gst_element_set_state(p.pipeline, GST_STATE_NULL);
    EXPECT_LT(Clock::now() - begin, std::chrono::milliseconds(1500));
}

// Hung, and not yet noticed: stopping the pipeline leaves the plug-in to itself.
TEST_F(ElementLive, StoppingWhileThePluginHangsReturnsWithinASecond) {
    Pipeline p("audiotestsrc is-live=true samplesperbuffer=441 ! audio/x-raw,rate=44100,channels=1 ! lum_paced hang-at=3" + video);
    ASSERT_TRUE(p.play());
    ASSERT_TRUE(p.pull().has_value());
    g_usleep(500000);
    const auto begin = Clock::now();
    gst_element_set_state(p.pipeline, GST_STATE_NULL);
    EXPECT_LT(Clock::now() - begin, std::chrono::milliseconds(1500));
}

// Driven on its own, as a test harness drives it (sound without timestamps,
// a frame pulled after each buffer): a plug-in that hangs at its 30th frame
// gives one warning, and every buffer still gives its frame, black from then on.
TEST_F(ElementLive, AHungPluginStillGivesAFrameForEveryBlockWhenNotLive) {
    gsttest::ElementHarness harness("lum_paced hang-at=30", 8, 2);
    const auto frames = harness.silentFrames(40);
    ASSERT_EQ(frames.size(), 40u);
    for (std::size_t i = 0; i < frames.size(); ++i) {
        EXPECT_EQ(gsttest::anyLit(frames[i].bytes), i < 29) << "frame " << i;
        EXPECT_EQ(frames[i].pts, gst_util_uint64_scale_int(i, GST_SECOND, 30)) << "frame " << i;
    }
    GstMessage* warning = gst_bus_pop_filtered(harness.bus, GST_MESSAGE_WARNING);
    ASSERT_NE(warning, nullptr);
    gst_message_unref(warning);
    EXPECT_EQ(gst_bus_pop_filtered(harness.bus, GST_MESSAGE_WARNING), nullptr);
    EXPECT_EQ(gst_bus_pop_filtered(harness.bus, GST_MESSAGE_ERROR), nullptr);
}

// The plug-in's file gone since it was registered: the element cannot run at all.
TEST_F(ElementLive, APluginThatCannotBeLoadedAtAllIsAnError) {
    Pipeline p("audiotestsrc num-buffers=5 ! lum_vanishing" + video);
    ASSERT_NE(p.pipeline, nullptr);
    std::filesystem::remove(scratch_->path("vanishing.lum"));
    EXPECT_EQ(gst_element_set_state(p.pipeline, GST_STATE_PLAYING), GST_STATE_CHANGE_FAILURE);
    GstMessage* failure = p.message(GST_MESSAGE_ERROR, GST_SECOND);
    ASSERT_NE(failure, nullptr);
    gst_message_unref(failure);
}

}  // namespace
