// Bringing a stroke's end points into a range where the rasteriser's
// arithmetic is exact.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace gyrotrail {

// Coordinates beyond this are first cut back to it along the segment. The
// canvas is far smaller, so only segments running far off it are affected,
// and in 64-bit integers and doubles every product below stays exact.
inline constexpr int64_t kCoordLimit = int64_t{1} << 28;

struct Segment {
    int64_t x0, y0, x1, y1;
};

// Cuts the segment to the square of side 2*kCoordLimit (Liang-Barsky).
// Returns false when nothing of it is inside.
inline bool cutToLimit(Segment& s) {
    auto inside = [](int64_t v) { return v >= -kCoordLimit && v <= kCoordLimit; };
    if (inside(s.x0) && inside(s.y0) && inside(s.x1) && inside(s.y1)) return true;
    const double dx = static_cast<double>(s.x1 - s.x0);
    const double dy = static_cast<double>(s.y1 - s.y0);
    double t0 = 0.0, t1 = 1.0;
    auto edge = [&](double p, double q) {  // keeps the part where p*t <= q
        if (p == 0.0) return q >= 0.0;
        const double t = q / p;
        if (p < 0.0) {
            if (t > t1) return false;
            t0 = std::max(t0, t);
        } else {
            if (t < t0) return false;
            t1 = std::min(t1, t);
        }
        return true;
    };
    const double ld = static_cast<double>(kCoordLimit);
    const double fx = static_cast<double>(s.x0), fy = static_cast<double>(s.y0);
    if (!edge(-dx, fx + ld) || !edge(dx, ld - fx) || !edge(-dy, fy + ld) || !edge(dy, ld - fy)) return false;
    const Segment from = s;
    s.x0 = std::llround(static_cast<double>(from.x0) + t0 * dx);
    s.y0 = std::llround(static_cast<double>(from.y0) + t0 * dy);
    s.x1 = std::llround(static_cast<double>(from.x0) + t1 * dx);
    s.y1 = std::llround(static_cast<double>(from.y0) + t1 * dy);
    return true;
}

}  // namespace gyrotrail
