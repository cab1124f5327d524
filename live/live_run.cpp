#include "live/live_run.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <exception>
#include <limits>
#include <mutex>
#include <new>
#include <thread>

#include "loading/bridge/bridge_protocol.h"
#include "loading/plugins/plugin_file.h"
#include "loading/plugins/plugin_module.h"
#include "loading/plugins/plugin_params.h"
#include "rules/block_cutter.h"

namespace lumlive {

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::duration_cast;

constexpr int64_t nsPerSecond = 1000000000;

// Nanoseconds of `samples` at `rate`, without overflow for any run length
// (samples x 10^9 passes 2^63 after 53 hours at 48 kHz).
int64_t samplesToNs(int64_t samples, int rate) {
    const int64_t seconds = samples / rate;
    const int64_t rest = samples % rate;
    return seconds * nsPerSecond + rest * nsPerSecond / rate;
}

int64_t nsToSamples(int64_t ns, int rate) {
    const int64_t seconds = ns / nsPerSecond;
    const int64_t rest = ns % nsPerSecond;
    return seconds * rate + rest * rate / nsPerSecond;
}

int64_t wallNs() { return duration_cast<Nanoseconds>(Clock::now().time_since_epoch()).count(); }

std::string secondsText(Nanoseconds wait) {
    const auto ms = duration_cast<std::chrono::milliseconds>(wait).count();
    if (ms % 1000 == 0) return std::to_string(ms / 1000) + " s";
    return std::to_string(ms / 1000) + "." + std::to_string(ms % 1000 / 100) + " s";
}

struct Block {
    std::vector<int8_t> bytes;
    int64_t date = 0;
    long long generation = 0;
};

// One drawing thread and the plug-in it loaded. The thread holds it too, so a
// thread left hanging in the plug-in keeps its module, its canvas and this.
struct Worker {
    std::atomic<bool> abandoned{false};
    bool bridged = false;                 // a Windows module, through its bridge
    std::atomic<int64_t> callStarted{0};  // wallNs() when a call into the plug-in began; 0 between calls
    std::mutex moduleLock;                // the module's life, against abandon() from another thread
    std::unique_ptr<lumhost::PluginModule> module;
    std::vector<uint32_t> canvas;
    int width = 0, height = 0;
    bool tooLarge = false;     // the size is more than the plug-in can draw: nothing is drawn
    bool running = false;      // between lumStart and lumEnd
    long long generation = 0;  // the run the plug-in is in
    int64_t frame = 0;
    long long run = 0;
};

}  // namespace

struct LiveRun::Shared {
    Options o;
    Nanoseconds period{0};
    Nanoseconds maxBehind{0};
    CanvasLimit limit{};
    bool bridged = false;

    // Everything below, but for what the drawing thread keeps in its Worker.
    // Never held while the plug-in is called.
    mutable std::mutex lock;
    std::condition_variable wake;       // the drawing thread: blocks, settings, stop
    std::condition_variable drawnWake;  // hosts waiting for room or for every block drawn
    std::condition_variable tick;       // the keeper

    // The sound, cut into blocks.
    lumrules::BlockCutter cutter;
    // The bytes of blocks drawn or dropped, cut into again: a block costs no
    // allocation once the run is going.
    std::vector<std::vector<int8_t>> spare;
    bool anchored = false;
    int64_t anchorDate = 0;    // sample `anchorSample` of the run is heard then
    int64_t anchorSample = 0;
    int64_t pushed = 0;        // sample frames pushed in this run
    int64_t presentDate = 0;   // the newest sound's end (silence too), on the host's clock ...
    int64_t presentWall = 0;   // ... and when it came
    int64_t lastSoundWall = 0; // when the host's own sound last came (0: never)
    // The host's present, where it has no clock of its own to give: where its
    // sound started (or last jumped) on its timestamps, advanced by the wall
    // clock since, as a source hands its sound over as it is heard. Sound
    // handed over ahead (a burst) is ahead of it, not behind. The sound that
    // came while the plug-in was loading (a Windows module's bridge takes
    // seconds) is all drawn: nothing is behind until the pictures have caught
    // up with what had come by the first of them.
    bool clockSet = false;
    int64_t clockStamp = 0, clockWall = 0, clockExpected = 0;
    bool pictured = false, caughtUp = false;
    int64_t loadedAfter = 0;
    std::vector<float> zeros;
    long long generation = 1;

    std::deque<Block> blocks;
    long long queued = 0, handled = 0;  // blocks taken in, and drawn or dropped
    bool dropNoted = false;
    bool dropLineDue = false;

    std::vector<std::pair<uint32_t, int32_t>> values;   // every setting the host has sent, latest last
    std::vector<std::pair<uint32_t, int32_t>> pending;  // for the plug-in before its next frame
    int width = 0, height = 0;
    bool resized = false;

    std::shared_ptr<Worker> worker;  // the one drawing now, if any
    bool ready = false;  // the plug-in was loaded and its canvas made, once
    bool failed = false;
    std::string failure;
    int failures = 0;
    bool recovering = false;  // loaded again after a failure
    int64_t retryAt = 0;      // wallNs(); 0: no retry due
    long long drawn = 0, dropped = 0, runs = 0;

    bool stopping = false;
    std::thread keeper;

    // The host's callbacks, one at a time and never after stop().
    std::timed_mutex deliverLock;
    bool closed = false;

    void log(LogLevel level, const std::string& line) {
        std::lock_guard guard(deliverLock);
        if (!closed && o.log) o.log(level, line);
    }
};

namespace {

using Shared = LiveRun::Shared;

int64_t dateOf(const Shared& s, int64_t sample) { return s.anchorDate + samplesToNs(sample - s.anchorSample, s.o.rate); }

constexpr int64_t longAgo = std::numeric_limits<int64_t>::min() / 2;

// The host's present on its sound clock.
int64_t presentOf(const Shared& s) {
    if (s.o.now) return s.o.now();
    return s.clockSet && s.caughtUp ? s.clockStamp + (wallNs() - s.clockWall) : longAgo;
}

// Whether sound stamped `timestamp` is further than the jump limit from where it was expected.
bool jumped(const Shared& s, int64_t timestamp, int64_t expected) {
    const int64_t off = timestamp > expected ? timestamp - expected : expected - timestamp;
    return off > s.o.jumpLimit.count();
}

// With the lock held: the host's sound of `length` ns stamped `timestamp` came now.
void heard(Shared& s, int64_t timestamp, int64_t length) {
    const int64_t wall = wallNs();
    const int64_t present = s.clockStamp + (wall - s.clockWall);
    // A new sound, a seek or a restart (a jump from where it was expected),
    // or a source that paused and goes on (behind the present).
    if (!s.clockSet || jumped(s, timestamp, s.clockExpected) || timestamp < present - s.o.jumpLimit.count()) {
        s.clockSet = true;
        s.clockStamp = timestamp;
        s.clockWall = wall;
    }
    s.clockExpected = timestamp + length;
}

// With the lock held: a picture of the block dated `date` was shown.
void pictured(Shared& s, int64_t date) {
    if (!s.pictured) {
        s.pictured = true;
        s.loadedAfter = s.clockSet ? s.clockExpected : longAgo;
    }
    // The block that ends where the sound had come to, give or take rounding.
    const int64_t period = s.period.count();
    s.caughtUp = s.caughtUp || date + period + period / 2 >= s.loadedAfter;
}

// With the lock held: a block's bytes kept to cut into again (a few are enough).
void giveBack(Shared& s, std::vector<int8_t>&& bytes) {
    constexpr std::size_t kept = 8;
    if (s.spare.size() < kept) s.spare.push_back(std::move(bytes));
}

// With the lock held: blocks cut from what was pushed, dated at their sound.
void cutBlocks(Shared& s, bool atEnd) {
    for (;;) {
        const int64_t first = s.cutter.frameStartSample(s.cutter.frame());
        std::vector<int8_t> bytes;
        if (!s.spare.empty()) {
            bytes = std::move(s.spare.back());
            s.spare.pop_back();
        }
        if (!s.cutter.cut(bytes, atEnd)) {
            giveBack(s, std::move(bytes));
            break;
        }
        s.blocks.push_back(Block{std::move(bytes), dateOf(s, first), s.generation});
        ++s.queued;
    }
}

// With the lock held: on a live host, the blocks already too far behind its
// present are dropped, the newest always kept.
void dropLate(Shared& s) {
    if (!s.o.live || s.blocks.size() < 2) return;
    const int64_t oldest = presentOf(s) - s.maxBehind.count();
    std::size_t dropped = 0;
    while (s.blocks.size() > 1 && s.blocks.front().date < oldest) {
        giveBack(s, std::move(s.blocks.front().bytes));
        s.blocks.pop_front();
        ++dropped;
    }
    if (dropped == 0) return;
    s.dropped += static_cast<long long>(dropped);
    s.handled += static_cast<long long>(dropped);
    s.drawnWake.notify_all();
    // Said once, by the drawing thread (never with the lock held); the count
    // is in the status and in the line at the end.
    if (!s.dropNoted) s.dropNoted = s.dropLineDue = true;
}

// With the lock held: the anchor follows the host's timestamps where they
// jump from where the sound was expected.
void anchor(Shared& s, int64_t timestamp) {
    if (!s.anchored || jumped(s, timestamp, dateOf(s, s.pushed))) {
        s.anchored = true;
        s.anchorDate = timestamp;
        s.anchorSample = s.pushed;
    }
}

void tookSound(Shared& s, std::size_t frames, bool silence) {
    s.pushed += static_cast<int64_t>(frames);
    s.presentDate = dateOf(s, s.pushed);
    s.presentWall = wallNs();
    if (!silence) s.lastSoundWall = s.presentWall;
}

// Waits, on a host that is not live, until the drawing thread has room.
void waitForRoom(Shared& s, std::unique_lock<std::mutex>& held) {
    constexpr std::size_t room = 16;
    if (s.o.live) return;
    s.drawnWake.wait(held, [&] { return s.stopping || s.worker == nullptr || s.failed || s.blocks.size() < room; });
}

// ---- the drawing thread

void deliverNothing(Shared& s, int width, int height) {
    std::lock_guard guard(s.deliverLock);
    if (!s.closed && s.o.onNothing) s.o.onNothing(width, height);
}

// The plug-in failed (it threw, crashed, hung, or could not be loaded): one
// line, nothing shown, and a new load after a back-off.
void failed(Shared& s, const std::shared_ptr<Worker>& worker, const std::string& what) {
    int width = 0, height = 0;
    std::string line;
    {
        std::lock_guard guard(s.lock);
        if (s.worker != worker) return;
        s.worker.reset();
        s.failed = true;
        s.failure = what;
        ++s.failures;
        s.blocks.clear();
        s.generation++;
        width = s.width;
        height = s.height;
        if (s.failures > s.o.retries) {
            s.retryAt = 0;
            line = s.o.pluginFile + ": " + what + "; nothing is shown (given up after " + std::to_string(s.failures) + " failures)";
        } else {
            Nanoseconds wait = s.o.firstRetry;
            for (int i = 1; i < s.failures && wait < s.o.lastRetry; ++i) wait *= 2;
            wait = std::min(wait, s.o.lastRetry);
            s.retryAt = wallNs() + wait.count();
            line = s.o.pluginFile + ": " + what + "; nothing is shown; loaded again in " + secondsText(wait);
        }
    }
    s.log(LogLevel::warning, line);
    deliverNothing(s, width, height);
    // What waited and the block the failed thread held are done with: nothing
    // of them will be drawn. A host waiting for them is let go only now, so
    // it has heard that nothing is shown before it goes on.
    std::lock_guard guard(s.lock);
    s.handled = s.queued;
    s.drawnWake.notify_all();
}

// A call into the plug-in, timed for the keeper. A Windows module's bridge
// keeps its own time limit on every answer (not counting Wine's start-up,
// which may take long on a new prefix) and names the entry point that hung,
// so only a plug-in in this process is timed here.
template <typename Call>
void timed(Worker& worker, Call&& call) {
    if (worker.bridged) {
        call();
        return;
    }
    worker.callStarted = wallNs();
    try {
        call();
    } catch (...) {
        worker.callStarted = 0;
        throw;
    }
    worker.callStarted = 0;
}

bool newCanvas(Shared& s, Worker& w, int width, int height) {
    w.width = width;
    w.height = height;
    w.tooLarge = width > s.limit.width || height > s.limit.height;
    w.canvas.clear();
    w.canvas.shrink_to_fit();
    if (w.tooLarge) {
        s.log(LogLevel::warning, s.o.pluginFile + ": a canvas of " + std::to_string(width) + "x" + std::to_string(height) +
                                     " is more than it can draw (at most " + std::to_string(s.limit.width) + "x" +
                                     std::to_string(s.limit.height) + "); nothing is shown");
        deliverNothing(s, width, height);
        return false;
    }
    w.canvas.assign(static_cast<std::size_t>(width) * static_cast<std::size_t>(height), 0u);
    return true;
}

void loadPlugin(Shared& s, Worker& w, const std::vector<std::pair<uint32_t, int32_t>>& values) {
    timed(w, [&] {
        auto module = std::make_unique<lumhost::PluginModule>(s.o.pluginFile, lumhost::ModuleSharing::ownCopy);
        {
            std::lock_guard guard(w.moduleLock);
            w.module = std::move(module);
        }
        lumhost::initPlugin(*w.module);
        for (const auto& [id, value] : values) lumhost::setParam(*w.module, id, value);
    });
}

void letGo(Worker& w) {
    std::unique_ptr<lumhost::PluginModule> module;
    {
        std::lock_guard guard(w.moduleLock);
        module = std::move(w.module);
    }
    module.reset();
}

void drawLoop(std::shared_ptr<Shared> shared, std::shared_ptr<Worker> worker) {
    Shared& s = *shared;
    Worker& w = *worker;
    std::vector<std::pair<uint32_t, int32_t>> settings;
    int width = 0, height = 0;
    {
        std::lock_guard guard(s.lock);
        settings = s.values;
        s.pending.clear();
        width = s.width;
        height = s.height;
        s.resized = false;
    }
    try {
        loadPlugin(s, w, settings);
        newCanvas(s, w, width, height);
    } catch (const std::bad_alloc&) {
        failed(s, worker, "a canvas of " + std::to_string(width) + "x" + std::to_string(height) + " cannot be had");
        letGo(w);
        return;
    } catch (const std::exception& error) {
        failed(s, worker, error.what());
        letGo(w);
        return;
    }
    bool recovered = false;
    {
        std::lock_guard guard(s.lock);
        s.ready = true;
        s.drawnWake.notify_all();
        if (s.worker == worker && s.recovering) {
            recovered = true;
            s.recovering = false;
            s.failed = false;
            s.failure.clear();
        }
    }
    if (recovered) s.log(LogLevel::info, s.o.pluginFile + ": loaded again; drawing");

    for (;;) {
        Block block;
        bool haveBlock = false;
        bool dropLine = false;
        {
            std::unique_lock held(s.lock);
            s.wake.wait(held, [&] { return s.stopping || w.abandoned || !s.blocks.empty() || !s.pending.empty() || s.resized; });
            if (s.stopping || w.abandoned) break;
            settings.swap(s.pending);
            s.pending.clear();
            if (s.resized) {
                width = s.width;
                height = s.height;
                s.resized = false;
            }
            dropLate(s);
            std::swap(dropLine, s.dropLineDue);
            if (!s.blocks.empty()) {
                block = std::move(s.blocks.front());
                s.blocks.pop_front();
                haveBlock = true;
            }
        }
        if (dropLine)
            s.log(LogLevel::warning, s.o.pluginFile + ": cannot keep up with the sound; blocks are dropped to stay in step");
        bool drawn = false;
        try {
            for (const auto& [id, value] : settings)
                timed(w, [&] { lumhost::setParam(*w.module, id, value); });
            settings.clear();
            if (width != w.width || height != w.height) newCanvas(s, w, width, height);
            if (haveBlock && !w.tooLarge) {
                if (block.generation != w.generation) {
                    // A new run: lumEnd of the last, lumStart, a black canvas.
                    timed(w, [&] {
                        if (w.running) w.module->end();
                        w.running = false;
                        w.module->start();
                        w.running = true;
                    });
                    w.generation = block.generation;
                    w.frame = 0;
                    std::fill(w.canvas.begin(), w.canvas.end(), 0u);
                    std::lock_guard guard(s.lock);
                    w.run = ++s.runs;
                }
                LumCanvas canvas{w.width, w.height, w.width * 4, w.canvas.data()};
                timed(w, [&] { w.module->displaySoundData(&canvas, block.bytes.data(), static_cast<uint32_t>(block.bytes.size())); });
                drawn = true;
            }
        } catch (const std::bad_alloc&) {
            failed(s, worker, "a canvas of " + std::to_string(width) + "x" + std::to_string(height) + " cannot be had");
            break;
        } catch (const std::exception& error) {
            if (!w.abandoned) failed(s, worker, error.what());
            break;
        }
        if (w.abandoned) break;
        if (drawn) {
            std::lock_guard guard(s.deliverLock);
            bool current = false;
            {
                // A picture of a run the host has restarted since is not its business.
                std::lock_guard held(s.lock);
                current = block.generation == s.generation;
            }
            if (current && !s.closed && !w.abandoned && s.o.onPicture)
                s.o.onPicture(Picture{w.canvas.data(), w.width, w.height, block.date, w.frame, w.run});
        }
        if (drawn) ++w.frame;
        if (haveBlock) {
            std::lock_guard guard(s.lock);
            ++s.handled;
            if (drawn) {
                ++s.drawn;
                pictured(s, block.date);
            }
            giveBack(s, std::move(block.bytes));
            s.drawnWake.notify_all();
        }
    }
    if (!w.abandoned && w.module && w.running) {
        try {
            timed(w, [&] { w.module->end(); });
        } catch (const std::exception&) {
            // Ending anyway.
        }
    }
    // A thread that was left to itself and came back lets go of its plug-in too.
    letGo(w);
}

void startWorker(const std::shared_ptr<Shared>& shared) {
    auto worker = std::make_shared<Worker>();
    worker->bridged = shared->bridged;
    shared->worker = worker;
    std::thread(drawLoop, shared, worker).detach();
}

// ---- the keeper: watches for hangs, loads a failed plug-in again, and
// draws silence when the sound stops. It never calls the plug-in but to
// abandon it, so it cannot hang with it.

void abandonHung(Shared& s, const std::shared_ptr<Worker>& worker) {
    worker->abandoned = true;
    {
        std::lock_guard guard(worker->moduleLock);
        if (worker->module) worker->module->abandon();
    }
    s.wake.notify_all();
    failed(s, worker, "did not return within " + secondsText(s.o.hangAfter) + " (its thread is left to itself)");
}

void silence(Shared& s) {
    if (!s.o.silenceWhenStopped || s.lastSoundWall == 0 || s.failed) return;
    const int64_t now = wallNs();
    if (now - s.lastSoundWall < s.o.silenceAfter.count()) return;
    // Silence fills the time since the sound came last, paced by the wall clock.
    const int64_t target = s.presentDate + (now - s.presentWall);
    int64_t missing = target - s.presentDate;
    if (missing > 4 * s.period.count()) {
        // The keeper was held up (a suspended machine, a stalled host): skip
        // ahead rather than draw what was missed.
        const int64_t skip = missing - s.period.count();
        s.anchorDate += skip;
        s.presentDate += skip;
        missing -= skip;
    }
    const int64_t frames = nsToSamples(missing, s.o.rate);
    if (frames <= 0) return;
    const auto count = static_cast<std::size_t>(frames) * static_cast<std::size_t>(s.o.channels);
    if (s.zeros.size() < count) s.zeros.assign(count, 0.0f);
    s.cutter.push(s.zeros.data(), static_cast<std::size_t>(frames));
    tookSound(s, static_cast<std::size_t>(frames), true);
    cutBlocks(s, false);
    dropLate(s);
    s.wake.notify_all();
}

void keep(std::shared_ptr<Shared> shared) {
    Shared& s = *shared;
    const auto every = std::clamp<Nanoseconds>(s.period, std::chrono::milliseconds(5), std::chrono::milliseconds(50));
    std::unique_lock held(s.lock);
    while (!s.stopping) {
        s.tick.wait_for(held, every, [&] { return s.stopping; });
        if (s.stopping) break;
        const auto worker = s.worker;
        if (worker) {
            const int64_t started = worker->callStarted;
            if (started != 0 && wallNs() - started > s.o.hangAfter.count()) {
                held.unlock();
                abandonHung(s, worker);
                held.lock();
                continue;
            }
        } else if (s.retryAt != 0 && wallNs() >= s.retryAt) {
            s.retryAt = 0;
            s.recovering = true;
            s.generation++;
            startWorker(shared);
        }
        silence(s);
    }
}

}  // namespace

int64_t soundTime(int64_t samples, int rate) { return samplesToNs(samples, rate); }

namespace {

// A Windows DLL, drawn through a bridge; false for anything else, and for a
// file that cannot be read (it will fail to load, whatever is asked of it).
bool isWindowsModule(const std::string& pluginFile) {
    try {
        const auto kind = lumhost::identifyPluginFile(pluginFile).kind;
        return kind == lumhost::PluginFileKind::pe32 || kind == lumhost::PluginFileKind::pe32plus;
    } catch (const std::exception&) {
        return false;
    }
}

}  // namespace

CanvasLimit canvasLimitFor(const std::string& pluginFile) {
    if (isWindowsModule(pluginFile)) return {lumbridge::maxWidth, lumbridge::maxHeight};
    return {16384, 16384};
}

LiveRun::LiveRun(Options options) : shared_(std::make_shared<Shared>()) {
    Shared& s = *shared_;
    s.o = std::move(options);
    s.o.rate = std::max(1, s.o.rate);
    s.o.channels = std::max(1, s.o.channels);
    if (s.o.fpsNum <= 0 || s.o.fpsDen <= 0) {
        s.o.fpsNum = 60;
        s.o.fpsDen = 1;
    }
    s.period = Nanoseconds(nsPerSecond * s.o.fpsDen / s.o.fpsNum);
    s.maxBehind = s.o.maxBehind.count() > 0 ? s.o.maxBehind : 2 * s.period;
    s.limit = canvasLimitFor(s.o.pluginFile);
    s.bridged = isWindowsModule(s.o.pluginFile);
    if (s.o.positions.empty() || static_cast<int>(s.o.positions.size()) != s.o.channels) s.o.positions = lumrules::usualPositions(s.o.channels);
    s.cutter.reset(s.o.rate, s.o.positions, s.o.fpsNum, s.o.fpsDen);
    s.width = s.o.width;
    s.height = s.o.height;
    s.values = s.o.settings;
    s.presentWall = wallNs();
    // A figure that runs on silence starts on it, until sound comes.
    if (s.o.silenceWhenStopped) s.lastSoundWall = s.presentWall;
    std::lock_guard guard(s.lock);
    startWorker(shared_);
    s.keeper = std::thread(keep, shared_);
}

LiveRun::~LiveRun() { stop(); }

namespace {

// With the lock held: the blocks just queued go to the drawing thread, or
// are only counted when nothing draws them.
void queued(Shared& s) {
    if (s.failed || s.worker == nullptr) {
        s.handled += static_cast<long long>(s.blocks.size());
        s.blocks.clear();
    }
    dropLate(s);
    s.wake.notify_all();
}

// The host's sound in, whatever its layout: `into` hands it to the cutter.
template <typename Into>
void takeSound(Shared& s, std::size_t frames, int64_t timestamp, Into&& into) {
    std::unique_lock held(s.lock);
    if (s.stopping) return;
    waitForRoom(s, held);
    anchor(s, timestamp);
    heard(s, timestamp, samplesToNs(static_cast<int64_t>(frames), s.o.rate));
    into(s.cutter);
    tookSound(s, frames, false);
    cutBlocks(s, false);
    queued(s);
}

}  // namespace

void LiveRun::pushPlanar(const void* const* planes, std::size_t frames, lumrules::SampleFormat format, int64_t timestamp) {
    takeSound(*shared_, frames, timestamp, [&](lumrules::BlockCutter& cutter) { cutter.pushPlanar(planes, frames, format); });
}

void LiveRun::pushInterleaved(const void* samples, std::size_t frames, lumrules::SampleFormat format, int64_t timestamp) {
    takeSound(*shared_, frames, timestamp, [&](lumrules::BlockCutter& cutter) { cutter.push(samples, frames, format); });
}

void LiveRun::pushBlock(const std::vector<int8_t>& bytes, int64_t date) {
    Shared& s = *shared_;
    std::unique_lock held(s.lock);
    if (s.stopping) return;
    waitForRoom(s, held);
    const int64_t period = s.period.count();
    heard(s, date, period);
    // What the dates of the blocks cut from pushed sound (silence) follow on from.
    s.presentDate = date + period;
    s.presentWall = s.lastSoundWall = wallNs();
    Block block{{}, date, s.generation};
    if (!s.spare.empty()) {
        block.bytes = std::move(s.spare.back());
        s.spare.pop_back();
    }
    block.bytes.assign(bytes.begin(), bytes.end());
    s.blocks.push_back(std::move(block));
    ++s.queued;
    queued(s);
}

void LiveRun::drain() {
    Shared& s = *shared_;
    std::lock_guard guard(s.lock);
    cutBlocks(s, true);
    s.wake.notify_all();
}

void LiveRun::restart() {
    Shared& s = *shared_;
    {
        std::lock_guard guard(s.lock);
        s.cutter.restart();
        // Silence before the next sound follows on from where the sound was.
        s.anchored = false;
        s.pushed = 0;
        s.anchorSample = 0;
        s.anchorDate = s.presentDate;
        s.clockSet = false;
        s.handled += static_cast<long long>(s.blocks.size());
        s.blocks.clear();
        ++s.generation;
        s.drawnWake.notify_all();
        s.wake.notify_all();
    }
    // A picture of the run before that is being handed over now is through
    // when this returns; none follows it. A host whose hand-over can wait on
    // the host itself (VLC's picture pool, paused) is waited for only so long.
    if (s.deliverLock.try_lock_for(std::chrono::milliseconds(500))) s.deliverLock.unlock();
}

void LiveRun::set(uint32_t id, int32_t value) {
    Shared& s = *shared_;
    std::lock_guard guard(s.lock);
    auto known = std::find_if(s.values.begin(), s.values.end(), [id](const auto& setting) { return setting.first == id; });
    if (known != s.values.end()) s.values.erase(known);
    s.values.emplace_back(id, value);
    s.pending.emplace_back(id, value);
    s.wake.notify_all();
}

void LiveRun::resize(int width, int height) {
    Shared& s = *shared_;
    std::lock_guard guard(s.lock);
    if (width == s.width && height == s.height) return;
    s.width = width;
    s.height = height;
    s.resized = true;
    s.wake.notify_all();
}

bool LiveRun::waitLoaded(Nanoseconds within) {
    Shared& s = *shared_;
    std::unique_lock held(s.lock);
    return s.drawnWake.wait_for(held, within, [&] { return s.ready || s.failed || s.stopping; }) && s.ready && !s.failed;
}

bool LiveRun::waitDrawn(Nanoseconds within) {
    Shared& s = *shared_;
    std::unique_lock held(s.lock);
    return s.drawnWake.wait_for(held, within, [&] { return s.handled >= s.queued || s.stopping; }) && s.dropped == 0 && !s.failed;
}

void LiveRun::stop(Nanoseconds within) {
    Shared& s = *shared_;
    std::shared_ptr<Worker> worker;
    {
        std::lock_guard guard(s.lock);
        if (s.stopping) return;
        s.stopping = true;
        worker = std::move(s.worker);
        s.wake.notify_all();
        s.tick.notify_all();
        s.drawnWake.notify_all();
    }
    if (s.keeper.joinable()) s.keeper.join();
    if (worker) {
        // The drawing thread ends its run and lets the plug-in go; one that is
        // inside a call that does not return in time is left to itself. A
        // bridge is killed instead, and its thread then has the rest of the
        // time to let go of it (its private display among the rest), so a
        // host that exits right after this leaves nothing behind.
        const auto waitFor = [&worker](Clock::time_point until) {
            while (Clock::now() < until && worker.use_count() > 1) std::this_thread::sleep_for(std::chrono::milliseconds(2));
        };
        waitFor(Clock::now() + (worker->bridged ? within / 2 : within));
        if (worker.use_count() > 1) {
            worker->abandoned = true;
            {
                std::lock_guard guard(worker->moduleLock);
                if (worker->module) worker->module->abandon();
            }
            if (worker->bridged) waitFor(Clock::now() + within / 2);
        }
    }
    {
        std::lock_guard guard(s.deliverLock);
        if (s.dropped > 0 && s.o.log)
            s.o.log(LogLevel::info, s.o.pluginFile + ": " + std::to_string(s.dropped) + " of " + std::to_string(s.queued) +
                                        " blocks dropped: the plug-in could not keep up with the sound");
        s.closed = true;
    }
}

Status LiveRun::status() const {
    const Shared& s = *shared_;
    std::lock_guard guard(s.lock);
    Status status;
    status.loaded = s.worker != nullptr && !s.failed;
    status.failed = s.failed;
    status.failure = s.failure;
    if (s.retryAt != 0) status.retryIn = Nanoseconds(std::max<int64_t>(0, s.retryAt - wallNs()));
    status.drawn = s.drawn;
    status.dropped = s.dropped;
    status.runs = s.runs;
    return status;
}

}  // namespace lumlive
