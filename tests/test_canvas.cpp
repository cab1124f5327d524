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

// Where a one-pixel line passes exactly half-way between two pixels, GDI
// takes the one with the smaller coordinate, whichever way the line runs.
TEST(CanvasRaster, OnePixelLineHalfWayTakesTheSmallerCoordinate) {
    for (bool reversed : {false, true}) {
        GuardedCanvas c(8, 8);
        if (reversed)
            strokeSegment(c.view(), 5, 4, 1, 2, 1, kInk);
        else
            strokeSegment(c.view(), 1, 2, 5, 4, 1, kInk);
        EXPECT_TRUE(c.lit(2, 2)) << reversed;  // half-way between rows 2 and 3
        EXPECT_FALSE(c.lit(2, 3)) << reversed;
        EXPECT_TRUE(c.lit(4, 3)) << reversed;  // half-way between rows 3 and 4
        EXPECT_FALSE(c.lit(4, 4)) << reversed;
        EXPECT_TRUE(c.lit(3, 3)) << reversed;
        EXPECT_EQ(c.count(), 4) << reversed;
    }
    GuardedCanvas steep(8, 8);
    strokeSegment(steep.view(), 4, 5, 2, 1, 1, kInk);  // steep, upward and to the left
    EXPECT_TRUE(steep.lit(4, 5));
    EXPECT_TRUE(steep.lit(3, 4));  // half-way between columns 3 and 4
    EXPECT_TRUE(steep.lit(3, 3));
    EXPECT_TRUE(steep.lit(2, 2));  // half-way between columns 2 and 3
    EXPECT_EQ(steep.count(), 4);
}

// Pen tips as GDI draws them: the pixels of a zero-length stroke. An odd
// width centres on the point, an even one on the corner above and left of it.
TEST(CanvasRaster, WidePenTipsAreGdisShapes) {
    struct Tip {
        int32_t width;
        int pixels;
    };
    for (const Tip tip : {Tip{2, 4}, Tip{3, 5}, Tip{4, 12}, Tip{5, 21}, Tip{9, 61}, Tip{10, 76}, Tip{11, 97}}) {
        GuardedCanvas c(40, 40);
        strokeSegment(c.view(), 20, 20, 20, 20, tip.width, kInk);
        EXPECT_EQ(c.count(), tip.pixels) << "width " << tip.width;
        const int32_t up = tip.width / 2, down = (tip.width - 1) / 2;
        EXPECT_TRUE(c.lit(20, 20 - up) && c.lit(20, 20 + down)) << "rows -w/2 .. (w-1)/2, width " << tip.width;
        EXPECT_FALSE(c.lit(20, 20 - up - 1) || c.lit(20, 20 + down + 1)) << "width " << tip.width;
    }
    GuardedCanvas plus(9, 9);
    strokeSegment(plus.view(), 4, 4, 4, 4, 3, kInk);
    EXPECT_TRUE(plus.lit(4, 3) && plus.lit(3, 4) && plus.lit(4, 4) && plus.lit(5, 4) && plus.lit(4, 5));
    EXPECT_FALSE(plus.lit(3, 3)) << "width 3 is a plus, not a square";
    GuardedCanvas one(9, 9);
    strokeSegment(one.view(), 4, 4, 4, 4, 1, kInk);
    EXPECT_EQ(one.count(), 0) << "a one-pixel line of no length draws nothing";
}

// A level stroke: the tips' rows, and between the end points the band as
// wide as the tips.
TEST(CanvasRaster, WidePenLevelStrokeAsGdiDrawsIt) {
    GuardedCanvas c(120, 80);
    strokeSegment(c.view(), 40, 40, 80, 40, 3, kInk);
    EXPECT_EQ(c.count(), 125);
    for (int32_t x = 40; x <= 80; ++x) EXPECT_TRUE(c.lit(x, 39) && c.lit(x, 40) && c.lit(x, 41)) << x;
    EXPECT_TRUE(c.lit(39, 40) && c.lit(81, 40));
    EXPECT_FALSE(c.lit(39, 39) || c.lit(81, 41));
    GuardedCanvas even(120, 80);
    strokeSegment(even.view(), 40, 40, 80, 40, 2, kInk);
    EXPECT_EQ(even.count(), 84);
    EXPECT_TRUE(even.lit(39, 39) && even.lit(80, 40));
    EXPECT_FALSE(even.lit(40, 41) || even.lit(81, 40));
    EXPECT_TRUE(even.guardsIntact() && c.guardsIntact());
}

// A slanted stroke's band, rows measured from GDI (slope 3/8): its edges lie
// off the segment by whole-pixel offsets, one side reaching further.
TEST(CanvasRaster, WidePenSlantedBandAsGdiDrawsIt) {
    struct Row {
        int32_t y, from, to;
    };
    auto check = [](int32_t width, std::initializer_list<Row> rows) {
        GuardedCanvas c(100, 60);
        strokeSegment(c.view(), 10, 10, 90, 40, width, kInk);
        for (const Row& r : rows) {
            EXPECT_FALSE(c.lit(r.from - 1, r.y)) << "width " << width << " row " << r.y;
            for (int32_t x = r.from; x <= r.to; ++x) EXPECT_TRUE(c.lit(x, r.y)) << "width " << width << " row " << r.y;
            EXPECT_FALSE(c.lit(r.to + 1, r.y)) << "width " << width << " row " << r.y;
        }
        // The same band when the segment runs on far beyond the canvas.
        GuardedCanvas longer(100, 60);
        strokeSegment(longer.view(), -150, -50, 250, 100, width, kInk);
        for (int32_t y = 20; y <= 32; ++y)
            for (int32_t x = 0; x < 100; ++x) EXPECT_EQ(longer.lit(x, y), c.lit(x, y)) << x << "," << y;
    };
    check(11, {{20, 22, 54}, {21, 24, 57}, {26, 38, 70}, {32, 54, 86}});
    check(10, {{20, 22, 51}, {21, 24, 54}, {26, 38, 67}, {32, 54, 83}});
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

// Beyond about 2^24 pixels GDI drops a wide stroke's band and keeps only its
// tips; the canvas goes on drawing the band as the geometry says.
TEST(CanvasRaster, FarStrokesKeepTheirBand) {
    for (const int32_t far : {1 << 23, 1 << 25, 1 << 27, 1 << 30}) {
        GuardedCanvas c(64, 48);
        strokeSegment(c.view(), 30, 20, 30 + far, 20 + far, 3, kInk);
        for (int32_t d = 1; d < 18; ++d) EXPECT_TRUE(c.lit(30 + d, 20 + d)) << far << " at " << d;
        EXPECT_FALSE(c.lit(40, 20)) << far;
        EXPECT_TRUE(c.guardsIntact());
    }
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
