// The live run against a plug-in that sleeps or hangs as told: dates on the
// host's clock, silence paced by the wall clock, blocks dropped only on a
// live host that falls behind, failure and reload, and a prompt stop.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

#include "live/live_run.h"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

constexpr uint32_t sleepId = 10;
constexpr uint32_t hangAtId = 11;
constexpr int rate = 48000;
constexpr int fps = 60;
constexpr int blockFrames = rate / fps;  // 800
constexpr int64_t periodNs = 1000000000 / fps;

// What the paced plug-in wrote into one picture, and when it came.
struct Seen {
    uint32_t frames, sum, length, runs, sleepMs, hangAt;
    int64_t date;
    long long run;
    Clock::time_point at;
};

// The host's side of a run: what reached its callbacks.
class Host {
public:
    lumlive::Options options(bool live) {
        lumlive::Options o;
        o.pluginFile = PACED_PLUGIN_PATH;
        o.rate = rate;
        o.channels = 1;
        o.fpsNum = fps;
        o.width = 8;
        o.height = 2;
        o.live = live;
        o.onPicture = [this](const lumlive::Picture& p) {
            std::lock_guard guard(lock_);
            seen_.push_back({p.pixels[0], p.pixels[1], p.pixels[2], p.pixels[3], p.pixels[4], p.pixels[5], p.date, p.run, Clock::now()});
            if (closed_) afterStop_ = true;
            changed_.notify_all();
        };
        o.onNothing = [this](int, int) {
            std::lock_guard guard(lock_);
            ++nothing_;
            changed_.notify_all();
        };
        o.log = [this](lumlive::LogLevel, const std::string& line) {
            std::lock_guard guard(lock_);
            lines_.push_back(line);
        };
        return o;
    }
    std::vector<Seen> seen() {
        std::lock_guard guard(lock_);
        return seen_;
    }
    int nothing() {
        std::lock_guard guard(lock_);
        return nothing_;
    }
    std::vector<std::string> lines() {
        std::lock_guard guard(lock_);
        return lines_;
    }
    // Waits until `done` holds of what was seen, or `within` passes.
    template <typename Done>
    bool waitFor(Done done, std::chrono::milliseconds within = 5s) {
        std::unique_lock held(lock_);
        return changed_.wait_for(held, within, [&] { return done(seen_, nothing_); });
    }
    void closed() {
        std::lock_guard guard(lock_);
        closed_ = true;
    }
    bool calledAfterStop() {
        std::lock_guard guard(lock_);
        return afterStop_;
    }

private:
    std::mutex lock_;
    std::condition_variable changed_;
    std::vector<Seen> seen_;
    std::vector<std::string> lines_;
    int nothing_ = 0;
    bool closed_ = false, afterStop_ = false;
};

// `blocks` blocks of a constant mono sound, in one piece stamped at `timestamp`.
void pushBlocks(lumlive::LiveRun& run, int blocks, float level, int64_t timestamp) {
    std::vector<float> sound(static_cast<std::size_t>(blocks) * blockFrames, level);
    run.pushInterleaved(sound.data(), sound.size(), lumrules::SampleFormat::f32, timestamp);
}

// A host that cuts its own blocks (lumhost's player) hands them over whole:
// each is drawn as given and dated as given, and the host may wait until the
// plug-in is loaded before its sound starts.
TEST(LiveRun, BlocksHandedOverWholeAreDrawnAsGivenOnceLoaded) {
    Host host;
    auto options = host.options(false);
    lumlive::LiveRun run(options);
    EXPECT_TRUE(run.waitLoaded(5s));
    const int64_t start = 7'000'000'000;
    for (int i = 0; i < 10; ++i) {
        const std::vector<int8_t> block(static_cast<std::size_t>(100 + i), static_cast<int8_t>(i - 3));
        run.pushBlock(block, start + i * periodNs);
    }
    ASSERT_TRUE(run.waitDrawn(5s));
    const auto seen = host.seen();
    ASSERT_EQ(seen.size(), 10u);
    for (std::size_t i = 0; i < seen.size(); ++i) {
        const auto n = static_cast<int>(i);
        EXPECT_EQ(seen[i].length, static_cast<uint32_t>(100 + n));
        EXPECT_EQ(seen[i].sum, static_cast<uint32_t>((100 + n) * (n - 3)));
        EXPECT_EQ(seen[i].date, start + n * periodNs);
    }
}

// A plug-in that cannot be loaded: the wait ends with it, not with its limit.
TEST(LiveRun, WaitingForTheLoadEndsWhenItFails) {
    Host host;
    auto options = host.options(true);
    options.pluginFile = "/nonexistent/missing.lum";
    lumlive::LiveRun run(options);
    const auto started = Clock::now();
    EXPECT_FALSE(run.waitLoaded(10s));
    EXPECT_LT(Clock::now() - started, 5s);
    EXPECT_TRUE(run.status().failed);
}

TEST(LiveRun, NotLiveDrawsEveryBlockInOrderDatedAtItsSound) {
    Host host;
    auto options = host.options(false);
    options.settings = {{sleepId, 2}};  // slower than the pushes: the host waits, nothing is dropped
    lumlive::LiveRun run(options);
    const int64_t start = 5'000'000'000;
    for (int i = 0; i < 40; ++i) pushBlocks(run, 1, 0.25f, start + i * lumlive::soundTime(blockFrames, rate));
    ASSERT_TRUE(run.waitDrawn(10s));
    const auto seen = host.seen();
    ASSERT_EQ(seen.size(), 40u);
    for (std::size_t i = 0; i < seen.size(); ++i) {
        EXPECT_EQ(seen[i].frames, i + 1);
        EXPECT_EQ(seen[i].length, 3u * blockFrames);  // left | right | zeros
        EXPECT_EQ(seen[i].sum, 2u * 32 * blockFrames);
        EXPECT_EQ(seen[i].date, start + lumlive::soundTime(static_cast<int64_t>(i) * blockFrames, rate));
        EXPECT_EQ(seen[i].sleepMs, 2u);
    }
    EXPECT_EQ(run.status().dropped, 0);
}

TEST(LiveRun, DatesFollowTheHostsTimestampsAcrossAJump) {
    Host host;
    lumlive::LiveRun run(host.options(false));
    pushBlocks(run, 3, 0.0f, 0);
    // The file starts again: its timeline goes back to 0 after a later start.
    pushBlocks(run, 2, 0.0f, 90'000'000'000);
    ASSERT_TRUE(run.waitDrawn(5s));
    const auto seen = host.seen();
    ASSERT_EQ(seen.size(), 5u);
    EXPECT_EQ(seen[2].date, lumlive::soundTime(2 * blockFrames, rate));
    EXPECT_EQ(seen[3].date, 90'000'000'000);
    EXPECT_EQ(seen[4].date, 90'000'000'000 + lumlive::soundTime(blockFrames, rate));
}

TEST(LiveRun, ChannelsAreMixedByWhereTheHostSaysTheyStand) {
    // OBS's 2.1: left, right, low frequencies. In WAVE's order the third
    // channel would be a centre, mixed into both sides.
    Host host;
    auto options = host.options(false);
    options.channels = 3;
    options.positions = {lumrules::ChannelPosition::frontLeft, lumrules::ChannelPosition::frontRight,
                         lumrules::ChannelPosition::lowFrequency};
    lumlive::LiveRun run(options);
    std::vector<float> sound(3 * blockFrames);
    for (std::size_t i = 0; i < sound.size(); i += 3) sound[i + 2] = 0.5f;
    run.pushInterleaved(sound.data(), blockFrames, lumrules::SampleFormat::f32, 0);
    ASSERT_TRUE(run.waitDrawn(5s));
    ASSERT_EQ(host.seen().size(), 1u);
    EXPECT_EQ(host.seen()[0].sum, 0u);
}

TEST(LiveRun, SoundTimeHoldsPastFiftyThreeHours) {
    // 2^63 ns is 106 days, but samples x 10^9 overflows after 53 hours at 48 kHz.
    const int64_t hours100 = int64_t{100} * 3600 * rate;
    EXPECT_EQ(lumlive::soundTime(hours100, rate), int64_t{100} * 3600 * 1'000'000'000);
    EXPECT_EQ(lumlive::soundTime(hours100 + 1, rate), int64_t{100} * 3600 * 1'000'000'000 + 20833);
}

TEST(LiveRun, SettingsAndRestartsComeBetweenFrames) {
    Host host;
    lumlive::LiveRun run(host.options(false));
    pushBlocks(run, 2, 0.0f, 0);
    ASSERT_TRUE(run.waitDrawn(5s));
    run.set(hangAtId, 500);
    run.restart();
    pushBlocks(run, 2, 0.0f, 0);
    ASSERT_TRUE(run.waitDrawn(5s));
    const auto seen = host.seen();
    ASSERT_EQ(seen.size(), 4u);
    EXPECT_EQ(seen[1].frames, 2u);
    EXPECT_EQ(seen[1].hangAt, 0u);
    // A new run: lumStart again, frames counted from 1, the setting in.
    EXPECT_EQ(seen[2].frames, 1u);
    EXPECT_EQ(seen[2].runs, seen[1].runs + 1);
    EXPECT_EQ(seen[2].run, seen[1].run + 1);
    EXPECT_EQ(seen[2].hangAt, 500u);
}

TEST(LiveRun, ASlowPluginOnALiveHostStaysNearItsSound) {
    Host host;
    auto options = host.options(true);
    options.settings = {{sleepId, 25}};  // 1.5 frame periods a frame
    lumlive::LiveRun run(options);
    // A second of sound in real time, a block at a time, on the wall clock.
    const auto begin = Clock::now();
    std::vector<int64_t> pushedAt;
    for (int i = 0; i < fps; ++i) {
        std::this_thread::sleep_until(begin + i * std::chrono::nanoseconds(periodNs));
        pushBlocks(run, 1, 0.1f, i * periodNs);
    }
    std::this_thread::sleep_for(100ms);
    const auto status = run.status();
    const auto seen = host.seen();
    EXPECT_GT(status.dropped, 0);
    ASSERT_GE(seen.size(), 10u);
    // Each picture shown came from sound at most a few frames older than the
    // newest pushed when it was shown (the sleep of its own frame included).
    for (const auto& picture : seen) {
        const auto sincePush = std::chrono::duration_cast<std::chrono::nanoseconds>(picture.at - begin).count();
        const int64_t newest = std::min<int64_t>(sincePush / periodNs, fps - 1) * periodNs;
        EXPECT_LE(newest - picture.date, 8 * periodNs) << "picture dated " << picture.date;
    }
    EXPECT_EQ(seen.size() + static_cast<std::size_t>(status.dropped), static_cast<std::size_t>(fps));
}

TEST(LiveRun, SoundHandedOverAheadOfTimeIsNotBehind) {
    // Two seconds handed over at once, as a host that buffers ahead does: it
    // is heard over the next two seconds, so none of it is late yet.
    Host host;
    auto options = host.options(true);
    options.settings = {{sleepId, 1}};
    lumlive::LiveRun run(options);
    pushBlocks(run, 2 * fps, 0.1f, 7'000'000'000);
    ASSERT_TRUE(host.waitFor([](const auto& seen, int) { return seen.size() >= 2 * fps; }, 5s));
    EXPECT_EQ(run.status().dropped, 0);
}

TEST(LiveRun, SilenceIsPacedByTheWallClockWhateverTheTimestamps) {
    Host host;
    auto options = host.options(true);
    options.silenceWhenStopped = true;
    lumlive::LiveRun run(options);
    // A file's sound stamped on its own timeline near 0, then the file ends.
    pushBlocks(run, 6, 0.5f, 1000);
    ASSERT_TRUE(host.waitFor([](const auto& seen, int) { return seen.size() >= 6; }));
    const auto before = host.seen().size();
    std::this_thread::sleep_for(600ms);
    const auto seen = host.seen();
    // About 36 frames of silence in 0.6 s: not the uptime of the machine caught up.
    const auto silent = seen.size() - before;
    EXPECT_GE(silent, 5u);
    EXPECT_LE(silent, 60u);
    for (std::size_t i = before; i < seen.size(); ++i) {
        EXPECT_EQ(seen[i].sum, 0u);
        EXPECT_GT(seen[i].date, seen[i - 1].date);
        EXPECT_LT(seen[i].date, 1000 + 2'000'000'000);
    }
}

TEST(LiveRun, AHungPluginIsLeftBehindShowsNothingAndIsLoadedAgain) {
    Host host;
    auto options = host.options(true);
    options.settings = {{hangAtId, 3}};
    options.hangAfter = 300ms;
    options.firstRetry = 200ms;
    options.silenceWhenStopped = true;
    lumlive::LiveRun run(options);
    ASSERT_TRUE(host.waitFor([](const auto&, int nothing) { return nothing >= 1; }, 5s));
    EXPECT_EQ(host.seen().size(), 2u);
    const auto status = run.status();
    EXPECT_TRUE(status.failed);
    EXPECT_NE(status.failure.find("did not return"), std::string::npos);
    EXPECT_GT(status.retryIn.count(), 0);
    // The host mends the setting; the next load gets it and draws again.
    run.set(hangAtId, 0);
    ASSERT_TRUE(host.waitFor([](const auto& seen, int) { return seen.size() >= 6; }, 5s));
    EXPECT_FALSE(run.status().failed);
    EXPECT_EQ(host.seen().back().hangAt, 0u);
    bool failedLine = false;
    for (const auto& line : host.lines()) failedLine = failedLine || line.find("loaded again in") != std::string::npos;
    EXPECT_TRUE(failedLine);
}

TEST(LiveRun, StopReturnsPromptlyFromAHungPluginAndCallsNothingAfter) {
    Host host;
    auto options = host.options(true);
    options.settings = {{hangAtId, 2}};
    options.silenceWhenStopped = true;  // blocks keep coming while it hangs
    auto run = std::make_unique<lumlive::LiveRun>(options);
    ASSERT_TRUE(host.waitFor([](const auto& seen, int) { return seen.size() >= 1; }));
    std::this_thread::sleep_for(200ms);
    const auto begin = Clock::now();
    run.reset();
    EXPECT_LT(Clock::now() - begin, 2s);
    host.closed();
    std::this_thread::sleep_for(100ms);
    EXPECT_FALSE(host.calledAfterStop());
}

TEST(LiveRun, ACanvasLargerThanThePluginCanDrawShowsNothingUntilMended) {
    Host host;
    lumlive::LiveRun run(host.options(false));
    EXPECT_EQ(lumlive::canvasLimitFor(PACED_PLUGIN_PATH).width, 16384);
    run.resize(20000, 2);
    pushBlocks(run, 2, 0.0f, 0);
    ASSERT_TRUE(host.waitFor([](const auto&, int nothing) { return nothing >= 1; }));
    run.waitDrawn(2s);
    EXPECT_TRUE(host.seen().empty());
    run.resize(8, 2);
    pushBlocks(run, 2, 0.0f, 2 * periodNs);
    ASSERT_TRUE(run.waitDrawn(5s));
    EXPECT_EQ(host.seen().size(), 2u);
}

TEST(LiveRun, APluginThatCannotBeLoadedFailsWithOneLine) {
    Host host;
    auto options = host.options(true);
    options.pluginFile = "/nonexistent/nothing.lum";
    options.retries = 0;
    lumlive::LiveRun run(options);
    ASSERT_TRUE(host.waitFor([](const auto&, int nothing) { return nothing >= 1; }));
    pushBlocks(run, 3, 0.0f, 0);
    EXPECT_TRUE(run.status().failed);
    EXPECT_EQ(run.status().retryIn.count(), 0);
    ASSERT_EQ(host.lines().size(), 1u);
    EXPECT_NE(host.lines()[0].find("given up"), std::string::npos);
}

// A host that restarts (a seek) sends what follows at once: a picture of the
// run before, still being drawn, must not reach it afterwards.
TEST(LiveRun, NoPictureOfARunBeforeARestartComesAfterIt) {
    Host host;
    auto options = host.options(true);
    options.settings = {{sleepId, 300}};
    lumlive::LiveRun run(options);
    pushBlocks(run, 1, 0.0f, 0);
    std::this_thread::sleep_for(150ms);  // inside the plug-in with the first block
    run.restart();
    const auto restarted = Clock::now();
    std::this_thread::sleep_for(400ms);
    for (const auto& picture : host.seen()) EXPECT_LT(picture.at, restarted) << "a picture of run " << picture.run << " after the restart";
}

// A host waiting for every block drawn is let go when the plug-in hangs: the
// block the hung thread held is never drawn.
TEST(LiveRun, WaitingForEveryBlockEndsWhenThePluginHangs) {
    Host host;
    auto options = host.options(false);
    options.settings = {{hangAtId, 2}};
    options.hangAfter = 300ms;
    options.firstRetry = 10s;
    lumlive::LiveRun run(options);
    pushBlocks(run, 4, 0.0f, 0);
    const auto begin = Clock::now();
    EXPECT_FALSE(run.waitDrawn(5s));
    EXPECT_LT(Clock::now() - begin, 3s);
    EXPECT_EQ(host.nothing(), 1);
}

}  // namespace
