#include "pen_tip.h"

#include <algorithm>
#include <cmath>

namespace gyrotrail {

int32_t wideTipReach(int32_t width, int32_t i) {
    // Pixel centres within w/2 of the tip's centre, which is the point for
    // odd widths and half a pixel up and left for even ones.
    const double w = width, y = width % 2 == 0 ? i + 0.5 : i;
    const double half = std::sqrt(std::max(0.0, w * w / 4.0 - y * y));
    return static_cast<int32_t>(std::floor(width % 2 == 0 ? half - 0.5 : half));
}

}  // namespace gyrotrail
