// Extreme values end to end, through the entry points into guarded canvases
// as the shipped module draws them: multi-megabyte full-scale blocks at the
// largest zoom, sums that wrap, points at the 32-bit limits, the widest pen
// on the smallest canvas. Nothing may crash or stray outside the canvas, and
// the figure lands where the arithmetic says.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <vector>

#include "plugin/lum_plugin.h"
#include "plugin/visualizer_state.h"
#include "render/canvas_raster.h"
#include "support/guarded_canvas.h"

namespace gyrotrail::testing {
namespace {

constexpr uint32_t kWhite = 0x00FFFFFF;

class Extremes : public ::testing::Test {
protected:
    void SetUp() override {
        visualizerState() = VisualizerState{};
        LumPluginInfo info{};
        ASSERT_EQ(lumInit(&info), 1);
    }
    static void set(uint32_t id, int32_t value) {
        LumParamInfo record{};
        record.value = value;
        ASSERT_EQ(lumSetParamInfo(id, &record), 1);
    }
    static void frame(GuardedCanvas& canvas, const std::vector<uint8_t>& block) {
        ASSERT_EQ(lumDisplaySoundData(canvas.window(), block.data(), static_cast<uint32_t>(block.size())), 1);
        ASSERT_TRUE(canvas.guardsIntact());
    }
    static const VisualizerState& state() { return visualizerState(); }
    static int32_t newestX() { return state().trailX[state().pointCount]; }
    static int32_t newestY() { return state().trailY[state().pointCount]; }
};

// The 32-bit sum of `count` bytes of `value`, each a signed 8-bit value,
// wrapping as two's complement.
int32_t wrappedSum(uint64_t count, uint8_t value) {
    const int64_t exact = static_cast<int64_t>(count) * static_cast<int8_t>(value);
    return static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(exact)));
}

TEST_F(Extremes, MegabyteFullScaleBlocksAtZoom99LandWhereTheSumsSay) {
    set(PARAM_ZOOM_FACTOR, 99);  // divisor 1
    set(PARAM_ROTATION_SPEED, 0);
    set(PARAM_LINE_LENGTH, 30);
    set(PARAM_LINE_WIDTH, 50);
    lumStart();
    GuardedCanvas canvas(640, 480);
    const uint32_t length = 6u << 20;
    const uint32_t third = length / 3;
    for (int i = 0; i < 40; ++i) {  // past full, so far points are repainted and faded too
        const uint8_t value = i % 2 ? 0x80 : 0x7F;
        frame(canvas, std::vector<uint8_t>(length, value));
        EXPECT_EQ(newestX(), 320 + wrappedSum(length - third, value)) << i;
        EXPECT_EQ(newestY(), 240 + wrappedSum(third, value)) << i;
    }
    EXPECT_NE(canvas.pixel(320, 240), GuardedCanvas::kBlank) << "segments through the centre were drawn";
}

TEST_F(Extremes, SumsWrapAt32BitsInBlocksOfTensOfMegabytes) {
    set(PARAM_ZOOM_FACTOR, 99);
    set(PARAM_ROTATION_SPEED, 0);
    lumStart();
    GuardedCanvas canvas(64, 48);
    const uint32_t length = 26000000;  // the last two thirds sum to more than 2^31
    frame(canvas, std::vector<uint8_t>(length, 0x7F));
    EXPECT_EQ(newestX(), 32 + wrappedSum(length - length / 3, 0x7F));
    EXPECT_LT(newestX(), 0) << "the sum wrapped to a negative value";
    EXPECT_EQ(newestY(), 24 + wrappedSum(length / 3, 0x7F));
}

TEST_F(Extremes, PointsAtThe32BitLimitsAreStoredSaturatedAndTheLinesClip) {
    set(PARAM_ZOOM_FACTOR, 99);
    set(PARAM_ROTATION_SPEED, 0);
    set(PARAM_LINE_WIDTH, 1);
    set(PARAM_LINE_LENGTH, 3);
    lumStart();
    GuardedCanvas canvas(64, 48);
    // No bytes in the first third; 16,909,320 bytes of 127 after it sum to
    // 2^31 - 8, which the centre's 32 pixels carry past the 32-bit limit.
    const uint32_t third = 8454660;
    std::vector<uint8_t> block(3 * third, 0);
    std::fill(block.begin() + third, block.end(), uint8_t{0x7F});
    frame(canvas, block);
    EXPECT_EQ(newestX(), INT32_MAX) << "saturated, not wrapped";
    EXPECT_EQ(newestY(), 24);
    // The line from the centre to the far right covers the rest of its row.
    for (int32_t x = 0; x < 64; ++x)
        EXPECT_EQ(canvas.pixel(x, 24), x >= 32 ? kWhite : GuardedCanvas::kBlank) << x;
    EXPECT_EQ(canvas.count(kWhite), 32u);

    // 2^24 bytes of -128 sum to exactly -2^31: the point lies 32 pixels inside the limit.
    std::fill(block.begin() + third, block.end(), uint8_t{0});
    std::fill(block.begin() + third, block.begin() + third + (1u << 24), uint8_t{0x80});
    frame(canvas, block);
    EXPECT_EQ(newestX(), INT32_MIN + 32);
    for (int32_t x = 0; x < 64; ++x) EXPECT_EQ(canvas.pixel(x, 24), kWhite) << x;

    // The trail is full: the next frame paints the first segment black and
    // repaints the second, from one limit to the other, at a third of white.
    frame(canvas, block);
    for (int32_t x = 0; x < 64; ++x) EXPECT_EQ(canvas.pixel(x, 24), 0x00555555u) << x;
    EXPECT_EQ(canvas.count(GuardedCanvas::kBlank), 64u * 47u);
}

TEST_F(Extremes, WidestPenOnASinglePixelCanvas) {
    set(PARAM_LINE_WIDTH, 50);
    set(PARAM_LINE_LENGTH, 30);
    set(PARAM_ROTATION_SPEED, 1);
    set(PARAM_ZOOM_FACTOR, 99);
    set(PARAM_COLOR, 0x00123456);
    lumStart();
    GuardedCanvas canvas(1, 1);
    const std::vector<uint8_t> loud(1u << 20, 0x7F), soft{1, 2, 3, 4, 5, 6, 7}, none;
    for (int i = 0; i < 100; ++i) frame(canvas, i % 3 == 0 ? loud : soft);
    // An empty block puts the new point on the centre, which is the only pixel.
    frame(canvas, none);
    EXPECT_EQ(canvas.pixel(0, 0), canvasPixel(0x00123456));
    EXPECT_EQ(newestX(), 0);
    EXPECT_EQ(newestY(), 0);
}

TEST_F(Extremes, CanvasesAsWideAndAsTallAsAllowed) {
    set(PARAM_LINE_WIDTH, 50);
    set(PARAM_ZOOM_FACTOR, 99);
    set(PARAM_ROTATION_SPEED, 3);
    lumStart();
    const std::vector<uint8_t> right(3 << 20, 0x7F), left(3 << 20, 0x80);
    GuardedCanvas wide(1 << 22, 1), tall(1, 1 << 20);
    frame(wide, right);
    EXPECT_EQ(wide.pixel(1 << 21, 0), kWhite) << "the first segment starts at the centre";
    lumStart();  // one trail serves every window: start it again at the tall one's centre
    frame(tall, left);
    EXPECT_EQ(tall.pixel(0, 1 << 19), kWhite);
    for (int i = 0; i < 8; ++i) {  // on past full: repaints between points far off both canvases
        frame(wide, i % 2 ? right : left);
        frame(tall, i % 2 ? left : right);
    }
}

}  // namespace
}  // namespace gyrotrail::testing
