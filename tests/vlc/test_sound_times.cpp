// VLC's channels put into the order lumhost reads from a file, and the times
// of a run's samples from VLC's block times.
#include <gtest/gtest.h>

#include <vector>

#include "rules/samples.h"
#include "vlc/sound_times.h"

namespace {

using namespace lumvlc::speaker;

// One sample frame with each channel carrying its speaker's bit, in VLC's order.
std::vector<float> vlcFrame(const std::vector<uint32_t>& speakersInVlcOrder) {
    std::vector<float> frame;
    for (const auto bit : speakersInVlcOrder) frame.push_back(static_cast<float>(bit));
    return frame;
}

TEST(ChannelOrder, LayoutsVlcReordersComeBackInWaveOrder) {
    struct Case {
        uint32_t mask;
        std::vector<uint32_t> vlc, wave;
    };
    const std::vector<Case> cases = {
        // 5.1 with rear speakers, as a WAVE file's mask 0x3f is read.
        {left | right | centre | lowFrequency | rearLeft | rearRight,
         {left, right, rearLeft, rearRight, centre, lowFrequency},
         {left, right, centre, lowFrequency, rearLeft, rearRight}},
        // 5.1 with side speakers.
        {left | right | centre | lowFrequency | middleLeft | middleRight,
         {left, right, middleLeft, middleRight, centre, lowFrequency},
         {left, right, centre, lowFrequency, middleLeft, middleRight}},
        // 7.1 and 6.1: the rears (or rear centre) before the sides.
        {left | right | centre | lowFrequency | rearLeft | rearRight | middleLeft | middleRight,
         {left, right, middleLeft, middleRight, rearLeft, rearRight, centre, lowFrequency},
         {left, right, centre, lowFrequency, rearLeft, rearRight, middleLeft, middleRight}},
        {left | right | centre | lowFrequency | rearCentre | middleLeft | middleRight,
         {left, right, middleLeft, middleRight, rearCentre, centre, lowFrequency},
         {left, right, centre, lowFrequency, rearCentre, middleLeft, middleRight}},
        // 3.0.
        {left | right | centre, {left, right, centre}, {left, right, centre}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.mask);
        const auto order = lumvlc::waveOrderOf(c.mask);
        const auto in = vlcFrame(c.vlc);
        std::vector<float> out;
        if (order.empty()) {
            out = in;
        } else {
            lumvlc::reorder(in.data(), 1, order, out);
        }
        EXPECT_EQ(out, vlcFrame(c.wave));
    }
}

TEST(ChannelOrder, MonoAndStereoAreLeftAsTheyCome) {
    EXPECT_TRUE(lumvlc::waveOrderOf(centre).empty());
    EXPECT_TRUE(lumvlc::waveOrderOf(left | right).empty());
}

// Reordered 5.1 is mixed down as lumhost mixes the file's channels.
TEST(ChannelOrder, ReorderedSurroundMixesAsTheFileDoes) {
    const std::vector<float> file = {0.1f, 0.2f, 0.3f, 0.4f, 0.5f, 0.6f, -0.1f, -0.2f, -0.3f, -0.4f, -0.5f, -0.6f};  // L R C LFE BL BR
    std::vector<float> vlc;
    for (std::size_t f = 0; f < 2; ++f)
        for (const int c : {0, 1, 4, 5, 2, 3}) vlc.push_back(file[f * 6 + static_cast<std::size_t>(c)]);
    std::vector<float> reordered;
    lumvlc::reorder(vlc.data(), 2, lumvlc::waveOrderOf(left | right | centre | lowFrequency | rearLeft | rearRight), reordered);
    std::vector<float> fromVlc, fromFile;
    lumrules::mixDown(reordered.data(), 2, 6, fromVlc);
    lumrules::mixDown(file.data(), 2, 6, fromFile);
    EXPECT_EQ(fromVlc, fromFile);
}

TEST(SoundTimes, SamplesAreTimedFromTheBlockTheyCameIn) {
    lumvlc::SoundTimes times(48000);
    times.add(1000000, 2400);  // 50 ms
    times.add(1050000, 2400);
    // After a pause, the next block is heard later than the last one's end.
    times.add(3000000, 2400);
    EXPECT_EQ(times.timeOf(0), 1000000);
    EXPECT_EQ(times.timeOf(480), 1010000);
    EXPECT_EQ(times.timeOf(2400), 1050000);
    EXPECT_EQ(times.timeOf(4799), 1050000 + 2399 * 1000000LL / 48000);
    EXPECT_EQ(times.timeOf(4800 + 48), 3001000);
    EXPECT_FALSE(times.timeOf(7200).has_value()) << "no block has brought it yet";
    // Earlier blocks are forgotten once a later sample is asked for.
    EXPECT_FALSE(times.timeOf(10).has_value());
}

TEST(SoundTimes, ARestartCountsFromTheNextBlock) {
    lumvlc::SoundTimes times(44100);
    times.add(500000, 4410);
    times.restart(44100);
    EXPECT_FALSE(times.timeOf(0).has_value());
    times.add(9000000, 441);
    EXPECT_EQ(times.timeOf(0), 9000000);
    EXPECT_EQ(times.timeOf(441 / 2), 9000000 + 220 * 1000000LL / 44100);
    EXPECT_EQ(times.samples(), 441);
}

}  // namespace
