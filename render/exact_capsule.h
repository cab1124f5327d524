// A wide pen's stroke row by row in whole numbers: for each row the span of
// pixel centres within width/2 of the segment, found without testing pixels.
//
// A pixel is covered when 4*((x-x0)^2 + vy^2) <= w^2 near the start, the same
// about the end, and in between when (2*cross)^2 <= w^2 * len^2, where cross
// is the cross product of the segment with the pixel's offset. In whole
// numbers each of these bounds x on a row to an interval, and the intervals
// move by fixed steps from row to row, so a row costs a few additions. The
// canvas decides coverage with doubles; while w^2 * len^2 stays below 2^53
// every quantity in that decision is a whole number held exactly, so both
// ways select the very same pixels (the caller checks the bound).
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "render/segment_cut.h"

namespace gyrotrail {

inline constexpr int64_t kExactLimit = (int64_t{1} << 53) - 1;

// floor(sqrt(n)) for 0 <= n <= 2^53.
inline int64_t isqrt(int64_t n) {
    auto s = static_cast<int64_t>(std::sqrt(static_cast<double>(n)));
    while (s * s > n) --s;
    while ((s + 1) * (s + 1) <= n) ++s;
    return s;
}

// floor(n / k) for k > 0.
inline int64_t floorDiv(int64_t n, int64_t k) {
    const int64_t q = n / k;
    return n % k != 0 && n < 0 ? q - 1 : q;
}

// floor(n / k), k > 0, while n grows by `step` each row: quotient and
// remainder carried along instead of dividing again.
class SteppedQuotient {
public:
    SteppedQuotient(int64_t n, int64_t k, int64_t step)
        : k_(k), q_(floorDiv(n, k)), r_(n - q_ * k), stepQ_(floorDiv(step, k)), stepR_(step - stepQ_ * k) {}
    int64_t floor() const { return q_; }
    int64_t ceil() const { return q_ + (r_ != 0 ? 1 : 0); }
    // The carry follows the slope, a pattern no branch predictor learns, so
    // it is taken without a branch.
    void advance() {
        r_ += stepR_;
        const int64_t carry = r_ >= k_ ? 1 : 0;
        r_ -= k_ & -carry;
        q_ += stepQ_ + carry;
    }

private:
    int64_t k_, q_, r_, stepQ_, stepR_;
};

// The whole u with lo <= u*k <= hi, where lo and hi both grow by `step` each row.
class SteppedRange {
public:
    static constexpr int64_t kUnbounded = int64_t{1} << 60;

    SteppedRange(int64_t k, int64_t lo, int64_t hi, int64_t step)
        : flat_(k == 0), lower_(k < 0 ? -hi : lo, k == 0 ? 1 : (k < 0 ? -k : k), k < 0 ? -step : step),
          upper_(k < 0 ? -lo : hi, k == 0 ? 1 : (k < 0 ? -k : k), k < 0 ? -step : step) {}

    // This row's range; from > to when empty.
    void range(int64_t& from, int64_t& to) const {
        if (flat_) {
            const bool all = lower_.floor() <= 0 && upper_.floor() >= 0;
            from = all ? -kUnbounded : 1;
            to = all ? kUnbounded : 0;
            return;
        }
        from = lower_.ceil();
        to = upper_.floor();
    }
    void advance() {
        lower_.advance();
        upper_.advance();
    }

private:
    bool flat_;  // k == 0: every u or none, as 0 lies between lo and hi
    SteppedQuotient lower_, upper_;
};

// Whether the whole-number walk selects exactly what the double test does.
inline bool exactStrokeFits(const Segment& s, int32_t width) {
    const int64_t dx = s.x1 - s.x0, dy = s.y1 - s.y0;
    const int64_t w2 = int64_t{width} * width;
    return dx * dx + dy * dy <= kExactLimit / w2;
}

// Calls span(y, xFrom, xTo) for every row of the view the stroke covers,
// clipped to the view. Needs width >= 2, end points within the cut-back
// limit and exactStrokeFits.
template <class SpanSink>
void strokeWideExact(int32_t viewWidth, int32_t viewHeight, const Segment& s, int32_t width, SpanSink&& span) {
    const int64_t dx = s.x1 - s.x0, dy = s.y1 - s.y0, len2 = dx * dx + dy * dy;
    const int64_t w2 = int64_t{width} * width, half = width / 2;
    const int64_t yFrom = std::max<int64_t>(0, std::min(s.y0, s.y1) - half);
    const int64_t yTo = std::min<int64_t>(viewHeight - 1, std::max(s.y0, s.y1) + half);
    if (yFrom > yTo) return;
    const int64_t vyFrom = yFrom - s.y0;
    const int64_t across2 = isqrt(w2 * len2);  // |2*cross| may reach this
    // u = x - x0. Along the segment: 0 <= u*dx + vy*dy <= len2.
    SteppedRange along(dx, -vyFrom * dy, len2 - vyFrom * dy, -dy);
    // Across it: -across2 <= 2*(u*dy - vy*dx) <= across2.
    SteppedRange across(2 * dy, 2 * vyFrom * dx - across2, 2 * vyFrom * dx + across2, 2 * dx);
    const int64_t right = viewWidth - 1;
    for (int64_t y = yFrom; y <= yTo; ++y) {
        int64_t lo = INT64_MAX, hi = INT64_MIN;
        // Round ends: |x - cx| <= floor(isqrt(w^2 - 4*ry^2) / 2).
        auto cap = [&](int64_t cx, int64_t ry) {
            const int64_t room = w2 - 4 * ry * ry;
            if (room < 0) return;
            const int64_t h = isqrt(room) / 2;
            lo = std::min(lo, cx - h);
            hi = std::max(hi, cx + h);
        };
        cap(s.x0, y - s.y0);
        cap(s.x1, y - s.y1);
        if (len2 != 0) {
            int64_t a, b, c, d;
            along.range(a, b);
            across.range(c, d);
            const int64_t from = std::max(a, c), to = std::min(b, d);
            if (from <= to) {
                lo = std::min(lo, s.x0 + from);
                hi = std::max(hi, s.x0 + to);
            }
            along.advance();
            across.advance();
        }
        if (lo > hi || hi < 0 || lo > right) continue;
        span(y, std::max<int64_t>(lo, 0), std::min(hi, right));
    }
}

}  // namespace gyrotrail
