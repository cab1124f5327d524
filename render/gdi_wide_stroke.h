// A wide solid pen's stroke as GDI draws it, row by row in whole numbers.
//
// The stroke is the pen's round tip (pen_tip.h) on each end point and, for
// a stroke of some length, a band between them: the parallelogram p0+L,
// p1+L, p1+R, p0+R, filled with the rule GDI fills polygons with (pixel
// centres inside; on the boundary, only the left and top edges count).
// R and L are whole-pixel offsets from the segment, on its right and its
// left (right: the side towards +x; towards +y for a horizontal segment).
// With e = the segment's normal scaled to half the width, e = w/2 * n:
//   slanted segments: L = -e rounded to the nearest (halves away from 0),
//                     R =  e with each part's size cut down and then grown
//                          by one (floor(|e|) + 1, away from 0);
//   level or upright: L = -e rounded to the nearest (halves toward 0),
//                     R =  e with each part's size rounded up.
// These were found by drawing with GDI and reading the pixels back.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "render/pen_tip.h"
#include "render/segment_cut.h"
#include "render/stepped_quotient.h"

namespace gyrotrail {

// a*b <= c*d for non-negative values below 2^63, exactly.
inline bool productAtMost(uint64_t a, uint64_t b, uint64_t c, uint64_t d) {
    auto wide = [](uint64_t x, uint64_t y, uint64_t& hi, uint64_t& lo) {
        const uint64_t xl = x & 0xFFFFFFFFu, xh = x >> 32, yl = y & 0xFFFFFFFFu, yh = y >> 32;
        const uint64_t ll = xl * yl, lh = xl * yh, hl = xh * yl, hh = xh * yh;
        const uint64_t mid = (ll >> 32) + (lh & 0xFFFFFFFFu) + (hl & 0xFFFFFFFFu);
        lo = (ll & 0xFFFFFFFFu) | (mid << 32);
        hi = hh + (lh >> 32) + (hl >> 32) + (mid >> 32);
    };
    uint64_t h1, l1, h2, l2;
    wide(a, b, h1, l1);
    wide(c, d, h2, l2);
    return h1 < h2 || (h1 == h2 && l1 <= l2);
}

// One part of e: |e| = part * w / (2 * len), len = sqrt(len2), in whole
// numbers. `floor` gives floor(|e|); `nearest` floor(|e| + 1/2) (halves up);
// `nearestDown` the nearest with halves down; `ceil` the ceiling.
class HalfWidthPart {
public:
    HalfWidthPart(int64_t part, int32_t width, int64_t len2)
        : p2w2_(static_cast<uint64_t>(part) * static_cast<uint64_t>(part)), w2_(static_cast<uint64_t>(width) * width),
          len2_(static_cast<uint64_t>(len2)),
          estimate_(static_cast<double>(part < 0 ? -part : part) * width /
                    (2.0 * std::sqrt(static_cast<double>(len2)))) {}

    // The largest n >= 0 with (2n + shift)^2 * len2 <= part^2 * w^2 (shift -1 or 0).
    int64_t largest(int64_t shift) const {
        auto fits = [&](int64_t n) {
            const int64_t m = 2 * n + shift;
            if (m <= 0) return true;
            return productAtMost(static_cast<uint64_t>(m) * static_cast<uint64_t>(m), len2_, p2w2_, w2_);
        };
        int64_t n = static_cast<int64_t>(estimate_ + (shift < 0 ? 0.5 : 0.0));
        while (n > 0 && !fits(n)) --n;
        while (fits(n + 1)) ++n;
        return n;
    }
    bool exact(int64_t n, int64_t shift) const {  // (2n + shift)^2 * len2 == part^2 * w^2
        const int64_t m = 2 * n + shift;
        const uint64_t mm = static_cast<uint64_t>(m) * static_cast<uint64_t>(m);
        return productAtMost(mm, len2_, p2w2_, w2_) && productAtMost(p2w2_, w2_, mm, len2_);
    }
    int64_t floor() const { return largest(0); }
    int64_t nearest() const { return largest(-1); }
    int64_t nearestDown() const {
        const int64_t n = largest(-1);
        return n > 0 && exact(n, -1) ? n - 1 : n;
    }
    int64_t ceil() const {
        const int64_t n = largest(0);
        return exact(n, 0) ? n : n + 1;
    }

private:
    uint64_t p2w2_, w2_, len2_;
    double estimate_;
};

// The band's corners: p0 + left, p1 + left, p1 + right, p0 + right.
struct BandOffsets {
    int64_t lx, ly, rx, ry;
};

inline BandOffsets bandOffsets(int64_t dx, int64_t dy, int32_t width) {
    // The right side's normal: (-dy, dx) or its opposite, whichever points
    // towards +x (or +y when it has no x part).
    int64_t nx = -dy, ny = dx;
    if (!(nx > 0 || (nx == 0 && ny > 0))) {
        nx = -nx;
        ny = -ny;
    }
    const int64_t len2 = dx * dx + dy * dy;
    const HalfWidthPart ex(nx, width, len2), ey(ny, width, len2);
    const int64_t sx = nx > 0 ? 1 : (nx < 0 ? -1 : 0), sy = ny > 0 ? 1 : (ny < 0 ? -1 : 0);
    if (dx == 0 || dy == 0)
        return BandOffsets{-sx * ex.nearestDown(), -sy * ey.nearestDown(), sx * ex.ceil(), sy * ey.ceil()};
    return BandOffsets{-sx * ex.nearest(), -sy * ey.nearest(), sx * (ex.floor() + 1), sy * (ey.floor() + 1)};
}

// One edge of the band, as a bound on x for each row: on the left of the
// band x >= bound (the edge itself counts), on the right x <= bound (it does
// not).
class EdgeBound {
public:
    EdgeBound() = default;
    // The edge a -> b of a polygon whose inside lies where
    // (b - a) x (p - a) >= 0 in window coordinates; first row y.
    EdgeBound(int64_t ax, int64_t ay, int64_t bx, int64_t by, int64_t y) {
        const int64_t ex = bx - ax, ey = by - ay;
        ax_ = ax;
        if (ey < 0) {  // left edge: x >= ax + ceil(-ex * (y - ay) / -ey)
            kind_ = kLeft;
            q_ = SteppedQuotient(-ex * (y - ay), -ey, -ex);
        } else if (ey > 0) {  // right edge: x <= ax + ceil(ex * (y - ay) / ey) - 1
            kind_ = kRight;
            q_ = SteppedQuotient(ex * (y - ay), ey, ex);
        } else {  // level: a top edge keeps the rows from ay down, a bottom one those above ay
            kind_ = ex > 0 ? kTop : kBottom;
            ay_ = ay;
        }
    }
    // Narrows this row's [lo, hi] (or rules the row out) and steps to the next row.
    void apply(int64_t y, int64_t& lo, int64_t& hi, bool& none) {
        switch (kind_) {
            case kLeft: lo = std::max(lo, ax_ + q_.ceil()); q_.advance(); break;
            case kRight: hi = std::min(hi, ax_ + q_.ceil() - 1); q_.advance(); break;
            case kTop: none = none || y < ay_; break;
            case kBottom: none = none || y >= ay_; break;
        }
    }

private:
    enum Kind { kLeft, kRight, kTop, kBottom };
    Kind kind_ = kTop;
    int64_t ax_ = 0, ay_ = 0;
    SteppedQuotient q_;
};

// Calls span(y, xFrom, xTo) for every run of covered pixels of every row of
// the view, clipped to it. Needs width >= 2 and end points within the
// cut-back limit.
template <class SpanSink>
void strokeWideGdi(int32_t viewWidth, int32_t viewHeight, const Segment& s, int32_t width, SpanSink&& span) {
    const int64_t dx = s.x1 - s.x0, dy = s.y1 - s.y0;
    const TipRows tip = tipRows(width);
    int64_t yFrom = std::min(s.y0, s.y1) + tip.top, yTo = std::max(s.y0, s.y1) + tip.bottom;

    // The band, when the stroke has a length.
    const bool band = dx != 0 || dy != 0;
    int64_t bandTop = 0, bandBottom = -1;
    EdgeBound edges[4];
    if (band) {
        const BandOffsets o = bandOffsets(dx, dy, width);
        int64_t px[4] = {s.x0 + o.lx, s.x1 + o.lx, s.x1 + o.rx, s.x0 + o.rx};
        int64_t py[4] = {s.y0 + o.ly, s.y1 + o.ly, s.y1 + o.ry, s.y0 + o.ry};
        // Twice the signed area; the edges want the inside on their positive side.
        int64_t area = 0;
        for (int i = 0; i < 4; ++i) area += px[i] * py[(i + 1) % 4] - px[(i + 1) % 4] * py[i];
        if (area < 0) {
            std::swap(px[1], px[3]);
            std::swap(py[1], py[3]);
        }
        bandTop = std::min({py[0], py[1], py[2], py[3]});
        bandBottom = std::max({py[0], py[1], py[2], py[3]});
        yFrom = std::min(yFrom, bandTop);
        yTo = std::max(yTo, bandBottom);
        const int64_t first = std::max<int64_t>(bandTop, 0);
        for (int i = 0; i < 4; ++i) edges[i] = EdgeBound(px[i], py[i], px[(i + 1) % 4], py[(i + 1) % 4], first);
    }
    yFrom = std::max<int64_t>(yFrom, 0);
    yTo = std::min<int64_t>(yTo, viewHeight - 1);
    const int64_t right = viewWidth - 1;

    for (int64_t y = yFrom; y <= yTo; ++y) {
        // Up to three runs: the two tips and the band.
        int64_t from[3], to[3];
        int n = 0;
        auto tipRun = [&](int64_t cx, int64_t cy) {
            const int64_t dyTip = y - cy;
            if (dyTip < tip.top || dyTip > tip.bottom) return;
            int32_t a, b;
            tipColumns(width, static_cast<int32_t>(dyTip), a, b);
            if (a > b) return;
            from[n] = cx + a;
            to[n] = cx + b;
            ++n;
        };
        tipRun(s.x0, s.y0);
        if (band) tipRun(s.x1, s.y1);
        if (band && y >= bandTop && y <= bandBottom) {
            int64_t lo = INT64_MIN, hi = INT64_MAX;
            bool none = false;
            for (EdgeBound& e : edges) e.apply(y, lo, hi, none);
            if (!none && lo <= hi) {
                from[n] = lo;
                to[n] = hi;
                ++n;
            }
        }
        // Sorted by start, then joined where they touch or overlap.
        for (int i = 1; i < n; ++i)
            for (int j = i; j > 0 && from[j] < from[j - 1]; --j) {
                std::swap(from[j], from[j - 1]);
                std::swap(to[j], to[j - 1]);
            }
        int64_t runFrom = 0, runTo = -1;
        bool open = false;
        auto flush = [&]() {
            if (!open || runTo < 0 || runFrom > right) return;
            span(y, std::max<int64_t>(runFrom, 0), std::min(runTo, right));
        };
        for (int i = 0; i < n; ++i) {
            if (open && from[i] <= runTo + 1) {
                runTo = std::max(runTo, to[i]);
                continue;
            }
            flush();
            runFrom = from[i];
            runTo = to[i];
            open = true;
        }
        flush();
    }
}

}  // namespace gyrotrail
