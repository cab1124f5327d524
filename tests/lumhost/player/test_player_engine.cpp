// The player without its window: files in turn past broken ones, pause,
// seeking, the delay, volume and mute, on sounds and an output the test makes.
#include <gtest/gtest.h>

#include <cmath>
#include <map>

#include "lumhost/base/host_error.h"
#include "lumhost/base/time_text.h"
#include "lumhost/player/player.h"
#include "player_fakes.h"

namespace lumhost {
namespace {

constexpr int fps = 60;

// The left channel counts sample frames round from the file's beginning, so
// a block says where in its file it was cut.
float counting(int64_t frame, int channel) {
    const float value = static_cast<float>(frame % 200 - 100) / 128;
    return channel == 0 ? value : -value;
}
int8_t countedByte(int64_t frame) { return static_cast<int8_t>(frame % 200 - 100); }

// Whether a planar block's left third is the counted sound from `first` on.
bool holdsFrom(const std::vector<int8_t>& block, int64_t first) {
    const std::size_t count = block.size() / 3;
    for (std::size_t i = 0; i < count; ++i)
        if (block[i] != countedByte(first + static_cast<int64_t>(i))) return false;
    return count > 0;
}

class PlayerRun : public ::testing::Test {
protected:
    struct File {
        int rate, channels;
        double seconds;
    };
    // The files there are; any other name cannot be opened.
    std::map<std::string, File> files{{"one.wav", {48000, 2, 0.5}}, {"three.wav", {44100, 1, 0.3}}, {"long.wav", {48000, 2, 10}},
                                      {"silent.wav", {48000, 2, 0}}};
    std::vector<std::pair<std::string, double>> opened;  // each file asked for, and from where
    FakeOutput* output = nullptr;
    int outputsMade = 0;
    RecordingScreen screen;
    std::vector<std::vector<int8_t>> blocks;

    Player makePlayer(std::vector<std::string> arguments, int delayMs = 0) {
        PlayerSettings settings;
        settings.arguments = std::move(arguments);
        settings.fps = fps;
        settings.delayMs = delayMs;
        const auto open = [this](const std::optional<std::string>& file, double start, std::optional<double>) -> std::unique_ptr<AudioSource> {
            const auto name = file.value_or("demo");
            opened.emplace_back(name, start);
            const auto found = files.find(name);
            if (found == files.end()) throw HostError("cannot open audio " + name + ": no such file");
            const auto& sound = found->second;
            const auto skip = std::llround(start * sound.rate);
            return std::make_unique<FakeSound>(
                sound.rate, sound.channels, std::max<int64_t>(0, std::llround(sound.seconds * sound.rate) - skip),
                [skip](int64_t frame, int channel) { return counting(skip + frame, channel); }, name);
        };
        const auto makeOutput = [this](int rate, int channels) {
            auto made = std::make_unique<FakeOutput>(rate, channels);
            output = made.get();
            ++outputsMade;
            return made;
        };
        return Player(settings, open, makeOutput);
    }

    // Runs the player for `seconds` of the output's clock, in hundredths; stops once the run is over.
    void playFor(Player& player, double seconds) {
        for (int step = 0; step < std::lround(seconds * 100) && !player.over(); ++step) {
            player.advance(screen, [this](const std::vector<int8_t>& block) { blocks.push_back(block); });
            output->play(output->rate() / 100);
        }
    }
    std::vector<std::string> openedNames() const {
        std::vector<std::string> names;
        for (const auto& [name, start] : opened) names.push_back(name);
        return names;
    }
};

TEST_F(PlayerRun, PlaysItsFilesInOrderPastABrokenOne) {
    auto player = makePlayer({"one.wav", "broken.wav", "three.wav"});
    ::testing::internal::CaptureStderr();
    player.begin();
    EXPECT_EQ(player.label(), "one.wav");
    EXPECT_EQ(player.where(), "one.wav  " + formatTime(0) + " / " + formatTime(0.5) + "  [1/3]");
    playFor(player, 3);
    const auto said = ::testing::internal::GetCapturedStderr();
    EXPECT_TRUE(player.over());
    EXPECT_EQ(openedNames(), (std::vector<std::string>{"one.wav", "broken.wav", "three.wav"}));
    EXPECT_EQ(screen.titles, std::vector<std::string>{"three.wav"});
    EXPECT_EQ(said, "lumhost: cannot open audio broken.wav: no such file\n");
    EXPECT_EQ(player.failures(), 1);
    // 24000 sample frames of one.wav in blocks of 800, 13230 of three.wav in blocks of 735.
    EXPECT_EQ(blocks.size(), std::size_t{30 + 18}) << "both good files in full";
    EXPECT_EQ(outputsMade, 2) << "a new output for the second file's rate";
    EXPECT_EQ(output->channels(), 1);
}

TEST_F(PlayerRun, FailsToBeginOnlyWhenNothingPlays) {
    auto single = makePlayer({"broken.wav"});
    EXPECT_THROW(single.begin(), HostError) << "one file: its own error";
    auto none = makePlayer({"broken.wav", "silent.wav"});
    ::testing::internal::CaptureStderr();
    try {
        none.begin();
        ADD_FAILURE() << "began";
    } catch (const HostError& error) {
        EXPECT_STREQ(error.what(), "no file of the playlist plays");
    }
    EXPECT_EQ(::testing::internal::GetCapturedStderr(),
              "lumhost: cannot open audio broken.wav: no such file\nlumhost: audio silent.wav holds no sound\n");
}

TEST_F(PlayerRun, BackPastFilesThatDoNotPlayTheFilePlayingPlaysOn) {
    for (const char* before : {"broken.wav", "silent.wav"}) {
        SCOPED_TRACE(before);
        blocks.clear();
        auto player = makePlayer({before, "one.wav"});
        ::testing::internal::CaptureStderr();
        player.begin();
        playFor(player, 0.2);
        player.changeFile(-1, screen);
        ::testing::internal::GetCapturedStderr();
        EXPECT_FALSE(player.over());
        EXPECT_EQ(player.label(), "one.wav");
        EXPECT_EQ(player.index(), 1u);
        playFor(player, 2);
        EXPECT_TRUE(player.over()) << "and on to its end";
        EXPECT_GE(blocks.size(), static_cast<std::size_t>(0.5 * fps));
    }
}

TEST_F(PlayerRun, PauseHoldsTheClockAndTheFigure) {
    auto player = makePlayer({"long.wav"});
    player.begin();
    playFor(player, 0.5);
    ::testing::internal::CaptureStderr();
    player.togglePause(screen);
    const double at = player.seconds();
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "lumhost: paused at " + formatTime(at) + "\n");
    EXPECT_EQ(screen.shown.back(), (std::vector<std::string>{"paused", player.where()}));
    EXPECT_EQ(screen.lastSeconds, 0) << "shown for as long as it is paused";
    const auto shownBefore = blocks.size();
    playFor(player, 1);
    EXPECT_EQ(blocks.size(), shownBefore);
    EXPECT_EQ(player.seconds(), at);
    ::testing::internal::CaptureStderr();
    player.togglePause(screen);
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "lumhost: playing from " + formatTime(at) + "\n");
    playFor(player, 0.2);
    EXPECT_GT(blocks.size(), shownBefore);
    EXPECT_TRUE(holdsFrom(blocks[shownBefore], static_cast<int64_t>(shownBefore) * 800)) << "on from where it stood";
}

TEST_F(PlayerRun, SeekingMovesWithinTheFileAndPastItsEndToTheNext) {
    auto player = makePlayer({"long.wav", "one.wav"});
    player.begin();
    playFor(player, 1);
    ::testing::internal::CaptureStderr();
    const double target = player.seconds() + 5;
    player.seek(5, screen);
    EXPECT_EQ(opened.back(), (std::pair<std::string, double>{"long.wav", target}));
    EXPECT_EQ(player.seconds(), target);
    blocks.clear();
    playFor(player, 0.05);
    ASSERT_FALSE(blocks.empty());
    EXPECT_TRUE(holdsFrom(blocks[0], std::llround(target * 48000))) << "the figure goes on from the new place";
    player.seek(-60, screen);
    EXPECT_EQ(opened.back().second, 0.0) << "not before the start";
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "lumhost: at " + formatTime(target) + "\nlumhost: at " + formatTime(0) + "\n");
    player.seek(60, screen);
    EXPECT_EQ(player.label(), "one.wav");
    EXPECT_EQ(screen.titles, std::vector<std::string>{"one.wav"});
    player.seek(60, screen);
    EXPECT_TRUE(player.over()) << "past the end of the last file";
}

TEST_F(PlayerRun, ALateFigureEndsTheRunOnceItHasCaughtUp) {
    for (int delayMs : {50, 0, -50}) {
        SCOPED_TRACE(delayMs);
        blocks.clear();
        auto player = makePlayer({"one.wav"}, delayMs);
        player.begin();
        int steps = 0;
        for (; steps < 300 && !player.over(); ++steps) {
            player.advance(screen, [this](const std::vector<int8_t>& block) { blocks.push_back(block); });
            output->play(480);
            ASSERT_LE(player.seconds(), player.end()) << "the silence after the sound is not part of the file";
        }
        ASSERT_TRUE(player.over());
        EXPECT_EQ(blocks.size(), static_cast<std::size_t>(0.5 * fps)) << "every block shown";
        // In hundredths of a second: the sound's half second, and the delay after it.
        EXPECT_GE(steps, 50 + std::max(delayMs, 0) / 10);
        EXPECT_LE(steps, 52 + std::max(delayMs, 0) / 10);
    }
}

TEST_F(PlayerRun, TheDelayKeysShiftTheFigureWithinTheLimits) {
    auto player = makePlayer({"long.wav"});
    player.begin();
    playFor(player, 0.5);
    const auto shownBefore = blocks.size();
    ::testing::internal::CaptureStderr();
    player.changeDelay(200, screen);
    playFor(player, 0.15);
    EXPECT_EQ(blocks.size(), shownBefore) << "the figure waits for its sound to be 0.2 s old";
    playFor(player, 0.1);
    EXPECT_GT(blocks.size(), shownBefore);
    player.changeDelay(-10 * lumrules::maxDelayMs, screen);
    player.changeDelay(10 * lumrules::maxDelayMs, screen);
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "lumhost: " + delayText(200) + "\nlumhost: " + delayText(lumrules::minDelayMs) +
                                                            "\nlumhost: " + delayText(lumrules::maxDelayMs) + "\n");
    EXPECT_EQ(screen.shown.back(), std::vector<std::string>{delayText(lumrules::maxDelayMs)});
}

TEST_F(PlayerRun, VolumeAndMuteApplyToWhatIsQueuedAtOnce) {
    auto player = makePlayer({"long.wav"});
    player.begin();
    playFor(player, 0.3);
    // Whether the output was started again where the clock stood and holds
    // the sound from there on at this gain.
    const auto requeuedAt = [&](int64_t heard, float gain) {
        const auto& queued = output->queuedLeft();
        if (output->restarts().back() != heard || output->position() != heard || queued.size() < 1000) return false;
        for (std::size_t i = 0; i < queued.size(); ++i)
            if (queued[i] != counting(heard + static_cast<int64_t>(i), 0) * gain) return false;
        return true;
    };
    // Each key comes after the blocks of the moment have been shown, as in the window's loop.
    const auto showDue = [&] { player.advance(screen, [this](const std::vector<int8_t>& block) { blocks.push_back(block); }); };
    ::testing::internal::CaptureStderr();
    showDue();
    int64_t heard = output->position();
    player.toggleMute(screen);
    EXPECT_TRUE(player.muted());
    EXPECT_TRUE(requeuedAt(heard, 0));
    playFor(player, 0.1);
    showDue();
    heard = output->position();
    player.toggleMute(screen);
    EXPECT_TRUE(requeuedAt(heard, 1));
    player.changeVolume(-30, screen);
    EXPECT_TRUE(requeuedAt(heard, 0.7f));
    player.changeVolume(50, screen);
    player.changeVolume(-200, screen);
    EXPECT_EQ(player.volume(), 0);
    EXPECT_FALSE(player.muted());
    EXPECT_EQ(::testing::internal::GetCapturedStderr(),
              "lumhost: muted\nlumhost: volume 100%\nlumhost: volume 70%\nlumhost: volume 100%\nlumhost: volume 0%\n");
}

}  // namespace
}  // namespace lumhost
