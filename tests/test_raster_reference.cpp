// The canvas rasteriser against a plain reference that tests every pixel of
// the canvas on its own, over many random strokes: the spans must write
// exactly the pixels the per-pixel rule selects, no more, no fewer.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

#include "render/canvas_raster.h"
#include "render/segment_cut.h"

namespace gyrotrail {
namespace {

constexpr uint32_t kInk = 0x00123456;

// A pen wider than one pixel covers the pixels whose centres lie within
// width/2 of the segment, decided in this exact floating-point form.
bool referenceCovers(const Segment& s, int32_t width, double px, double py) {
    const double x0 = static_cast<double>(s.x0), y0 = static_cast<double>(s.y0);
    const double x1 = static_cast<double>(s.x1), y1 = static_cast<double>(s.y1);
    const double dx = x1 - x0, dy = y1 - y0, len2 = dx * dx + dy * dy;
    const double w2 = static_cast<double>(width) * width;
    const double vx = px - x0, vy = py - y0;
    const double t = vx * dx + vy * dy;
    if (t <= 0.0) return 4.0 * (vx * vx + vy * vy) <= w2;
    if (t >= len2) {
        const double ex = px - x1, ey = py - y1;
        return 4.0 * (ex * ex + ey * ey) <= w2;
    }
    const double cross = vx * dy - vy * dx;
    return 4.0 * cross * cross <= w2 * len2;
}

// The reference: a one-pixel line puts pixel i of its major axis at the
// minor offset floor((2*i*minor + major) / (2*major)) for i < major; a wider
// pen is tested pixel by pixel over the whole canvas.
std::vector<uint32_t> referenceStroke(int32_t w, int32_t h, int32_t x0, int32_t y0, int32_t x1, int32_t y1,
                                      int32_t width) {
    std::vector<uint32_t> pixels(static_cast<size_t>(w) * h, 0);
    Segment s{x0, y0, x1, y1};
    if (!cutToLimit(s)) return pixels;
    auto plot = [&](int64_t x, int64_t y) {
        if (x >= 0 && x < w && y >= 0 && y < h) pixels[static_cast<size_t>(y * w + x)] = kInk;
    };
    if (width <= 1) {
        const int64_t adx = s.x1 > s.x0 ? s.x1 - s.x0 : s.x0 - s.x1;
        const int64_t ady = s.y1 > s.y0 ? s.y1 - s.y0 : s.y0 - s.y1;
        const int64_t sx = s.x1 >= s.x0 ? 1 : -1, sy = s.y1 >= s.y0 ? 1 : -1;
        const bool xMajor = adx >= ady;
        const int64_t major = xMajor ? adx : ady, minor = xMajor ? ady : adx;
        for (int64_t i = 0; i < major; ++i) {
            const int64_t offset = (2 * i * minor + major) / (2 * major);
            if (xMajor)
                plot(s.x0 + sx * i, s.y0 + sy * offset);
            else
                plot(s.x0 + sx * offset, s.y0 + sy * i);
        }
        return pixels;
    }
    for (int32_t y = 0; y < h; ++y)
        for (int32_t x = 0; x < w; ++x)
            if (referenceCovers(s, width, x, y)) plot(x, y);
    return pixels;
}

// Strokes with the canvas rasteriser and the reference and counts the pixels
// that differ; also checks that coveredPixels counts what was written.
int differingPixels(int32_t w, int32_t h, int32_t x0, int32_t y0, int32_t x1, int32_t y1, int32_t width) {
    std::vector<uint32_t> pixels(static_cast<size_t>(w) * h, 0);
    const PixelView view{pixels.data(), w, h, w};
    strokeSegment(view, x0, y0, x1, y1, width, kInk);
    const std::vector<uint32_t> expected = referenceStroke(w, h, x0, y0, x1, y1, width);
    int differing = 0;
    int64_t written = 0;
    for (size_t i = 0; i < pixels.size(); ++i) {
        differing += pixels[i] != expected[i];
        written += pixels[i] == kInk;
    }
    EXPECT_EQ(coveredPixels(view, x0, y0, x1, y1, width), written)
        << x0 << "," << y0 << " -> " << x1 << "," << y1 << " width " << width;
    return differing;
}

#define EXPECT_SAME_AS_REFERENCE(w, h, x0, y0, x1, y1, width)                      \
    EXPECT_EQ(differingPixels(w, h, x0, y0, x1, y1, width), 0)                     \
        << (x0) << "," << (y0) << " -> " << (x1) << "," << (y1) << " width " << (width)

TEST(RasterReference, RandomStrokesOnAndAroundTheCanvas) {
    std::mt19937 random(6);
    std::uniform_int_distribution<int32_t> xs(-40, 136), ys(-40, 100), widths(1, 50);
    for (int i = 0; i < 1500; ++i) {
        const int32_t x0 = xs(random), y0 = ys(random), x1 = xs(random), y1 = ys(random);
        EXPECT_SAME_AS_REFERENCE(97, 61, x0, y0, x1, y1, widths(random));
    }
}

TEST(RasterReference, ShortStrokesAndEveryWidth) {
    std::mt19937 random(7);
    std::uniform_int_distribution<int32_t> centre(10, 50), step(-4, 4);
    for (int32_t width = 1; width <= 50; ++width)
        for (int i = 0; i < 20; ++i) {
            const int32_t x0 = centre(random), y0 = centre(random);
            EXPECT_SAME_AS_REFERENCE(61, 61, x0, y0, x0 + step(random), y0 + step(random), width);
        }
}

TEST(RasterReference, AxisAlignedAndDiagonalStrokes) {
    for (int32_t width : {1, 2, 3, 4, 7, 10, 25, 49, 50})
        for (int32_t d : {0, 1, 2, 13, 40}) {
            EXPECT_SAME_AS_REFERENCE(64, 48, 20, 20, 20 + d, 20, width);
            EXPECT_SAME_AS_REFERENCE(64, 48, 20, 20, 20, 20 + d, width);
            EXPECT_SAME_AS_REFERENCE(64, 48, 20, 20, 20 - d, 20 - d, width);
            EXPECT_SAME_AS_REFERENCE(64, 48, 30, 10, 30 + d, 10 + d, width);
            EXPECT_SAME_AS_REFERENCE(64, 48, 30, 10, 30 + d, 11, width);  // almost flat
            EXPECT_SAME_AS_REFERENCE(64, 48, 30, 10, 31, 10 + d, width);  // almost upright
        }
}

// Long strokes on either side of the length up to which the rows are found
// in whole numbers (width^2 * length^2 below 2^53), passing over the canvas.
TEST(RasterReference, StrokesAroundTheWholeNumberLimit) {
    std::mt19937 random(9);
    std::uniform_real_distribution<double> turn(0.0, 6.283185307179586);
    std::uniform_int_distribution<int32_t> near(0, 52), widths(2, 50), wobble(-3, 3);
    for (int i = 0; i < 300; ++i) {
        const int32_t width = widths(random);
        const double limit = std::sqrt(9007199254740991.0) / width;  // length where the walk stops fitting
        const double length = limit + wobble(random);
        const double a = turn(random);
        const int32_t cx = near(random), cy = near(random) * 36 / 52;
        const auto hx = static_cast<int32_t>(std::cos(a) * length / 2), hy = static_cast<int32_t>(std::sin(a) * length / 2);
        EXPECT_SAME_AS_REFERENCE(53, 37, cx - hx, cy - hy, cx + hx, cy + hy, width);
        EXPECT_SAME_AS_REFERENCE(53, 37, cx, cy, cx + 2 * hx, cy + 2 * hy, width);
    }
}

TEST(RasterReference, FarEndsAndVeryWidePens) {
    std::mt19937 random(10);
    std::uniform_int_distribution<int32_t> far(-(1 << 20), 1 << 20), near(-30, 90), widths(2, 50);
    for (int i = 0; i < 500; ++i)
        EXPECT_SAME_AS_REFERENCE(53, 37, near(random), near(random), far(random), far(random), widths(random));
    // Pens as wide as the canvas allows: far wider than the canvas itself.
    for (int32_t width : {51, 64, 99, 1000, 65536}) {
        EXPECT_SAME_AS_REFERENCE(53, 37, 10, 10, 40, 30, width);
        EXPECT_SAME_AS_REFERENCE(53, 37, -5000, 20, -4000, 25, width);
        EXPECT_SAME_AS_REFERENCE(53, 37, -40000, -33000, 30000, 35000, width);
    }
}

TEST(RasterReference, ExtremeCoordinates) {
    std::mt19937 random(8);
    std::uniform_int_distribution<int32_t> anywhere(INT32_MIN, INT32_MAX), widths(1, 50), near(-60, 120);
    std::uniform_int_distribution<int32_t> far(-(1 << 26), 1 << 26);
    for (int i = 0; i < 800; ++i) {
        const int32_t width = widths(random);
        // Both ends anywhere; one end on the canvas and one far away; through
        // the canvas from beyond the cut-back limit on both sides.
        EXPECT_SAME_AS_REFERENCE(53, 37, anywhere(random), anywhere(random), anywhere(random), anywhere(random),
                                 width);
        EXPECT_SAME_AS_REFERENCE(53, 37, near(random), near(random), anywhere(random), anywhere(random), width);
        const int32_t ax = far(random), ay = far(random);
        EXPECT_SAME_AS_REFERENCE(53, 37, ax, ay, 52 - ax + near(random) / 20, 36 - ay + near(random) / 20, width);
    }
    const int32_t m = INT32_MIN, M = INT32_MAX;
    for (int32_t width : {1, 2, 31, 50}) {
        EXPECT_SAME_AS_REFERENCE(53, 37, m, m, M, M, width);
        EXPECT_SAME_AS_REFERENCE(53, 37, m, 18, M, 18, width);
        EXPECT_SAME_AS_REFERENCE(53, 37, 26, m, 26, M, width);
        EXPECT_SAME_AS_REFERENCE(53, 37, m, M, 26, 18, width);
        EXPECT_SAME_AS_REFERENCE(53, 37, m, 17, M, 19, width);  // nearly flat, across everything
        EXPECT_SAME_AS_REFERENCE(53, 37, M, M, M, M, width);
    }
}

}  // namespace
}  // namespace gyrotrail
