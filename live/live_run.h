// One live run of a plug-in, as every live front end runs it (the OBS source,
// the VLC module, the GStreamer element): the host hands over its sound with
// its own timestamps, from its own audio thread; the run cuts the blocks
// with the shared cutter and a drawing thread of its own draws them, handing
// each picture back dated at its block's sound. Settings, sizes and restarts
// come from any thread and are applied between two frames.
//
// The policy every front end shares:
//
// - One clock: the host's sound clock. A block's date is the time of its
//   first sample on that clock. When the sound jumps by more than
//   `jumpLimit` from where it was expected (a seek, a restart, a source that
//   stalled or stamps on another timeline), the dates are re-anchored at the
//   new timestamps. When the sound stops, the run (if asked to) goes on
//   drawing silence, paced by the wall clock from the moment the sound
//   stopped and dated after it, never more than a frame period behind; two
//   clocks are never subtracted from each other.
// - Bounded work: on a live host, a block whose date is more than
//   `maxBehind` before the host's present (where its sound started, advanced
//   by the wall clock since, or the host's own clock) is dropped in
//   favour of the newer ones, so the figure stays within a few frames of its
//   sound and memory stays flat; the count is kept and logged once. A run
//   that is not live drops nothing: the host waits for room instead.
// - Failure: a plug-in that throws, crashes or hangs, or cannot draw the size
//   asked for, gives one log line and the host's way of showing nothing
//   (`onNothing`); the run loads it again after 1, 2, 4 ... up to 30 s, at
//   most `retries` times, and draws again once it works.
// - Bounded stopping: the destructor and stop() return within a second even
//   when the plug-in hangs. A hung drawing thread is left to itself with
//   everything it touches (it holds its own module and canvas, so nothing is
//   unloaded under it), a hung bridge is killed, and no callback of the
//   host's is called once stop() has returned.
// - Nothing the host calls waits on the plug-in: push, set, resize, restart
//   and stop take only short locks that the drawing thread never holds while
//   it is inside the plug-in.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "rules/samples.h"

namespace lumlive {

using Nanoseconds = std::chrono::nanoseconds;

// One picture of the run: the canvas the plug-in draws on, frame after frame.
struct Picture {
    const uint32_t* pixels = nullptr;  // 0x00RRGGBB, rows top-down, width * 4 bytes apart
    int width = 0;
    int height = 0;
    int64_t date = 0;    // ns on the host's sound clock: when its block's first sample is heard
    int64_t frame = 0;   // the frame's number in its run, from 0
    long long run = 0;   // which run, from 1: a new run (restart, reload) is a new trail
};

enum class LogLevel { info, warning };

// How a run stands, for a host's dialog or a test.
struct Status {
    bool loaded = false;       // the plug-in is loaded and drawing
    bool failed = false;       // the plug-in failed and shows nothing
    std::string failure;       // why, as logged
    Nanoseconds retryIn{0};    // when it is loaded again (0: never, or not failed)
    long long drawn = 0;       // frames drawn
    long long dropped = 0;     // blocks dropped to keep up
    long long runs = 0;        // runs started
};

struct Options {
    std::string pluginFile;
    // Settings sent after lumInit, in order (id, value): the host's current ones.
    std::vector<std::pair<uint32_t, int32_t>> settings;

    // The host's sound and pictures.
    int rate = 48000;
    int channels = 2;
    // Where each channel stands, in the order the host hands them over;
    // empty: the usual order for `channels` (WAVE's).
    std::vector<lumrules::ChannelPosition> positions;
    int fpsNum = 60;
    int fpsDen = 1;
    int width = 1280;
    int height = 720;

    // A live host (OBS, a live pipeline, VLC playing) drops blocks it cannot
    // draw in time; one that is not live waits for every block to be drawn.
    bool live = true;
    // Goes on drawing silence, paced by the wall clock, when the sound stops
    // (a source whose figure should fade when it is quiet).
    bool silenceWhenStopped = false;
    // Sound this long after the last is silence (with silenceWhenStopped).
    Nanoseconds silenceAfter = std::chrono::milliseconds(150);
    // Sound stamped further than this from where it was expected re-anchors the dates.
    Nanoseconds jumpLimit = std::chrono::milliseconds(100);
    // How far behind the host's present a block may be and still be drawn;
    // 0: two frame periods.
    Nanoseconds maxBehind{0};
    // The host's present on the same clock as its timestamps, if it has one
    // that the run may read from any thread. Otherwise the run takes the
    // host's sound to be heard as it is handed over: the present is where the
    // sound started (or last jumped), advanced by the wall clock since; sound
    // handed over ahead is not behind, and nothing is behind until the
    // pictures have caught up with what came while the plug-in was loading.
    std::function<int64_t()> now;

    // A call into an in-process plug-in taking longer than this is a hang (a
    // Windows module's bridge has its own limit of 5 s on every answer).
    Nanoseconds hangAfter = std::chrono::seconds(5);
    // How often a failed plug-in is loaded again; the waits double from
    // firstRetry up to lastRetry.
    int retries = 6;
    Nanoseconds firstRetry = std::chrono::seconds(1);
    Nanoseconds lastRetry = std::chrono::seconds(30);

    // The host's glue, called on the run's threads, one at a time, never
    // after stop() has returned.
    std::function<void(const Picture&)> onPicture;
    // The plug-in failed (or cannot draw this size): show nothing at this size.
    std::function<void(int width, int height)> onNothing;
    std::function<void(LogLevel, const std::string&)> log;
};

// Nanoseconds of `samples` sample frames at `rate`, exact to the nanosecond
// below and without overflow however long a run lasts.
int64_t soundTime(int64_t samples, int rate);

// The largest canvas a plug-in of this file can draw on: a Windows module
// through the bridge is limited by the bridge's private display.
struct CanvasLimit {
    int width;
    int height;
};
CanvasLimit canvasLimitFor(const std::string& pluginFile);

class LiveRun {
public:
    // Starts the drawing thread, which loads the plug-in (a Windows module's
    // bridge may take seconds): the host is never kept waiting for it.
    explicit LiveRun(Options options);
    ~LiveRun();
    LiveRun(const LiveRun&) = delete;
    LiveRun& operator=(const LiveRun&) = delete;

    // The host's sound, `frames` frames of `channels` channels in `format`,
    // planar (one pointer a channel) or interleaved (one pointer), whose
    // first frame is heard at `timestamp` ns on the host's clock.
    void pushPlanar(const void* const* planes, std::size_t frames, lumrules::SampleFormat format, int64_t timestamp);
    void pushInterleaved(const void* samples, std::size_t frames, lumrules::SampleFormat format, int64_t timestamp);
    // A block the host cut itself with the shared cutter (lumhost's player,
    // which hands each block over when its output's clock reaches it), dated
    // `date` ns on the host's clock; drawn like the blocks cut from pushed sound.
    void pushBlock(const std::vector<int8_t>& bytes, int64_t date);
    // The end of the sound: the short last block is drawn too.
    void drain();
    // A new run: lumEnd, lumStart and a black canvas before the next block;
    // blocks not drawn yet are dropped and the dates anchored afresh. No
    // picture of the run before reaches onPicture once it has returned (a
    // host may send what follows a seek straight after it); it waits for a
    // picture being handed over (half a second at most), never for the
    // plug-in, and is not to be called from onPicture.
    void restart();

    // A setting, from any thread, sent before the next frame.
    void set(uint32_t id, int32_t value);
    // A new canvas size (black, the figure goes on), before the next frame.
    void resize(int width, int height);

    // Waits until the plug-in is loaded and ready to draw (or failed, or
    // `within` passed); true if it is. A host that starts its sound only
    // then (lumhost play) loses none of it to the loading.
    bool waitLoaded(Nanoseconds within);

    // Not live: waits until every block handed over has been drawn (or the
    // plug-in failed, or `within` passed); true if all were drawn.
    bool waitDrawn(Nanoseconds within);

    // Stops drawing and lets the plug-in go; returns within about `within`
    // whatever the plug-in does. Called by the destructor.
    void stop(Nanoseconds within = std::chrono::seconds(1));

    Status status() const;

    struct Shared;

private:
    std::shared_ptr<Shared> shared_;
};

}  // namespace lumlive
