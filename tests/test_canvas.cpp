// The portable drawing operations: pixels, clipping and object discipline.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "plugin/lum_plugin.h"
#include "render/canvas_ops.h"
#include "render/canvas_raster.h"

namespace gyrotrail {
namespace {

constexpr uint32_t kGuard = 0xDEADBEEF;
constexpr uint32_t kInk = 0x00ABCDEF;

// A canvas inside a larger buffer: guard rows above and below and guard
// columns to the right, so any stray write shows.
struct GuardedCanvas {
    int32_t width, height, stride;
    std::vector<uint32_t> buffer;
    LumCanvas canvas;

    GuardedCanvas(int32_t w, int32_t h, int32_t padding = 3)
        : width(w), height(h), stride(w + padding), buffer(static_cast<size_t>(stride) * (h + 2), kGuard) {
        for (int32_t y = 0; y < h; ++y)
            for (int32_t x = 0; x < w; ++x) at(x, y) = 0;
        canvas = LumCanvas{w, h, stride * 4, buffer.data() + stride};
    }
    uint32_t& at(int32_t x, int32_t y) { return buffer[static_cast<size_t>(stride) * (y + 1) + x]; }
    PixelView view() { return PixelView{canvas.pixels, width, height, stride}; }
    bool lit(int32_t x, int32_t y) { return at(x, y) == kInk; }
    int count() {
        int n = 0;
        for (int32_t y = 0; y < height; ++y)
            for (int32_t x = 0; x < width; ++x) n += lit(x, y);
        return n;
    }
    bool guardsIntact() {
        for (int32_t y = -1; y <= height; ++y)
            for (int32_t x = 0; x < stride; ++x) {
                const bool inside = y >= 0 && y < height && x < width;
                if (!inside && buffer[static_cast<size_t>(stride) * (y + 1) + x] != kGuard) return false;
            }
        return true;
    }
};

TEST(CanvasRaster, OnePixelLineLeavesOutItsEndPoint) {
    GuardedCanvas c(10, 10);
    strokeSegment(c.view(), 1, 1, 5, 1, 1, kInk);
    for (int x = 1; x <= 4; ++x) EXPECT_TRUE(c.lit(x, 1)) << x;
    EXPECT_FALSE(c.lit(5, 1));
    strokeSegment(c.view(), 0, 9, 3, 6, 1, kInk);
    EXPECT_TRUE(c.lit(0, 9));
    EXPECT_TRUE(c.lit(1, 8));
    EXPECT_TRUE(c.lit(2, 7));
    EXPECT_FALSE(c.lit(3, 6));
    EXPECT_EQ(c.count(), 7);
    strokeSegment(c.view(), 4, 4, 4, 4, 1, kInk);  // zero length: nothing
    EXPECT_EQ(c.count(), 7);
}

TEST(CanvasRaster, ShallowLineStepsOnePixelPerColumn) {
    GuardedCanvas c(20, 10);
    strokeSegment(c.view(), 0, 0, 10, 3, 1, kInk);
    for (int x = 0; x < 10; ++x) {
        int litInColumn = 0;
        for (int y = 0; y < 10; ++y) litInColumn += c.lit(x, y);
        EXPECT_EQ(litInColumn, 1) << "column " << x;
    }
    EXPECT_TRUE(c.lit(0, 0));
    EXPECT_TRUE(c.lit(9, 3));
}

TEST(CanvasRaster, WidePenHasRoundEnds) {
    GuardedCanvas c(40, 40);
    strokeSegment(c.view(), 10, 10, 20, 10, 6, kInk);
    EXPECT_TRUE(c.lit(7, 10));    // exactly half the width from the start
    EXPECT_FALSE(c.lit(6, 10));
    EXPECT_TRUE(c.lit(23, 10));
    EXPECT_FALSE(c.lit(24, 10));
    EXPECT_TRUE(c.lit(15, 13));
    EXPECT_FALSE(c.lit(15, 14));
    EXPECT_TRUE(c.lit(8, 12));    // inside the round cap (distance 2.83)
    EXPECT_FALSE(c.lit(8, 13));   // a square cap would cover this corner
    EXPECT_FALSE(c.lit(22, 13));
    EXPECT_TRUE(c.guardsIntact());
}

TEST(CanvasRaster, WidePenMatchesTheDistanceRuleOnADiagonal) {
    GuardedCanvas c(60, 60);
    strokeSegment(c.view(), 5, 50, 47, 9, 9, kInk);
    // Compare with a brute-force distance test of every pixel.
    auto inside = [](double px, double py) {
        const double x0 = 5, y0 = 50, dx = 42, dy = -41;
        double t = ((px - x0) * dx + (py - y0) * dy) / (dx * dx + dy * dy);
        t = t < 0 ? 0 : (t > 1 ? 1 : t);
        const double ex = px - (x0 + t * dx), ey = py - (y0 + t * dy);
        return ex * ex + ey * ey <= 4.5 * 4.5 + 1e-9;
    };
    int mismatches = 0;
    for (int y = 0; y < 60; ++y)
        for (int x = 0; x < 60; ++x) mismatches += c.lit(x, y) != inside(x, y);
    EXPECT_EQ(mismatches, 0);
}

TEST(CanvasRaster, EverythingClipsToTheCanvas) {
    GuardedCanvas c(20, 15);
    strokeSegment(c.view(), -1000, -1000, 1000, 1000, 10, kInk);
    strokeSegment(c.view(), -50, 7, 70, 7, 1, kInk);
    strokeSegment(c.view(), 19, -40, 19, 90, 1, kInk);
    EXPECT_TRUE(c.guardsIntact());
    EXPECT_TRUE(c.lit(0, 0));
    EXPECT_TRUE(c.lit(14, 14));
    for (int x = 0; x < 20; ++x) EXPECT_TRUE(c.lit(x, 7));
    for (int y = 0; y < 15; ++y) EXPECT_TRUE(c.lit(19, y));
}

TEST(CanvasRaster, CoordinatesAtThe32BitLimits) {
    GuardedCanvas c(16, 9);
    strokeSegment(c.view(), INT32_MIN, 4, INT32_MAX, 4, 1, kInk);
    EXPECT_EQ(c.count(), 16);
    strokeSegment(c.view(), INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX, 50, kInk);
    strokeSegment(c.view(), INT32_MAX, INT32_MIN, INT32_MAX, INT32_MAX, 50, kInk);
    strokeSegment(c.view(), INT32_MIN, INT32_MAX, 8, 4, 3, kInk);
    EXPECT_TRUE(c.guardsIntact());
    EXPECT_TRUE(c.lit(4, 4));
}

TEST(CanvasOpsTest, ColourValuesAreReorderedFromTheirLow24Bits) {
    EXPECT_EQ(canvasPixel(0x000000FF), 0x00FF0000u);
    EXPECT_EQ(canvasPixel(0xFF00FF00), 0x0000FF00u);
    EXPECT_EQ(canvasPixel(0x12563412), 0x00123456u);
}

TEST(CanvasOpsTest, DrawsThroughContextsAndPensLikeGdi) {
    GuardedCanvas c(30, 20);
    CanvasOps ops;
    Handle dc = ops.getDC(&c.canvas);
    ASSERT_NE(dc, nullptr);
    ClientRect rect{};
    ASSERT_TRUE(ops.getClientRect(&c.canvas, &rect));
    EXPECT_EQ(rect.right, 30);
    EXPECT_EQ(rect.bottom, 20);

    Handle pen = ops.createPen(0, 1, 0x00EFCDAB);  // 0x00BBGGRR for kInk
    Handle previous = ops.selectObject(dc, pen);
    ASSERT_NE(previous, nullptr);
    EXPECT_FALSE(ops.deleteObject(pen)) << "a selected pen stays";
    ops.moveToEx(dc, 2, 3);
    ops.lineTo(dc, 6, 3);
    ops.lineTo(dc, 6, 5);  // continues from the current position
    EXPECT_EQ(ops.selectObject(dc, previous), pen);
    EXPECT_TRUE(ops.deleteObject(pen));
    EXPECT_FALSE(ops.deleteObject(pen));
    EXPECT_FALSE(ops.deleteObject(previous)) << "the stock pen cannot be deleted";
    EXPECT_EQ(ops.releaseDC(&c.canvas, dc), 1);
    EXPECT_EQ(ops.releaseDC(&c.canvas, dc), 0);

    EXPECT_EQ(c.count(), 6);
    EXPECT_TRUE(c.lit(2, 3));
    EXPECT_TRUE(c.lit(6, 4));
    EXPECT_FALSE(c.lit(6, 5));
    EXPECT_EQ(CanvasOps::livePens(), 0);
    EXPECT_EQ(CanvasOps::liveContexts(), 0);
}

TEST(CanvasOpsTest, UnusableCanvasesGiveNoContext) {
    CanvasOps ops;
    uint32_t pixel = 0;
    LumCanvas empty{0, 0, 0, &pixel};
    LumCanvas noPixels{4, 4, 16, nullptr};
    LumCanvas shortStride{4, 4, 12, &pixel};
    LumCanvas negative{-4, 4, 16, &pixel};
    for (LumCanvas* canvas : {&empty, &noPixels, &shortStride, &negative}) {
        EXPECT_EQ(ops.getDC(canvas), nullptr);
        ClientRect rect{};
        EXPECT_FALSE(ops.getClientRect(canvas, &rect));
    }
    EXPECT_EQ(ops.getDC(nullptr), nullptr);
    // Operations on no context are harmless.
    EXPECT_FALSE(ops.lineTo(nullptr, 1, 1));
    EXPECT_FALSE(ops.moveToEx(nullptr, 1, 1));
    EXPECT_EQ(ops.selectObject(nullptr, nullptr), nullptr);
    EXPECT_EQ(ops.releaseDC(nullptr, nullptr), 0);
    EXPECT_EQ(CanvasOps::liveContexts(), 0);
}

}  // namespace
}  // namespace gyrotrail
