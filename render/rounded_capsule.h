// A wide pen's stroke row by row in doubles, for strokes of any length: the
// coverage test of one pixel, and an estimate of each row's span that the
// test then settles.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "render/canvas_raster.h"
#include "render/segment_cut.h"

namespace gyrotrail {

// The pixels whose centres lie within width/2 of the segment, decided in
// doubles.
class Capsule {
public:
    Capsule(const Segment& s, int32_t width)
        : x0_(static_cast<double>(s.x0)), y0_(static_cast<double>(s.y0)),
          x1_(static_cast<double>(s.x1)), y1_(static_cast<double>(s.y1)),
          dx_(x1_ - x0_), dy_(y1_ - y0_), len2_(dx_ * dx_ + dy_ * dy_),
          w2_(static_cast<double>(width) * width), w2len2_(w2_ * len2_), r_(width / 2.0),
          rlen_(r_ * std::sqrt(len2_)), invDx_(dx_ != 0.0 ? 1.0 / dx_ : 0.0),
          invDy_(dy_ != 0.0 ? 1.0 / dy_ : 0.0) {}

    double top() const { return std::min(y0_, y1_) - r_; }
    double bottom() const { return std::max(y0_, y1_) + r_; }

    // The terms of the per-pixel test that depend on the row alone, worked
    // out once per row; each is the very product the test would form.
    struct Row {
        double vy, vyDy, vyDx, vy2, ey, ey2;
    };
    Row row(double py) const {
        const double vy = py - y0_, ey = py - y1_;
        return Row{vy, vy * dy_, vy * dx_, vy * vy, ey, ey * ey};
    }

    // Whether the pixel centre (px, row) is covered: the decision that binds.
    bool covers(const Row& r, double px) const {
        const double vx = px - x0_;
        const double t = vx * dx_ + r.vyDy;
        if (t <= 0.0) return 4.0 * (vx * vx + r.vy2) <= w2_;
        if (t >= len2_) {
            const double ex = px - x1_;
            return 4.0 * (ex * ex + r.ey2) <= w2_;
        }
        const double cross = vx * dy_ - r.vyDx;
        return 4.0 * cross * cross <= w2len2_;
    }

    // An estimate of the real interval of x covered on the row, good to a
    // rounding error; lo > hi when none.
    void rowExtent(const Row& r, double& lo, double& hi) const {
        lo = INFINITY;
        hi = -INFINITY;
        disc(x0_, r.vy, lo, hi);
        disc(x1_, r.ey, lo, hi);
        if (len2_ == 0.0) return;
        double bandLo = -INFINITY, bandHi = INFINITY;
        // Along the segment: 0 <= (x - x0)*dx + vy*dy <= len2.
        if (!limit(dx_, invDx_, -r.vyDy, len2_ - r.vyDy, bandLo, bandHi)) return;
        // Across it: |(x - x0)*dy - vy*dx| <= r*len.
        if (!limit(dy_, invDy_, r.vyDx - rlen_, r.vyDx + rlen_, bandLo, bandHi)) return;
        if (bandLo > bandHi) return;
        lo = std::min(lo, bandLo);
        hi = std::max(hi, bandHi);
    }

private:
    void disc(double cx, double ry, double& lo, double& hi) const {
        const double h2 = r_ * r_ - ry * ry;
        if (h2 < 0.0) return;
        const double h = std::sqrt(h2);
        lo = std::min(lo, cx - h);
        hi = std::max(hi, cx + h);
    }
    // Narrows [lo, hi] to the x with qLo <= (x - x0)*k <= qHi.
    bool limit(double k, double invK, double qLo, double qHi, double& lo, double& hi) const {
        if (k == 0.0) return qLo <= 0.0 && 0.0 <= qHi;
        double a = x0_ + qLo * invK, b = x0_ + qHi * invK;
        if (a > b) std::swap(a, b);
        lo = std::max(lo, a);
        hi = std::min(hi, b);
        return true;
    }

    double x0_, y0_, x1_, y1_, dx_, dy_, len2_, w2_, w2len2_, r_, rlen_, invDx_, invDy_;
};

// Floor and ceiling of a value already known to lie well inside int64_t.
inline int64_t floorToInt(double v) {
    const auto i = static_cast<int64_t>(v);
    return static_cast<double>(i) > v ? i - 1 : i;
}
inline int64_t ceilToInt(double v) {
    const auto i = static_cast<int64_t>(v);
    return static_cast<double>(i) < v ? i + 1 : i;
}

// Calls span(y, xFrom, xTo) for every row of the view the stroke covers,
// clipped to the view: each row's span estimated from the geometry in doubles
// and its ends settled by the per-pixel test itself. For strokes of any
// length within the cut-back limit; needs width >= 2.
template <class SpanSink>
void strokeWideRounded(const PixelView& v, const Segment& s, int32_t width, SpanSink&& span) {
    const Capsule capsule(s, width);
    const double w = static_cast<double>(v.width);
    const int64_t yFrom = std::max<int64_t>(0, floorToInt(std::max(capsule.top(), -1.0)));
    const int64_t yTo =
        std::min<int64_t>(v.height - 1, ceilToInt(std::min(capsule.bottom(), static_cast<double>(v.height))));
    const int64_t right = v.width - 1;
    for (int64_t y = yFrom; y <= yTo; ++y) {
        const Capsule::Row row = capsule.row(static_cast<double>(y));
        double lo, hi;
        capsule.rowExtent(row, lo, hi);
        if (!(lo <= hi) || hi < -1.0 || lo > w) continue;
        // Start from the whole pixels inside the estimate, so that on most
        // rows one test on each side of each end settles the span; when the
        // estimate holds no whole pixel, from the pixels around it.
        const double loIn = std::max(lo, -1.0), hiIn = std::min(hi, w);
        int64_t xl = ceilToInt(loIn), xr = floorToInt(hiIn);
        if (xl > xr) {
            xl = floorToInt(loIn);
            xr = ceilToInt(hiIn);
        }
        xl = std::clamp<int64_t>(xl, 0, right);
        xr = std::clamp<int64_t>(xr, 0, right);
        auto covered = [&](int64_t x) { return capsule.covers(row, static_cast<double>(x)); };
        while (xl > 0 && covered(xl - 1)) --xl;
        while (xl <= xr && !covered(xl)) ++xl;
        if (xl > xr) continue;
        while (xr < right && covered(xr + 1)) ++xr;
        while (xr > xl && !covered(xr)) --xr;
        span(y, xl, xr);
    }
}

}  // namespace gyrotrail
