// Live sound's blocks: as they arrive, held by the delay, dropped when the
// host falls behind a device, and a device lost on the way.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <thread>

#include "lumhost/player/live_blocks.h"
#include "lumhost/sound/live_source.h"
#include "rules/defaults.h"

namespace lumhost {
namespace {

constexpr int rate = 48000, fps = 60, blockFrames = rate / fps;

int8_t countedByte(int64_t frame) { return static_cast<int8_t>(frame % 200 - 100); }

// A capture device or a pipe the test feeds: sound "arrives" when told, its
// left channel counting sample frames round. Once lost, what arrived after
// the loss can no longer be read although the device still said it was there.
class FakeLiveSound final : public AudioSource {
public:
    explicit FakeLiveSound(bool paced) : paced_(paced) {}

    void arrive(int64_t frames) { arrived_ += frames; }
    void lose(int64_t atFrame) { lostAt_ = atFrame; }
    void end() { ended_ = true; }

    int channels() const override { return 2; }
    int sampleRate() const override { return rate; }
    int64_t frames() const override { return 0; }
    std::string name() const override { return "device"; }
    bool live() const override { return true; }
    bool paced() const override { return paced_; }
    int64_t available() const override { return arrived_ - next_; }
    bool ended() const override { return ended_; }
    std::size_t read(float* interleaved, std::size_t count) override {
        const int64_t end = std::min(arrived_, lostAt_);
        const auto n = static_cast<std::size_t>(std::clamp<int64_t>(end - next_, 0, static_cast<int64_t>(count)));
        for (std::size_t i = 0; i < n; ++i, ++next_) {
            interleaved[2 * i] = static_cast<float>(next_ % 200 - 100) / 128;
            interleaved[2 * i + 1] = 0;
        }
        return n;
    }

private:
    bool paced_;
    bool ended_ = false;
    int64_t arrived_ = 0, next_ = 0, lostAt_ = INT64_MAX;
};

// Live sound as lumhost's own sources take it in: a ring the test puts into
// as a device's callback or a reader thread would, then closes.
class FedLiveSound final : public LiveSource {
public:
    explicit FedLiveSound(bool paced) : LiveSource(rate, 2, 1.0, paced) {}
    std::string name() const override { return "fed"; }
    void feed(int64_t frames) {
        std::vector<float> samples(static_cast<std::size_t>(frames) * 2);
        for (int64_t i = 0; i < frames; ++i, ++next_) samples[static_cast<std::size_t>(2 * i)] = static_cast<float>(next_ % 200 - 100) / 128;
        put(samples.data(), static_cast<std::size_t>(frames));
    }
    void finish() { close(std::nullopt); }
    void finish(const std::string& failure) { close(failure); }

private:
    int64_t next_ = 0;
};

// The blocks handed to the plug-in, in order.
struct Shown {
    std::vector<std::vector<int8_t>> blocks;
    BlockShow show() {
        return [this](const std::vector<int8_t>& block) { blocks.push_back(block); };
    }
};

// Whether a planar block's left third is the counted sound from `first` on.
bool holdsFramesFrom(const std::vector<int8_t>& block, int64_t first) {
    const std::size_t count = block.size() / 3;
    for (std::size_t i = 0; i < count; ++i)
        if (block[i] != countedByte(first + static_cast<int64_t>(i))) return false;
    return count > 0;
}

TEST(LiveBlocks, ADeviceLostMidBlockGivesNoBlockOfOldSound) {
    FakeLiveSound sound(true);
    LiveBlocks blocks(sound, fps, lumrules::BlockLayout::planar, 0);
    Shown shown;
    // Two blocks' worth arrived, but the device went before the second was all read.
    sound.arrive(2 * blockFrames);
    sound.lose(blockFrames + blockFrames / 4);
    blocks.showArrived(shown.show());
    blocks.showArrived(shown.show());
    ASSERT_EQ(shown.blocks.size(), 1u) << "the second block's sound never came in";
    EXPECT_TRUE(holdsFramesFrom(shown.blocks[0], 0));
}

TEST(LiveBlocks, BlocksFollowTheSoundAsItArrives) {
    FakeLiveSound sound(true);
    LiveBlocks blocks(sound, fps, lumrules::BlockLayout::planar, 0);
    Shown shown;
    // In pieces that are not whole blocks: each block once all of it is in.
    for (int piece = 0; piece < 10; ++piece) {
        sound.arrive(blockFrames * 3 / 4);
        blocks.showArrived(shown.show());
        ASSERT_EQ(static_cast<int>(shown.blocks.size()), (piece + 1) * 3 / 4) << "after piece " << piece;
    }
    for (std::size_t i = 0; i < shown.blocks.size(); ++i)
        EXPECT_TRUE(holdsFramesFrom(shown.blocks[i], static_cast<int64_t>(i) * blockFrames)) << "block " << i;
    EXPECT_EQ(blocks.skipped(), 0);
}

TEST(LiveBlocks, FallenBehindADeviceShowsTheNewestAndDropsTheRest) {
    const int64_t backlog = rate;  // a second of sound waiting at once
    for (bool paced : {true, false}) {
        FakeLiveSound sound(paced);
        LiveBlocks blocks(sound, fps, lumrules::BlockLayout::planar, 0);
        Shown shown;
        sound.arrive(backlog);
        blocks.showArrived(shown.show());
        const auto total = static_cast<std::size_t>(backlog / blockFrames);
        ASSERT_FALSE(shown.blocks.empty());
        EXPECT_TRUE(holdsFramesFrom(shown.blocks.back(), backlog - blockFrames)) << "the newest sound is shown";
        EXPECT_EQ(shown.blocks.size() + static_cast<std::size_t>(blocks.skipped()), total);
        if (paced) {
            EXPECT_LE(static_cast<int64_t>(shown.blocks.size()) * blockFrames, rate / 4 + blockFrames) << "at most a quarter second behind";
        } else {
            EXPECT_EQ(shown.blocks.size(), total) << "a pipe waits for the host: nothing is dropped";
        }
    }
}

TEST(LiveBlocks, TheDelayHoldsEachBlockAfterItsSoundArrived) {
    FakeLiveSound sound(false);
    LiveBlocks blocks(sound, fps, lumrules::BlockLayout::planar, 80);
    Shown shown;
    sound.arrive(blockFrames);
    const auto arrived = LiveBlocks::Clock::now();
    EXPECT_FALSE(blocks.showArrived(shown.show()));
    while (shown.blocks.empty() && LiveBlocks::Clock::now() - arrived < std::chrono::seconds(2)) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
        blocks.showArrived(shown.show());
    }
    ASSERT_EQ(shown.blocks.size(), 1u);
    EXPECT_GE(LiveBlocks::Clock::now() - arrived, std::chrono::milliseconds(80));
    // Live sound cannot be shown before it arrives, nor later than the longest delay.
    blocks.setDelay(-30);
    EXPECT_EQ(blocks.delayMs(), 0);
    blocks.setDelay(lumrules::maxDelayMs + 500);
    EXPECT_EQ(blocks.delayMs(), lumrules::maxDelayMs);
}

// Sound that ends part way into a block (a pipe's writer done after 12 and a
// half blocks) ends as a render does: the half is a short last block, and
// the source is then all read, so the window closes.
TEST(LiveBlocks, SoundEndingMidBlockGivesAShortLastBlock) {
    FakeLiveSound sound(false);
    LiveBlocks blocks(sound, fps, lumrules::BlockLayout::planar, 0);
    Shown shown;
    sound.arrive(12 * blockFrames + blockFrames / 2);
    blocks.showArrived(shown.show());
    EXPECT_EQ(shown.blocks.size(), 12u) << "the half block waits while more may come";
    sound.end();
    blocks.showArrived(shown.show());
    blocks.showArrived(shown.show());
    ASSERT_EQ(shown.blocks.size(), 13u);
    EXPECT_EQ(shown.blocks.back().size(), static_cast<std::size_t>(blockFrames / 2 * 3));
    EXPECT_TRUE(holdsFramesFrom(shown.blocks.back(), 12 * blockFrames));
    EXPECT_EQ(sound.available(), 0);
}

TEST(LiveBlocks, ARingClosedMidBlockIsAllReadAndStops) {
    // The writer finished: the rest is a short block, then the source has stopped.
    FedLiveSound pipe(false);
    LiveBlocks fromPipe(pipe, fps, lumrules::BlockLayout::planar, 0);
    Shown shown;
    pipe.feed(blockFrames + blockFrames / 2);
    pipe.finish();
    fromPipe.showArrived(shown.show());
    ASSERT_EQ(shown.blocks.size(), 2u);
    EXPECT_TRUE(holdsFramesFrom(shown.blocks[1], blockFrames));
    EXPECT_TRUE(pipe.stopped());
    EXPECT_FALSE(pipe.failure());
    // A device lost mid-block has stopped too, and says why.
    FedLiveSound device(true);
    LiveBlocks fromDevice(device, fps, lumrules::BlockLayout::planar, 0);
    Shown lost;
    device.feed(blockFrames + blockFrames / 2);
    fromDevice.showArrived(lost.show());
    device.finish("the capture device 'fed' is gone");
    fromDevice.showArrived(lost.show());
    EXPECT_EQ(lost.blocks.size(), 1u);
    EXPECT_TRUE(device.stopped()) << "a lost device must end the run";
    EXPECT_EQ(device.failure().value_or(""), "the capture device 'fed' is gone");
}

// The account of delays kept over a session takes the same room after a
// million blocks as after one, and its figures are the exact ones to within
// its steps (a tenth of a millisecond below 100 ms, a millisecond above).
TEST(DelayTally, FixedRoomAndFiguresWithinItsSteps) {
    DelayTally tally;
    const auto room = tally.footprint();
    std::mt19937 random(7);
    std::uniform_real_distribution<double> near(0, 40), far(100, 2500);
    std::vector<double> exact;
    for (int i = 0; i < 1000000; ++i) {
        const double ms = i % 10 == 0 ? far(random) : near(random);
        tally.add(ms);
        exact.push_back(ms);
    }
    tally.add(9000.25);
    exact.push_back(9000.25);
    EXPECT_EQ(tally.footprint(), room);
    std::sort(exact.begin(), exact.end());
    ASSERT_EQ(tally.count(), static_cast<int64_t>(exact.size()));
    EXPECT_NEAR(tally.atRank(exact.size() / 2), exact[exact.size() / 2], 0.1);
    EXPECT_NEAR(tally.atRank(exact.size() * 95 / 100), exact[exact.size() * 95 / 100], 1.0);
    EXPECT_DOUBLE_EQ(tally.longest(), 9000.25);
    EXPECT_DOUBLE_EQ(tally.atRank(exact.size() - 1), 9000.25);
    // None at all, and below zero (a clock step) counted as nothing.
    DelayTally empty;
    EXPECT_EQ(empty.count(), 0);
    empty.add(-3);
    EXPECT_DOUBLE_EQ(empty.atRank(0), 0.0);
}

}  // namespace
}  // namespace lumhost
