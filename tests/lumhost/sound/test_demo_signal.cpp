// The demo signal, as the plug-in sees it.
#include <gtest/gtest.h>

#include <cmath>

#include "lumhost/sound/demo_signal.h"
#include "rules/block_cutter.h"
#include "rules/demo_signal.h"

namespace lumhost {
namespace {

TEST(DemoSignal, TwentySecondsOfMovingStereoThatStaysInTheFrame) {
    auto demo = makeDemoSignal();
    ASSERT_EQ(demo->channels(), 2);
    EXPECT_EQ(demo->frames(), int64_t{lumrules::demoSampleRate} * lumrules::demoSeconds);
    // The plug-in's view at 60 fps with its default zoom (sums / 10).
    std::vector<float> samples(800 * 2);
    std::vector<int8_t> block;
    int64_t read = 0;
    int maxReach = 0, framesOffDiagonal = 0, framesMoving = 0;
    while (const auto got = demo->read(samples.data(), 800)) {
        read += static_cast<int64_t>(got);
        lumrules::makeSoundBlock(samples.data(), got, 2, lumrules::BlockLayout::planar, block);
        int left = 0, right = 0;
        for (std::size_t i = 0; i < got; ++i) {
            left += block[i];
            right += block[got + i];
        }
        maxReach = std::max({maxReach, std::abs(left) / 10, std::abs(right) / 10});
        if (std::abs(left - right) > 500) ++framesOffDiagonal;
        if (std::abs(left) + std::abs(right) > 500) ++framesMoving;
    }
    EXPECT_EQ(read, demo->frames());
    EXPECT_LT(maxReach, 360) << "within half a 720-pixel frame";
    EXPECT_GT(framesOffDiagonal, 200) << "the channels differ: stereo movement";
    EXPECT_GT(framesMoving, 600) << "the figure moves most of the time";
}

}  // namespace
}  // namespace lumhost
