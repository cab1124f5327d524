// What the element's tests share: GStreamer started on the element library
// of this build, a sound file made for the test, lumhost's own frames of it,
// a pipeline's frames, and the plug-in driven directly for reference frames.
#pragma once

#include <gst/check/gstharness.h>
#include <gst/gst.h>

#include <cstdint>
#include <string>
#include <vector>

#include "host_runner.h"

namespace gsttest {

// GST_PLUGIN_PATH on the build's element library, a registry of the tests'
// own (so the user's is never touched), then gst_init. `extra` are more
// "NAME=value" settings made first (LUM_PATH, GST_REGISTRY_FORK, ...).
void startGstreamer(const std::vector<std::string>& extra = {});

// The same settings for a program the test runs, as an `env` command prefix.
std::string gstEnvironment(const std::vector<std::string>& extra = {});

// A stereo 16-bit WAV of slow swings of different shape on each channel,
// loud enough for a figure that stays on a small canvas at zoom factor 2.
void writeSwingSound(const std::string& path, int rate, double seconds);

// The sample frames of such a file's sound as lumhost reads them: floats.
std::vector<float> swingSamples(int rate, long frames);

// lumhost's raw frames of the same sound, size and rate with --set options.
using hosttest::lumhostFrames;

// Runs a gst-launch-1.0 pipeline description to its end, with `extra`
// settings after the tests' own; its exit status.
int launch(const std::string& pipeline, std::string* errors = nullptr, const std::vector<std::string>& extra = {});

// Runs a pipeline in this process until its end or its first error, for at
// most `limit`. Debian 12's gst-launch-1.0 can hang for good when two elements
// post errors while the pipeline prerolls (the failing element's own error and
// its source's "Internal data stream error"; its own wavparse does it on a
// stream that is not a WAV), so a test that expects an error runs it here.
struct Outcome {
    bool ended = false;  // reached its end without an error
    std::string error;   // the first error's text
};
Outcome runPipeline(const std::string& description, GstClockTime limit = 30 * GST_SECOND);

// Pulls up to `count` frames from the appsink named "out" of a running
// pipeline, each frame's bytes as one string.
std::vector<std::string> pullFrames(GstElement* pipeline, int count);

// Any pixel not black.
bool anyLit(const std::string& frame);

// The frames gyrotrail draws for `blocks` when driven directly (its own copy
// of the module): after lumInit, the `settings` (id, value) are applied
// before the frame whose index goes with them, lumStart, one block a frame.
struct TimedSetting {
    int beforeFrame;
    uint32_t id;
    int32_t value;
};
// One element in a harness with a bus of its own, as it runs outside a
// pipeline: mono 16-bit sound at 44100 Hz in, BGRx frames of `width` x
// `height` at 30 fps out.
struct ElementHarness {
    GstHarness* h = nullptr;
    GstBus* bus = nullptr;
    ElementHarness(const std::string& description, int width, int height);
    ~ElementHarness();
    ElementHarness(const ElementHarness&) = delete;
    ElementHarness& operator=(const ElementHarness&) = delete;
    // Pushes `count` buffers of a frame period of silence without timestamps,
    // pulling the frame each gives (and its time); stops at a buffer not taken
    // or giving no frame.
    struct Frame {
        std::string bytes;
        GstClockTime pts;
    };
    std::vector<Frame> silentFrames(int count);
};

std::vector<std::string> referenceFrames(const std::vector<std::vector<int8_t>>& blocks, int width, int height,
                                         const std::vector<TimedSetting>& settings);

}  // namespace gsttest
