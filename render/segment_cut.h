// Bringing a stroke's end points into a range where the rasteriser's
// arithmetic is exact.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace gyrotrail {

// Coordinates beyond this are first cut back to it along the segment (the
// cut points rounded to whole pixels). In 64-bit integers every product the
// rasteriser forms from coordinates within it stays exact.
//
// Where GDI stops following the geometry: under Wine, a wide pen's band
// disappears (only its tips are drawn) once the far end lies more than about
// 2^24 pixels away in both directions, or about 2^25 in one; one-pixel lines
// keep to the geometry to at least 2^27. Within 2^23 of the canvas every
// stroke measured is identical. The canvas does not copy the dropped band:
// it is an artefact of GDI's arithmetic, and a trail segment would vanish
// from the screen for it, so the canvas goes on drawing every stroke by the
// same rules out to this limit, and beyond it the cut-back stroke.
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
