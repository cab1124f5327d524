// The element's frames against lumhost's own: byte for byte from a WAV file,
// blocks cut as lumhost cuts them, settings live, one figure per element, a
// new run after a seek.
#include <gst/app/gstappsink.h>
#include <gst/check/gstharness.h>
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <string>
#include <vector>

#include "element_support.h"
#include "sound_files.h"
#include "rules/block_cutter.h"

namespace {

using gsttest::TimedSetting;

class ElementFrames : public ::testing::Test {
protected:
    static void SetUpTestSuite() { gsttest::startGstreamer(); }
};

struct Case {
    int width, height, fps;
    std::vector<std::string> sets;   // lumhost's --set
    std::string properties;          // the same as element properties
};

// gst-launch-1.0 filesrc ! wavparse ! lum_gyrotrail ! caps gives lumhost's raw frames, every byte.
TEST_F(ElementFrames, LaunchLineGivesLumhostsRawFramesAtTwoSizesAndTwoRates) {
    hosttest::Scratch scratch;
    const auto sound = scratch.path("swing.wav");
    gsttest::writeSwingSound(sound, 44100, 2.3);
    const std::vector<Case> cases = {
        {320, 240, 30, {"zoom-factor=2", "line-width=3"}, "zoom-factor=2 line-width=3"},
        // 44100 / 24 is 1837.5 sample frames a frame: the half is carried.
        {161, 97, 24, {"zoom-factor=3", "color=0x0000C0FF", "line-length=12", "fade-out=off"},
         "zoom-factor=3 color=0x0000C0FF line-length=12 fade-out=false"},
        {161, 97, 30, {"rotation-speed=0", "zoom-factor=2", "line-width=1"}, "rotation-speed=0 zoom-factor=2 line-width=1"},
        {320, 240, 24, {"line-length=30", "zoom-factor=4", "line-width=50"}, "line-length=30 zoom-factor=4 line-width=50"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.width) + "x" + std::to_string(c.height) + "@" + std::to_string(c.fps) + " " + c.properties);
        const auto expected = gsttest::lumhostFrames(scratch, sound, c.width, c.height, c.fps, c.sets);
        const auto frameBytes = static_cast<std::size_t>(c.width) * static_cast<std::size_t>(c.height) * 4;
        ASSERT_GT(expected.size(), frameBytes * 10);
        const auto out = scratch.path("element.raw");
        std::string errors;
        const int status = gsttest::launch("filesrc location=" + hosttest::quoted(sound) + " ! wavparse ! lum_gyrotrail " + c.properties +
                                               " ! video/x-raw,format=BGRx,width=" + std::to_string(c.width) + ",height=" +
                                               std::to_string(c.height) + ",framerate=" + std::to_string(c.fps) +
                                               "/1 ! filesink location=" + hosttest::quoted(out),
                                           &errors);
        ASSERT_EQ(status, 0) << errors;
        const auto actual = hosttest::readFile(out);
        ASSERT_EQ(actual.size(), expected.size()) << "frames: " << actual.size() / frameBytes << " against lumhost's " << expected.size() / frameBytes;
        for (std::size_t frame = 0; frame * frameBytes < expected.size(); ++frame)
            ASSERT_EQ(actual.compare(frame * frameBytes, frameBytes, expected, frame * frameBytes, frameBytes), 0) << "frame " << frame;
        EXPECT_TRUE(gsttest::anyLit(actual.substr(actual.size() - frameBytes)));
    }
}

// The element's frames of a WAV file at 120x90 and 25 fps, at a zoom factor,
// are `expected`, and show a figure.
void expectWavFrames(const std::string& file, const std::string& zoom, const std::string& expected) {
    const auto out = file + ".raw";
    std::string errors;
    ASSERT_EQ(gsttest::launch("filesrc location=" + file + " ! wavparse ! lum_gyrotrail zoom-factor=" + zoom +
                                  " ! video/x-raw,format=BGRx,width=120,height=90,framerate=25/1 ! filesink location=" + out,
                              &errors),
              0)
        << errors;
    const auto actual = hosttest::readFile(out);
    EXPECT_EQ(actual.size(), expected.size());
    EXPECT_TRUE(actual == expected) << "the frames differ";
    EXPECT_TRUE(gsttest::anyLit(actual));
}

// A frame rate above the sound's sample rate would give blocks without a
// sample: the element refuses it with one error naming both rates, as lumhost does.
TEST_F(ElementFrames, AFrameRateAboveTheSampleRateIsAnError) {
    const auto above = gsttest::runPipeline("audiotestsrc num-buffers=5 ! audio/x-raw,rate=100,channels=1 ! lum_gyrotrail"
                                            " ! video/x-raw,width=64,height=48,framerate=1000/1 ! fakesink");
    EXPECT_FALSE(above.ended);
    EXPECT_NE(above.error.find("a frame rate of 1000 per second is above the sound's 100 samples per second"), std::string::npos)
        << above.error;
    const auto atTheRate = gsttest::runPipeline("audiotestsrc num-buffers=5 ! audio/x-raw,rate=100,channels=1 ! lum_gyrotrail"
                                                " ! video/x-raw,width=64,height=48,framerate=100/1 ! fakesink");
    EXPECT_TRUE(atTheRate.ended) << atTheRate.error;
}

// Each sample format a WAV file may hold reaches the plug-in as lumhost's
// decoding path gives it: 8-bit, 24-bit and 32-bit integers, 32- and 64-bit
// floats, mono sound feeding both axes, and 5.1 mixed down by the one matrix
// both use.
TEST_F(ElementFrames, EverySampleFormatGivesLumhostsFrames) {
    hosttest::Scratch scratch;
    const auto sound = scratch.path("swing.wav");
    gsttest::writeSwingSound(sound, 22050, 1.2);
    const std::vector<std::pair<std::string, std::vector<std::string>>> formats = {
        {"u8", {"-c:a", "pcm_u8"}},       {"s24", {"-c:a", "pcm_s24le"}}, {"s32", {"-c:a", "pcm_s32le"}},
        {"f32", {"-c:a", "pcm_f32le"}},   {"f64", {"-c:a", "pcm_f64le"}}, {"mono", {"-ac", "1", "-c:a", "pcm_s16le"}},
        {"surround", {"-af", "pan=5.1|FL=c0|FR=c1|FC=0.5*c0+0.5*c1|LFE=c0|BL=0.8*c1|BR=0.6*c0", "-c:a", "pcm_s16le"}},
    };
    for (const auto& [name, codec] : formats) {
        SCOPED_TRACE(name);
        const auto file = scratch.path(name + ".wav");
        std::vector<std::string> args = {"-i", sound};
        args.insert(args.end(), codec.begin(), codec.end());
        args.push_back(file);
        ASSERT_TRUE(hosttest::runFfmpeg(args));
        // 8-bit sound needs a larger figure to show.
        const std::string zoom = name == "u8" ? "60" : "2";
        const auto expected = gsttest::lumhostFrames(scratch, file, 120, 90, 25, {"zoom-factor=" + zoom});
        expectWavFrames(file, zoom, expected);
    }
}

// Channels are mixed by the positions the caps give, in GStreamer's order:
// a quad file (front left and right, rear left and right) gives the frames of
// that mix, each rear channel at -3 dB into its own side, not those of 4.0's
// centre and back centre. lumhost makes a file's layout the usual one of its
// count first, so the reference is lumhost's frames of the quad mix written
// as a stereo float file.
TEST_F(ElementFrames, QuadSoundIsMixedByItsChannelPositions) {
    hosttest::Scratch scratch;
    const int rate = 22050;
    const long frames = rate;
    const auto swing = gsttest::swingSamples(rate, frames);
    // Rear left is the right swing and rear right the left: exact 16-bit values.
    const auto quadSample = [&](long frame, int channel) { return swing[static_cast<std::size_t>(2 * frame + (channel == 0 || channel == 3 ? 0 : 1))]; };
    std::vector<int16_t> pcm;
    for (long i = 0; i < frames; ++i)
        for (int c = 0; c < 4; ++c) pcm.push_back(static_cast<int16_t>(std::lround(quadSample(i, c) * 32768.0f)));
    const auto pcmFile = scratch.path("quad.s16"), quad = scratch.path("quad.wav");
    std::ofstream(pcmFile, std::ios::binary).write(reinterpret_cast<const char*>(pcm.data()), static_cast<std::streamsize>(pcm.size() * 2));
    ASSERT_TRUE(hosttest::runFfmpeg({"-f", "s16le", "-ar", std::to_string(rate), "-ch_layout", "quad", "-i", pcmFile, "-c:a", "pcm_s16le", quad}));

    const float minus3dB = static_cast<float>(M_SQRT1_2);
    std::vector<float> mixed;
    for (long i = 0; i < frames; ++i) {
        mixed.push_back(quadSample(i, 0) + minus3dB * quadSample(i, 2));
        mixed.push_back(quadSample(i, 1) + minus3dB * quadSample(i, 3));
    }
    const auto raw = scratch.path("mixed.f32"), stereo = scratch.path("mixed.wav");
    std::ofstream(raw, std::ios::binary).write(reinterpret_cast<const char*>(mixed.data()), static_cast<std::streamsize>(mixed.size() * sizeof(float)));
    ASSERT_TRUE(hosttest::runFfmpeg({"-f", "f32le", "-ar", std::to_string(rate), "-ac", "2", "-i", raw, "-c:a", "pcm_f32le", stereo}));
    const auto expected = gsttest::lumhostFrames(scratch, stereo, 120, 90, 25, {"zoom-factor=2"});

    expectWavFrames(quad, "2", expected);
}

// A harness around one element: stereo 16-bit sound in, frames of W x H at 30 fps out.
struct Harness {
    GstHarness* h;
    Harness(int width, int height, const char* properties = "") {
        h = gst_harness_new_parse((std::string("lum_gyrotrail ") + properties).c_str());
        gst_harness_play(h);
        gst_harness_set_sink_caps_str(h, ("video/x-raw,format=BGRx,width=" + std::to_string(width) + ",height=" + std::to_string(height) +
                                          ",framerate=30/1,pixel-aspect-ratio=1/1").c_str());
        gst_harness_set_src_caps_str(h, "audio/x-raw,format=S16LE,layout=interleaved,rate=44100,channels=2");
    }
    ~Harness() { gst_harness_teardown(h); }
    // The element itself, inside the bin that gst_harness_new_parse makes.
    GstElement* element() const { return gst_harness_find_element(h, "lum_gyrotrail"); }
    // Pushes the 16-bit samples of sample frames [from, to) of the swing sound.
    GstFlowReturn push(const std::vector<float>& samples, long from, long to) {
        std::vector<int16_t> pcm;
        for (long i = 2 * from; i < 2 * to; ++i) pcm.push_back(static_cast<int16_t>(samples[static_cast<std::size_t>(i)] * 32768.0f));
        GstBuffer* buffer = gst_buffer_new_memdup(pcm.data(), pcm.size() * sizeof(int16_t));
        GST_BUFFER_PTS(buffer) = gst_util_uint64_scale_int(static_cast<guint64>(from), GST_SECOND, 44100);
        return gst_harness_push(h, buffer);
    }
    std::string pull() {
        GstBuffer* buffer = gst_harness_pull(h);
        if (buffer == nullptr) return {};
        GstMapInfo map;
        gst_buffer_map(buffer, &map, GST_MAP_READ);
        std::string bytes(reinterpret_cast<const char*>(map.data), map.size);
        gst_buffer_unmap(buffer, &map);
        gst_buffer_unref(buffer);
        return bytes;
    }
};

// The blocks of the swing sound at 30 fps, 1470 sample frames each, as lumhost cuts them.
std::vector<std::vector<int8_t>> swingBlocks(const std::vector<float>& samples, int count) {
    std::vector<std::vector<int8_t>> blocks(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i)
        lumrules::makeSoundBlock(samples.data() + 2 * 1470 * i, 1470, 2, lumrules::BlockLayout::planar, blocks[static_cast<std::size_t>(i)]);
    return blocks;
}

TEST_F(ElementFrames, PropertyChangedWhilePlayingShowsInTheNextFrame) {
    const int frames = 12;
    const auto samples = gsttest::swingSamples(44100, 1470L * frames);
    const auto blocks = swingBlocks(samples, frames);
    Harness harness(200, 150, "zoom-factor=2");
    std::vector<std::string> got;
    for (int i = 0; i < frames; ++i) {
        if (i == 6) {
            GstElement* element = harness.element();
            g_object_set(element, "color", 0x0000FF00u, "line-width", 7, "line-length", 3, nullptr);
            gst_object_unref(element);
        }
        ASSERT_EQ(harness.push(samples, 1470L * i, 1470L * (i + 1)), GST_FLOW_OK);
        got.push_back(harness.pull());
    }
    const auto changed = gsttest::referenceFrames(blocks, 200, 150,
                                                  {{0, 15, 2}, {6, 10, 0x0000FF00}, {6, 11, 7}, {6, 12, 3}});
    const auto unchanged = gsttest::referenceFrames(blocks, 200, 150, {{0, 15, 2}});
    for (int i = 0; i < frames; ++i) EXPECT_EQ(got[static_cast<std::size_t>(i)], changed[static_cast<std::size_t>(i)]) << "frame " << i;
    // Frame 6 is the first that differs: the change waits for no later frame.
    EXPECT_EQ(got[5], unchanged[5]);
    EXPECT_NE(got[6], unchanged[6]);
    guint colour = 0;
    gint width = 0;
    GstElement* element = harness.element();
    g_object_get(element, "color", &colour, "line-width", &width, nullptr);
    gst_object_unref(element);
    EXPECT_EQ(colour, 0x0000FF00u);
    EXPECT_EQ(width, 7);
}

TEST_F(ElementFrames, TwoElementsOfOnePluginEachDrawTheirOwnFigure) {
    const int frames = 10;
    const auto samples = gsttest::swingSamples(44100, 1470L * frames);
    const auto blocks = swingBlocks(samples, frames);
    Harness first(160, 120, "zoom-factor=2");
    Harness second(160, 120, "zoom-factor=3 line-width=4 rotation-speed=1");
    const auto firstExpected = gsttest::referenceFrames(blocks, 160, 120, {{0, 15, 2}});
    const auto secondExpected = gsttest::referenceFrames(blocks, 160, 120, {{0, 15, 3}, {0, 11, 4}, {0, 13, 1}});
    // Frames alternate between the two, as two pipelines' threads would run them.
    for (int i = 0; i < frames; ++i) {
        ASSERT_EQ(first.push(samples, 1470L * i, 1470L * (i + 1)), GST_FLOW_OK);
        ASSERT_EQ(second.push(samples, 1470L * i, 1470L * (i + 1)), GST_FLOW_OK);
        EXPECT_EQ(first.pull(), firstExpected[static_cast<std::size_t>(i)]) << "first element, frame " << i;
        EXPECT_EQ(second.pull(), secondExpected[static_cast<std::size_t>(i)]) << "second element, frame " << i;
    }
}

TEST_F(ElementFrames, SoundInUnevenBuffersIsCutAsLumhostCutsIt) {
    const int frames = 8;
    const auto samples = gsttest::swingSamples(44100, 1470L * frames);
    Harness harness(120, 90, "zoom-factor=2");
    // Buffers that end mid-block, and one that holds several blocks.
    const long cuts[] = {0, 1000, 1470, 1471, 5000, 9000, 9001, 1470L * frames};
    std::vector<std::string> got;
    for (std::size_t i = 0; i + 1 < std::size(cuts); ++i) {
        ASSERT_EQ(harness.push(samples, cuts[i], cuts[i + 1]), GST_FLOW_OK);
        for (GstBuffer* buffer; (buffer = gst_harness_try_pull(harness.h)) != nullptr;) {
            GstMapInfo map;
            gst_buffer_map(buffer, &map, GST_MAP_READ);
            got.emplace_back(reinterpret_cast<const char*>(map.data), map.size);
            EXPECT_EQ(GST_BUFFER_PTS(buffer), gst_util_uint64_scale_int(got.size() - 1, GST_SECOND, 30));
            gst_buffer_unmap(buffer, &map);
            gst_buffer_unref(buffer);
        }
    }
    EXPECT_EQ(got, gsttest::referenceFrames(swingBlocks(samples, frames), 120, 90, {{0, 15, 2}}));
}

// After a seek the trail starts again: the frames from a seek to a moment are
// lumhost's from --start at that moment, and a seek back to the start repeats
// the first frames.
TEST_F(ElementFrames, SeekRestartsTheTrail) {
    hosttest::Scratch scratch;
    const auto sound = scratch.path("swing.wav");
    gsttest::writeSwingSound(sound, 44100, 3.0);
    GError* error = nullptr;
    GstElement* pipeline = gst_parse_launch(("filesrc location=" + sound +
                                             " ! wavparse ! lum_gyrotrail zoom-factor=2 ! video/x-raw,format=BGRx,width=160,height=120,"
                                             "framerate=30/1 ! appsink name=out sync=false")
                                                .c_str(),
                                            &error);
    ASSERT_NE(pipeline, nullptr) << (error != nullptr ? error->message : "");
    ASSERT_NE(gst_element_set_state(pipeline, GST_STATE_PAUSED), GST_STATE_CHANGE_FAILURE);
    ASSERT_EQ(gst_element_get_state(pipeline, nullptr, nullptr, 10 * GST_SECOND), GST_STATE_CHANGE_SUCCESS);
    gst_element_set_state(pipeline, GST_STATE_PLAYING);
    const auto first = gsttest::pullFrames(pipeline, 30);
    ASSERT_EQ(first.size(), 30u);
    const auto flags = static_cast<GstSeekFlags>(GST_SEEK_FLAG_FLUSH | GST_SEEK_FLAG_ACCURATE);
    ASSERT_TRUE(gst_element_seek_simple(pipeline, GST_FORMAT_TIME, flags, 0));
    const auto again = gsttest::pullFrames(pipeline, 30);
    EXPECT_EQ(again, first);
    ASSERT_TRUE(gst_element_seek_simple(pipeline, GST_FORMAT_TIME, flags, GST_SECOND));
    const auto later = gsttest::pullFrames(pipeline, 20);
    gst_element_set_state(pipeline, GST_STATE_NULL);
    gst_object_unref(pipeline);

    const auto run = hosttest::runLumhost(scratch, {"render", sound, "-o", "-", "--quiet", "--size", "160x120", "--fps", "30", "--start", "1",
                                                    "--duration", "0.7", "--set", "zoom-factor=2"});
    ASSERT_EQ(run.status, 0) << run.err;
    const std::size_t frameBytes = 160 * 120 * 4;
    ASSERT_EQ(later.size(), 20u);
    for (std::size_t i = 0; i < later.size(); ++i) EXPECT_EQ(later[i], run.out.substr(i * frameBytes, frameBytes)) << "frame " << i << " after the seek";
    EXPECT_NE(later[0], first[0]);
}

}  // namespace
