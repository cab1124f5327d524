// The canvas rasteriser against a plain reference of GDI's rules that tests
// every pixel of the canvas on its own, over many random strokes, far
// coordinates included: the spans must write exactly the pixels the
// per-pixel rules select, no more, no fewer. The rules themselves are checked
// against GDI's recorded answers in test_gdi_oracle.cpp; this covers the
// strokes no recording holds.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

#include "render/canvas_raster.h"
#include "render/pen_tip.h"
#include "render/segment_cut.h"

namespace gyrotrail {
namespace {

constexpr uint32_t kInk = 0x00123456;
__extension__ typedef __int128 Wide;  // products of 64-bit values, held exactly

// floor(|part| * w / (2 * sqrt(len2)) + half/2), half 0 or 1, by counting.
int64_t scaledPart(int64_t part, int32_t width, int64_t len2, int half, bool tiesDown) {
    const Wide target = Wide{part} * part * width * width;
    int64_t n = 0;
    auto within = [&](int64_t k) {
        const Wide m = 2 * Wide{k} - half;
        return m <= 0 || m * m * len2 < target || (m * m * len2 == target && !tiesDown);
    };
    while (within(n + 1)) ++n;
    return n;
}

// Pixel (x, y) inside the parallelogram, pixel centres on whole numbers; on
// the boundary only left and top edges count.
bool insideBand(const int64_t (&px)[4], const int64_t (&py)[4], Wide area, int64_t x, int64_t y) {
    if (area == 0) return false;
    for (int i = 0; i < 4; ++i) {
        const int a = area > 0 ? i : (4 - i) % 4, b = area > 0 ? (i + 1) % 4 : (7 - i) % 4;
        const Wide ex = px[b] - px[a], ey = py[b] - py[a];
        const Wide c = ex * (y - py[a]) - ey * (x - px[a]);
        if (c < 0) return false;
        if (c == 0 && !(ey < 0 || (ey == 0 && ex > 0))) return false;
    }
    return true;
}

std::vector<uint32_t> referenceStroke(int32_t w, int32_t h, int32_t x0, int32_t y0, int32_t x1, int32_t y1,
                                      int32_t width) {
    std::vector<uint32_t> pixels(static_cast<size_t>(w) * h, 0);
    Segment s{x0, y0, x1, y1};
    if (!cutToLimit(s)) return pixels;
    auto plot = [&](int64_t x, int64_t y) {
        if (x >= 0 && x < w && y >= 0 && y < h) pixels[static_cast<size_t>(y * w + x)] = kInk;
    };
    const int64_t dx = s.x1 - s.x0, dy = s.y1 - s.y0;
    if (width <= 1) {
        // Pixel i of the major axis at the nearest minor offset; exactly
        // half-way, the smaller coordinate. The end point is left out.
        const bool xMajor = std::llabs(dx) >= std::llabs(dy);
        const int64_t major = xMajor ? std::llabs(dx) : std::llabs(dy), minor = xMajor ? dy : dx;
        const int64_t step = xMajor ? (dx > 0 ? 1 : -1) : (dy > 0 ? 1 : -1);
        const int64_t start = xMajor ? s.x0 : s.y0, size = xMajor ? w : h;
        // Only the steps whose major coordinate is on the canvas.
        const int64_t first = std::max<int64_t>(0, step > 0 ? -start : start - (size - 1));
        const int64_t last = std::min<int64_t>(major - 1, step > 0 ? size - 1 - start : start);
        for (int64_t i = first; i <= last; ++i) {
            const Wide twice = 2 * Wide{i} * minor;  // twice the minor offset, times major
            Wide offset = (twice + major) / (2 * major);
            if ((twice + major) % (2 * major) != 0 && twice + major < 0) offset -= 1;  // floor
            if ((twice + major) % (2 * major) == 0) offset -= 1;  // half-way: the smaller one
            if (xMajor)
                plot(s.x0 + step * i, s.y0 + static_cast<int64_t>(offset));
            else
                plot(s.x0 + static_cast<int64_t>(offset), s.y0 + step * i);
        }
        return pixels;
    }
    int64_t px[4] = {}, py[4] = {};
    const bool band = dx != 0 || dy != 0;
    if (band) {
        int64_t nx = -dy, ny = dx;  // the normal towards +x, or +y
        if (!(nx > 0 || (nx == 0 && ny > 0))) {
            nx = -nx;
            ny = -ny;
        }
        const int64_t len2 = dx * dx + dy * dy;
        const bool level = dx == 0 || dy == 0;
        auto left = [&](int64_t part) {
            const int64_t n = scaledPart(part, width, len2, 1, level);
            return part > 0 ? -n : n;
        };
        auto right = [&](int64_t part) {
            int64_t n = scaledPart(part, width, len2, 0, false);
            const Wide m = 2 * Wide{n};
            if (!level || m * m * len2 != Wide{part} * part * width * width) n += 1;
            return part > 0 ? n : (part < 0 ? -n : 0);
        };
        const int64_t lx = left(nx), ly = left(ny), rx = right(nx), ry = right(ny);
        const int64_t cx[4] = {s.x0 + lx, s.x1 + lx, s.x1 + rx, s.x0 + rx};
        const int64_t cy[4] = {s.y0 + ly, s.y1 + ly, s.y1 + ry, s.y0 + ry};
        for (int i = 0; i < 4; ++i) {
            px[i] = cx[i];
            py[i] = cy[i];
        }
    }
    Wide area = 0;
    for (int i = 0; i < 4; ++i) area += Wide{px[i]} * py[(i + 1) % 4] - Wide{px[(i + 1) % 4]} * py[i];
    const TipRows rows = tipRows(width);
    for (int32_t y = 0; y < h; ++y)
        for (int32_t x = 0; x < w; ++x) {
            bool lit = band && insideBand(px, py, area, x, y);
            for (const auto& [cx, cy] : {std::pair{s.x0, s.y0}, std::pair{s.x1, s.y1}}) {
                const int64_t ry = y - cy;
                if (ry < rows.top || ry > rows.bottom) continue;
                int32_t from, to;
                tipColumns(width, static_cast<int32_t>(ry), from, to);
                lit = lit || (x - cx >= from && x - cx <= to);
            }
            if (lit) plot(x, y);
        }
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
    for (int i = 0; i < 600; ++i) {
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

// Level, upright, diagonal and whole-length slants (3-4-5 and the like),
// where the band's offsets come out whole or half-way.
TEST(RasterReference, LevelDiagonalAndWholeLengthStrokes) {
    for (int32_t width : {1, 2, 3, 4, 5, 7, 10, 15, 25, 49, 50})
        for (int32_t d : {0, 1, 2, 13, 40}) {
            EXPECT_SAME_AS_REFERENCE(64, 48, 20, 20, 20 + d, 20, width);
            EXPECT_SAME_AS_REFERENCE(64, 48, 20, 20, 20 - d, 20, width);
            EXPECT_SAME_AS_REFERENCE(64, 48, 20, 20, 20, 20 + d, width);
            EXPECT_SAME_AS_REFERENCE(64, 48, 20, 20, 20, 20 - d, width);
            EXPECT_SAME_AS_REFERENCE(64, 48, 20, 20, 20 - d, 20 - d, width);
            EXPECT_SAME_AS_REFERENCE(64, 48, 30, 10, 30 + d, 10 + d, width);
            EXPECT_SAME_AS_REFERENCE(64, 48, 30, 10, 30 + d, 11, width);  // almost flat
            EXPECT_SAME_AS_REFERENCE(64, 48, 30, 10, 31, 10 + d, width);  // almost upright
            EXPECT_SAME_AS_REFERENCE(64, 48, 30, 20, 30 + 3 * d, 20 + 4 * d, width);
            EXPECT_SAME_AS_REFERENCE(64, 48, 30, 20, 30 - 4 * d, 20 + 3 * d, width);
            EXPECT_SAME_AS_REFERENCE(64, 48, 40, 40, 40 - 5 * d, 40 - 12 * d, width);
        }
}

TEST(RasterReference, FarEndsAndVeryWidePens) {
    std::mt19937 random(10);
    std::uniform_int_distribution<int32_t> far(-(1 << 23), 1 << 23), near(-30, 90), widths(1, 50);
    for (int i = 0; i < 250; ++i)
        EXPECT_SAME_AS_REFERENCE(53, 37, near(random), near(random), far(random), far(random), widths(random));
    // Pens wider than any measured tip, and than the canvas itself.
    for (int32_t width : {51, 64, 99, 1000, 65536}) {
        EXPECT_SAME_AS_REFERENCE(53, 37, 10, 10, 40, 30, width);
        EXPECT_SAME_AS_REFERENCE(53, 37, 20, 20, 20, 20, width);
        EXPECT_SAME_AS_REFERENCE(53, 37, -5000, 20, -4000, 25, width);
        EXPECT_SAME_AS_REFERENCE(53, 37, -40000, -33000, 30000, 35000, width);
    }
}

TEST(RasterReference, ExtremeCoordinates) {
    std::mt19937 random(8);
    std::uniform_int_distribution<int32_t> anywhere(INT32_MIN, INT32_MAX), widths(1, 50), near(-60, 120);
    std::uniform_int_distribution<int32_t> far(-(1 << 29), 1 << 29);
    for (int i = 0; i < 150; ++i) {
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
