// The span converter against swscale, and the changed spans against a
// conversion of the whole canvas.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

extern "C" {
#include <libswscale/swscale.h>
}

#include "lumhost/pictures/yuv_convert.h"

namespace lumhost {
namespace {

struct Yuv {
    int width = 0, height = 0;
    std::vector<uint8_t> y, u, v;
    Yuv(int w, int h)
        : width(w), height(h), y(static_cast<std::size_t>(w * h), 16), u(static_cast<std::size_t>(w * h / 4), 128),
          v(static_cast<std::size_t>(w * h / 4), 128) {}
};

void convertAll(const std::vector<uint32_t>& pixels, int width, int height, Yuv& out) {
    for (int band = 0; band < height / 2; ++band) {
        const uint32_t* top = pixels.data() + static_cast<std::size_t>(2 * band * width);
        bgr0ToYuv420(top, top + width, 0, width, out.y.data() + 2 * band * width, out.y.data() + (2 * band + 1) * width,
                     out.u.data() + band * width / 2, out.v.data() + band * width / 2);
    }
}

// swscale's bgr0 to yuv420p, BT.601 limited range (its default), with `flags`.
Yuv swscaled(const std::vector<uint32_t>& pixels, int width, int height, int flags) {
    Yuv out(width, height);
    SwsContext* context = sws_getContext(width, height, AV_PIX_FMT_BGR0, width, height, AV_PIX_FMT_YUV420P, flags, nullptr,
                                         nullptr, nullptr);
    EXPECT_NE(context, nullptr);
    const uint8_t* source[4] = {reinterpret_cast<const uint8_t*>(pixels.data()), nullptr, nullptr, nullptr};
    const int sourceStride[4] = {width * 4, 0, 0, 0};
    uint8_t* planes[4] = {out.y.data(), out.u.data(), out.v.data(), nullptr};
    const int strides[4] = {width, width / 2, width / 2, 0};
    sws_scale(context, source, sourceStride, 0, height, planes, strides);
    sws_freeContext(context);
    return out;
}

int largestDifference(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
    int largest = 0;
    for (std::size_t i = 0; i < a.size(); ++i) largest = std::max(largest, std::abs(int(a[i]) - int(b[i])));
    return largest;
}

std::vector<uint32_t> randomPixels(std::mt19937& random, int width, int height, int block) {
    std::vector<uint32_t> pixels(static_cast<std::size_t>(width * height));
    for (int y = 0; y < height; y += block)
        for (int x = 0; x < width; x += block) {
            const uint32_t colour = random() & 0xFFFFFF;
            for (int dy = 0; dy < block && y + dy < height; ++dy)
                for (int dx = 0; dx < block && x + dx < width; ++dx)
                    pixels[static_cast<std::size_t>((y + dy) * width + x + dx)] = colour;
        }
    return pixels;
}

TEST(YuvConvert, BlackWhiteAndPrimariesAreBt601LimitedRange) {
    std::vector<uint32_t> pixels = {0x000000, 0x000000, 0xFFFFFF, 0xFFFFFF, 0x000000, 0x000000, 0xFFFFFF, 0xFFFFFF};
    Yuv out(4, 2);
    convertAll(pixels, 4, 2, out);
    EXPECT_EQ(out.y, (std::vector<uint8_t>{16, 16, 235, 235, 16, 16, 235, 235}));
    EXPECT_EQ(out.u, (std::vector<uint8_t>{128, 128}));
    EXPECT_EQ(out.v, (std::vector<uint8_t>{128, 128}));
    for (const auto& [colour, y, u, v] : std::vector<std::tuple<uint32_t, int, int, int>>{
             {0xFF0000, 81, 90, 240}, {0x00FF00, 145, 54, 34}, {0x0000FF, 41, 240, 110}}) {
        std::vector<uint32_t> flat(4, colour);
        Yuv one(2, 2);
        convertAll(flat, 2, 2, one);
        EXPECT_EQ(one.y[0], y) << std::hex << colour;
        EXPECT_EQ(one.u[0], u) << std::hex << colour;
        EXPECT_EQ(one.v[0], v) << std::hex << colour;
    }
}

// Each chroma sample is its 2x2 pixels' mean: swscale's area filter (which
// ffmpeg's own bicubic default differs from only in smoothing chroma over
// more rows). Random noise and random 2x2 and 8x8 blocks.
TEST(YuvConvert, MatchesSwscaleOnRandomImages) {
    std::mt19937 random(20261208);
    for (const auto& [width, height] : std::vector<std::pair<int, int>>{{64, 48}, {1280, 720}, {34, 10}}) {
        for (const int block : {1, 2, 8}) {
            const auto pixels = randomPixels(random, width, height, block);
            Yuv ours(width, height);
            convertAll(pixels, width, height, ours);
            const auto area = swscaled(pixels, width, height, SWS_AREA);
            EXPECT_LE(largestDifference(ours.y, area.y), 1) << width << "x" << height << " blocks of " << block;
            EXPECT_LE(largestDifference(ours.u, area.u), 1) << width << "x" << height << " blocks of " << block;
            EXPECT_LE(largestDifference(ours.v, area.v), 1) << width << "x" << height << " blocks of " << block;
            const auto bicubic = swscaled(pixels, width, height, SWS_BICUBIC);
            EXPECT_LE(largestDifference(ours.y, bicubic.y), 1) << width << "x" << height << " blocks of " << block;
        }
    }
}

// Random strokes drawn over many frames: converting only the changed spans
// into one persistent picture gives what converting every canvas whole gives.
TEST(ChangedSpans, ConvertingOnlyTheChangesEqualsConvertingAll) {
    constexpr int width = 96, height = 40;
    std::mt19937 random(7);
    std::vector<uint32_t> canvas(width * height, 0);
    const LumCanvas view{width, height, width * 4, canvas.data()};
    ChangedSpans spans(width, height, 2);
    Yuv kept(width, height);
    int visits = 0;
    for (int frame = 0; frame < 200; ++frame) {
        // A few runs of one colour, now and then none at all.
        const int strokes = frame % 7 == 3 ? 0 : static_cast<int>(random() % 4);
        for (int s = 0; s < strokes; ++s) {
            const int y = static_cast<int>(random() % height), x = static_cast<int>(random() % width);
            const int length = 1 + static_cast<int>(random() % 20);
            const uint32_t colour = random() % 3 == 0 ? 0 : random() & 0xFFFFFF;
            for (int i = x; i < std::min(width, x + length); ++i) canvas[static_cast<std::size_t>(y * width + i)] = colour;
        }
        spans.update(view, [&](int band, int x0, int x1) {
            ++visits;
            EXPECT_EQ(x0 % ChangedSpans::chunk, 0);
            EXPECT_TRUE(x1 % ChangedSpans::chunk == 0 || x1 == width);
            const uint32_t* top = canvas.data() + 2 * band * width;
            bgr0ToYuv420(top, top + width, x0, x1, kept.y.data() + 2 * band * width, kept.y.data() + (2 * band + 1) * width,
                         kept.u.data() + band * width / 2, kept.v.data() + band * width / 2);
        });
        Yuv whole(width, height);
        convertAll(canvas, width, height, whole);
        ASSERT_EQ(kept.y, whole.y) << "frame " << frame;
        ASSERT_EQ(kept.u, whole.u) << "frame " << frame;
        ASSERT_EQ(kept.v, whole.v) << "frame " << frame;
    }
    EXPECT_GT(visits, 100);
    EXPECT_LT(visits, 200 * height / 2 / 4) << "only the bands that changed";
}

TEST(ChangedSpans, RunsOfChangedChunksCoverEveryDifference) {
    constexpr int width = 70, height = 3;  // four whole chunks and a short one
    std::vector<uint32_t> canvas(width * height, 0);
    const LumCanvas view{width, height, width * 4, canvas.data()};
    ChangedSpans spans(width, height, 1);
    std::vector<std::tuple<int, int, int>> seen;
    auto record = [&](int row, int x0, int x1) { seen.emplace_back(row, x0, x1); };
    spans.update(view, record);
    EXPECT_TRUE(seen.empty()) << "black, as the start";
    canvas[1 * width + 3] = 0x10;
    canvas[1 * width + 20] = 0x20;   // the next chunk: one run of two
    canvas[1 * width + 50] = 0x30;   // a chunk apart: a run of its own
    canvas[2 * width + 69] = 0x40;   // the short last chunk
    spans.update(view, record);
    EXPECT_EQ(seen, (std::vector<std::tuple<int, int, int>>{{1, 0, 32}, {1, 48, 64}, {2, 64, 70}}));
    seen.clear();
    spans.update(view, record);
    EXPECT_TRUE(seen.empty()) << "nothing changed";
    canvas[1 * width + 20] = 0;
    spans.update(view, record);
    EXPECT_EQ(seen, (std::vector<std::tuple<int, int, int>>{{1, 16, 32}}));
}

}  // namespace
}  // namespace lumhost
