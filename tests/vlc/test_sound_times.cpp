// VLC's channels put into the order lumhost reads from a file.
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

}  // namespace
