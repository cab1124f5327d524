// The canvas size as given on the command line.
#include <gtest/gtest.h>

#include "lumhost/base/host_error.h"
#include "lumhost/cli/frame_size.h"

namespace lumhost {
namespace {

TEST(FrameSizes, WidthByHeightWithinBounds) {
    const auto size = parseFrameSize("1280x720");
    EXPECT_EQ(size.width, 1280);
    EXPECT_EQ(size.height, 720);
    EXPECT_EQ(parseFrameSize("1X1").height, 1);
    EXPECT_EQ(parseFrameSize("16384x16384").width, 16384);
    for (const char* bad : {"", "1280", "1280x", "0x720", "1280x0", "16385x2", "1280 x 720", "-1x5", "12.5x4"})
        EXPECT_THROW(parseFrameSize(bad), HostError) << bad;
}

}  // namespace
}  // namespace lumhost
