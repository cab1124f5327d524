// The sound of the file playing against the output's clock: which blocks
// come when, with the figure shown late or early, and the end of the sound.
#include <gtest/gtest.h>

#include "lumhost/player/sound_window.h"
#include "player_fakes.h"

namespace lumhost {
namespace {

constexpr int rate = 48000, fps = 60, blockFrames = rate / fps;

// The left channel counts sample frames round (so every byte of a block
// says which frame it came from), the right is its negative.
float counting(int64_t frame, int channel) {
    const float value = static_cast<float>(frame % 200 - 100) / 128;
    return channel == 0 ? value : -value;
}
int8_t countedByte(int64_t frame) { return static_cast<int8_t>(frame % 200 - 100); }

// Half a second and a little more, so the last block is short.
constexpr int64_t soundFrames = rate / 2 + 123;

std::unique_ptr<AudioSource> countingSound() { return std::make_unique<FakeSound>(rate, 2, soundFrames, counting); }

// The figure's delay in sample frames: none, a tenth of a second late, a tenth early.
class SoundWindowDelay : public ::testing::TestWithParam<int64_t> {};

TEST_P(SoundWindowDelay, EachBlockComesOnceTheClockLessTheDelayReachesItsFrame) {
    const int64_t delay = GetParam();
    FakeOutput output(rate, 2);
    SoundWindow window(countingSound(), output, fps, lumrules::BlockLayout::planar);
    std::vector<int8_t> block, left;
    int64_t blocks = 0;
    for (int64_t step = 0; step < 400 && !window.finished(delay); ++step) {
        window.fill(delay);
        while (window.nextBlock(delay, block)) {
            ++blocks;
            ASSERT_EQ(block.size() % 3, 0u);
            left.insert(left.end(), block.begin(), block.begin() + static_cast<std::ptrdiff_t>(block.size() / 3));
        }
        // Every frame that has begun on the shifted clock, none after it.
        const int64_t figureAt = output.position() - delay;
        const int64_t due = figureAt < 0 ? 0 : std::min(figureAt / blockFrames + 1, (soundFrames + blockFrames - 1) / blockFrames);
        ASSERT_EQ(blocks, due) << "clock at " << output.position();
        output.play(100);
    }
    ASSERT_TRUE(window.finished(delay));
    ASSERT_EQ(static_cast<int64_t>(left.size()), soundFrames) << "every sample frame in one block, none twice";
    for (int64_t i = 0; i < soundFrames; ++i) ASSERT_EQ(left[static_cast<std::size_t>(i)], countedByte(i)) << "frame " << i;
    EXPECT_EQ(block.size(), 3u * (soundFrames % blockFrames)) << "the last block takes what is left";
}

TEST_P(SoundWindowDelay, EndsOnceBothTheSoundAndTheDelayedFigureHaveRunOut) {
    const int64_t delay = GetParam();
    FakeOutput output(rate, 2);
    SoundWindow window(countingSound(), output, fps, lumrules::BlockLayout::planar);
    std::vector<int8_t> block;
    // The time gone by, in sample frames: the output's clock stops where its sound does.
    int64_t elapsed = 0;
    for (; elapsed < 4 * rate && !window.finished(delay); elapsed += 100) {
        window.fill(delay);
        while (window.nextBlock(delay, block)) {
        }
        output.play(100);
    }
    ASSERT_TRUE(window.finished(delay)) << "still going " << elapsed << " sample frames in";
    EXPECT_GE(output.position(), soundFrames) << "the sound is heard to its end";
    EXPECT_GE(elapsed, soundFrames + std::max<int64_t>(delay, 0)) << "a late figure runs on after the sound";
    EXPECT_LT(elapsed, soundFrames + std::max<int64_t>(delay, 0) + 200);
}

TEST_P(SoundWindowDelay, QueuesWhatIsNotYetHeardAgainFromWhereTheClockIs) {
    const int64_t delay = GetParam();
    FakeOutput output(rate, 2);
    SoundWindow window(countingSound(), output, fps, lumrules::BlockLayout::planar);
    std::vector<int8_t> block;
    for (int step = 0; step < 100; ++step) {
        window.fill(delay);
        while (window.nextBlock(delay, block)) {
        }
        output.play(100);
    }
    const int64_t heard = output.position();
    ASSERT_GT(heard, 0);
    output.setGain(0.5f);
    window.requeue();
    EXPECT_EQ(output.position(), heard) << "the clock stays where it was";
    ASSERT_EQ(output.restarts().back(), heard);
    const auto& queued = output.queuedLeft();
    ASSERT_FALSE(queued.empty());
    for (std::size_t i = 0; i < queued.size() && static_cast<int64_t>(i) + heard < soundFrames; ++i)
        ASSERT_EQ(queued[i], counting(heard + static_cast<int64_t>(i), 0) * 0.5f) << "sample " << i << " after the clock";
}

INSTANTIATE_TEST_SUITE_P(SampleFrames, SoundWindowDelay, ::testing::Values(int64_t{0}, int64_t{rate / 10}, int64_t{-rate / 10}));

TEST(SoundWindow, ASoundWithNothingInItFailsAtOnce) {
    FakeOutput output(rate, 2);
    SoundWindow window(std::make_unique<FakeSound>(rate, 2, 0, counting, "empty.wav"), output, fps, lumrules::BlockLayout::planar);
    try {
        window.fill(0);
        FAIL() << "no error";
    } catch (const std::exception& error) {
        EXPECT_STREQ(error.what(), "audio empty.wav holds no sound");
    }
}

}  // namespace
}  // namespace lumhost
