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

// One slanted edge of the band as a bound on x for each row: on the band's
// left x >= bound (the edge itself counts), on its right x <= bound (it does
// not). For the edge a -> b of a polygon whose inside lies where
// (b - a) x (p - a) >= 0 in window coordinates, starting at row y.
class SideBound {
public:
    SideBound() = default;
    SideBound(int64_t ax, int64_t ay, int64_t bx, int64_t by, int64_t y) {
        const int64_t ex = bx - ax, ey = by - ay;
        if (ey < 0)  // left: x >= ax + ceil(-ex * (y - ay) / -ey)
            q_ = SteppedQuotient(-ex * (y - ay), -ey, -ex), base_ = ax;
        else  // right: x <= ax + ceil(ex * (y - ay) / ey) - 1
            q_ = SteppedQuotient(ex * (y - ay), ey, ex), base_ = ax - 1;
    }
    [[gnu::always_inline]] int64_t bound() const { return base_ + q_.ceil(); }  // this row
    [[gnu::always_inline]] void advance() { q_.advance(); }

private:
    SteppedQuotient q_;
    int64_t base_ = 0;
};

// One side of the band, left or right: its one or two slanted edges from
// the top down, each bound followed only over its own rows (on a convex
// shape the edge spanning a row is the one that binds there).
class BandSide {
public:
    void add(int64_t ax, int64_t ay, int64_t bx, int64_t by) {
        Edge e{ax, ay, bx, by, std::min(ay, by), std::max(ay, by)};
        if (count_ == 1 && e.top < edges_[0].top) std::swap(e, edges_[0]);
        edges_[count_++] = e;
    }
    int count() const { return count_; }
    // Starts at row y (within the side's rows).
    void start(int64_t y) {
        current_ = count_ > 1 && y > edges_[0].bottom ? 1 : 0;
        begin(y);
    }
    [[gnu::always_inline]] int64_t bound(int64_t y) {
        if (current_ + 1 < count_ && y > edges_[current_].bottom) {
            ++current_;
            begin(y);
        }
        const int64_t b = bound_.bound();
        bound_.advance();
        return b;
    }

private:
    struct Edge {
        int64_t ax, ay, bx, by, top, bottom;
    };
    void begin(int64_t y) {
        const Edge& e = edges_[current_];
        bound_ = SideBound(e.ax, e.ay, e.bx, e.by, y);
    }
    Edge edges_[2] = {};
    int count_ = 0, current_ = 0;
    SideBound bound_;
};

// The band's rows and, row by row, its run of pixels.
class Band {
public:
    Band() = default;
    // The parallelogram p0+L, p1+L, p1+R, p0+R of a segment with a length;
    // rows from `firstRow` on (not above its top).
    Band(const Segment& s, int32_t width, int64_t firstRow) {
        const BandOffsets o = bandOffsets(s.x1 - s.x0, s.y1 - s.y0, width);
        int64_t px[4] = {s.x0 + o.lx, s.x1 + o.lx, s.x1 + o.rx, s.x0 + o.rx};
        int64_t py[4] = {s.y0 + o.ly, s.y1 + o.ly, s.y1 + o.ry, s.y0 + o.ry};
        // Twice the signed area; the edges want the inside on their positive side.
        int64_t area = 0;
        for (int i = 0; i < 4; ++i) area += px[i] * py[(i + 1) % 4] - px[(i + 1) % 4] * py[i];
        if (area < 0) {
            std::swap(px[1], px[3]);
            std::swap(py[1], py[3]);
        }
        top_ = std::min({py[0], py[1], py[2], py[3]});
        bottom_ = std::max({py[0], py[1], py[2], py[3]});
        for (int i = 0; i < 4; ++i) {
            const int j = (i + 1) % 4;
            if (py[j] < py[i])
                left_.add(px[i], py[i], px[j], py[j]);
            else if (py[j] > py[i])
                right_.add(px[i], py[i], px[j], py[j]);
            else if (px[j] < px[i])
                bottom_ = py[i] - 1;  // a level bottom edge: its own row is left out
        }
        if (left_.count() == 0 || right_.count() == 0) bottom_ = top_ - 1;  // no area: no band
        const int64_t first = std::max(top_, firstRow);
        if (first <= bottom_) {
            left_.start(first);
            right_.start(first);
        }
    }
    int64_t top() const { return top_; }
    int64_t bottom() const { return bottom_; }
    // This row's run (from > to when empty), then on to the next row; rows
    // from max(top, firstRow) to bottom, in order.
    [[gnu::always_inline]] void row(int64_t y, int64_t& from, int64_t& to) {
        from = left_.bound(y);
        to = right_.bound(y);
    }

private:
    BandSide left_, right_;
    int64_t top_ = 0, bottom_ = -1;
};

// Calls span(y, xFrom, xTo) for every run of covered pixels of every row of
// the view, clipped to it. Needs width >= 2 and end points within the
// cut-back limit.
template <class SpanSink>
void strokeWideGdi(int32_t viewWidth, int32_t viewHeight, const Segment& s, int32_t width, SpanSink&& span) {
    const TipRows tip = tipRows(width);
    const bool hasBand = s.x1 != s.x0 || s.y1 != s.y0;
    const int64_t tipsFrom = std::min(s.y0, s.y1) + tip.top, tipsTo = std::max(s.y0, s.y1) + tip.bottom;
    int64_t yFrom = tipsFrom, yTo = tipsTo;
    Band band = hasBand ? Band(s, width, 0) : Band();
    if (hasBand) {
        yFrom = std::min(yFrom, band.top());
        yTo = std::max(yTo, band.bottom());
    }
    yFrom = std::max<int64_t>(yFrom, 0);
    yTo = std::min<int64_t>(yTo, viewHeight - 1);
    const int64_t right = viewWidth - 1;
    auto emit = [&](int64_t y, int64_t from, int64_t to) {
        if (from > to || to < 0 || from > right) return;
        span(y, std::max<int64_t>(from, 0), std::min(to, right));
    };

    for (int64_t y = yFrom; y <= yTo; ++y) {
        int64_t bandFrom = 1, bandTo = 0;
        if (hasBand && y >= band.top() && y <= band.bottom()) band.row(y, bandFrom, bandTo);
        const bool nearStart = y - s.y0 >= tip.top && y - s.y0 <= tip.bottom;
        const bool nearEnd = hasBand && y - s.y1 >= tip.top && y - s.y1 <= tip.bottom;
        if (!nearStart && !nearEnd) {  // most rows: the band alone
            emit(y, bandFrom, bandTo);
            continue;
        }
        // Up to three runs: the band and the two tips, sorted by start and
        // joined where they touch or overlap.
        int64_t from[3], to[3];
        int n = 0;
        auto add = [&](int64_t a, int64_t b) {
            if (a > b) return;
            int i = n++;
            for (; i > 0 && from[i - 1] > a; --i) {
                from[i] = from[i - 1];
                to[i] = to[i - 1];
            }
            from[i] = a;
            to[i] = b;
        };
        add(bandFrom, bandTo);
        int32_t a, b;
        if (nearStart) {
            tipColumns(width, static_cast<int32_t>(y - s.y0), a, b);
            add(s.x0 + a, s.x0 + b);
        }
        if (nearEnd) {
            tipColumns(width, static_cast<int32_t>(y - s.y1), a, b);
            add(s.x1 + a, s.x1 + b);
        }
        if (n == 0) continue;
        int64_t runFrom = from[0], runTo = to[0];
        for (int i = 1; i < n; ++i) {
            if (from[i] <= runTo + 1) {
                runTo = std::max(runTo, to[i]);
                continue;
            }
            emit(y, runFrom, runTo);
            runFrom = from[i];
            runTo = to[i];
        }
        emit(y, runFrom, runTo);
    }
}

}  // namespace gyrotrail
