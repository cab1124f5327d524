// What the OBS module's tests share: libobs started headless on a private
// Xvfb with this build's module loaded, a sound source of the tests' own fed
// with sound they make, the frames a lum source draws, and OBS's own canvas.
#pragma once

#include <obs.h>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "host_runner.h"

namespace obstest {

struct Start {
    int width = 320, height = 240;  // OBS's canvas
    int fps = 30;
    std::vector<std::string> environment;  // "NAME=value", set before the module loads
    // OBS's own modules to load beside ours, by name ("obs-ffmpeg" for the Media Source).
    std::vector<std::string> obsModules;
};

// Starts Xvfb and libobs and loads the module; the reason if libobs cannot
// start here (the test then skips), empty when it runs. The user's own
// plug-ins and presets are kept out: LUM_PATH is empty and the preset folder
// is `scratch`'s unless `environment` says otherwise.
std::string startObs(const hosttest::Scratch& scratch, const Start& start = {});
// obs_shutdown (the output's scene let go first, unless told otherwise), then
// Xvfb goes. Sources still alive are OBS's to destroy.
void stopObs(bool clearOutput = true);

#define START_OBS_OR_SKIP(scratch, ...)                                  \
    do {                                                                \
        const std::string whyNot = obstest::startObs(scratch __VA_OPT__(, ) __VA_ARGS__); \
        if (!whyNot.empty()) GTEST_SKIP() << whyNot;                    \
    } while (false)

// Everything OBS logged at `level` or worse since startObs.
std::vector<std::string> logLines(int level);

// The stereo swing sound the element's tests use, at 48 kHz, as the 16-bit
// samples of a WAV read back as floats (so OBS's float path and lumhost's
// reading of the file carry the same values), interleaved.
std::vector<float> swingSamples(long frames);
// Those samples written as a 16-bit WAV.
void writeSwing(const std::string& path, long frames);

// A source of the tests' own with sound and nothing to show ("test_sound").
obs_source_t* makeSoundSource(const std::string& name);
// Sends sample frames [from, to) of `interleaved` stereo through it, in
// pieces of 1024 as OBS's sources send them, stamped from `start` on.
void sendSound(obs_source_t* source, const std::vector<float>& interleaved, long from, long to, uint64_t start);

// A source of the tests' own that shows one colour over the whole canvas ("test_colour").
obs_source_t* makeColourSource(const std::string& name, uint32_t bgra, int width, int height);
// Hands it its colour again: the tests do so once the scene is shown, as a
// frame handed before that was seen missing once.
void paintColour(obs_source_t* source, uint32_t bgra, int width, int height);

// A lum source of the given id with settings made by `settings` (may be null).
obs_source_t* makeLumSource(const std::string& id, const std::string& name, obs_data_t* settings);

// The frames a lum source hands to OBS, as they are drawn.
class FrameCatcher {
public:
    explicit FrameCatcher(obs_source_t* source);
    ~FrameCatcher();
    FrameCatcher(const FrameCatcher&) = delete;
    FrameCatcher& operator=(const FrameCatcher&) = delete;
    struct Frame {
        std::string bytes;  // rows of width x 4 bytes
        int width = 0, height = 0;
        bool alpha = false;  // BGRA, not BGRx
        uint64_t timestamp = 0;
        long long run = 0;    // the plug-in's run it was drawn in
        long long index = 0;  // its block in that run
    };
    // Waits until frames 0 to count - 1 of the latest run, a run later than
    // `after`, are in; those.
    std::vector<Frame> waitForRun(std::size_t count, double seconds = 10, long long after = -1);
    // Waits up to `seconds` until `count` frames are in; all of them so far.
    std::vector<Frame> waitFor(std::size_t count, double seconds = 10);
    std::size_t count();

private:
    static void caught(void* self, calldata_t* data);
    obs_source_t* source_;
    std::mutex lock_;
    std::condition_variable arrived_;
    std::vector<Frame> frames_;
};

// OBS's output canvas: the main view rendered as BGRA.
class CanvasCatcher {
public:
    CanvasCatcher();
    ~CanvasCatcher();
    CanvasCatcher(const CanvasCatcher&) = delete;
    CanvasCatcher& operator=(const CanvasCatcher&) = delete;
    // The next canvas rendered after `frames` more have passed.
    std::vector<uint32_t> next(int frames = 2, double seconds = 10);
    int width = 0, height = 0;

private:
    static void caught(void* self, video_data* frame);
    std::mutex lock_;
    std::condition_variable arrived_;
    std::vector<uint32_t> latest_;
    long count_ = 0;
};

// What OBS's output shows in the first four pixels of its canvas, frame by
// frame: a source of the paced test plug-in at the top-left, 1:1, shows
// there the counters of the frame OBS shows (see paced_plugin.c).
class CornerWatch {
public:
    struct Shown {
        uint32_t frame = 0;   // frames the plug-in drew since lumStart (0: black)
        int32_t sum = 0;      // its block's byte sum
        uint32_t length = 0;  // its block's length
        uint32_t runs = 0;    // runs the plug-in started
        std::chrono::steady_clock::time_point at;
        // The block's mean sample level (-128..127), for sound of one level on both channels.
        double level() const { return length == 0 ? 0.0 : 1.5 * sum / length; }
    };
    CornerWatch();
    ~CornerWatch();
    CornerWatch(const CornerWatch&) = delete;
    CornerWatch& operator=(const CornerWatch&) = delete;
    std::size_t count();
    // What was shown from output frame `from` on.
    std::vector<Shown> since(std::size_t from);
    // Waits up to `seconds` for `frames` more output frames; what they showed.
    std::vector<Shown> next(std::size_t frames, double seconds = 10);

private:
    static void caught(void* self, video_data* frame);
    std::mutex lock_;
    std::condition_variable arrived_;
    std::vector<Shown> shown_;
};

// A scene of the given sources, bottom first, on OBS's output.
obs_scene_t* showScene(const std::vector<obs_source_t*>& sources);

// The frames gyrotrail draws when driven directly (its own copy of the
// module) for the blocks lumrules::BlockCutter cuts from `interleaved`
// stereo at 48 kHz and `fps`: the settings (id, value) of each entry are
// applied before the frame whose index goes with them, frame 0's before lumStart.
struct TimedSetting {
    int beforeFrame;
    uint32_t id;
    int32_t value;
};
std::vector<std::string> referenceFrames(const std::vector<float>& interleaved, int fps, int width, int height,
                                         const std::vector<TimedSetting>& settings, std::size_t count);

// The id of the gyrotrail setting of that name.
uint32_t settingId(const std::string& name);

// lumhost's raw frames of the same sound, size and rate with --set options.
using hosttest::lumhostFrames;

}  // namespace obstest
