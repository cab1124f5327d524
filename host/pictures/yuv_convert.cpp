#include "host/pictures/yuv_convert.h"

#include <cstring>

namespace lumhost {
namespace {

// The BT.601 matrix scaled to limited range, in 16-bit fixed point:
// Y = 219/255 (0.299 R + 0.587 G + 0.114 B) + 16, Cb and Cr 224/255 of the differences + 128.
constexpr int32_t yr = 16829, yg = 33039, yb = 6416;
constexpr int32_t ur = -9714, ug = -19070, ub = 28784;
constexpr int32_t vr = 28784, vg = -24103, vb = -4681;

inline int32_t red(uint32_t p) { return static_cast<int32_t>((p >> 16) & 0xFF); }
inline int32_t green(uint32_t p) { return static_cast<int32_t>((p >> 8) & 0xFF); }
inline int32_t blue(uint32_t p) { return static_cast<int32_t>(p & 0xFF); }

}  // namespace

uint8_t lumaOf(uint32_t p) {
    return static_cast<uint8_t>((yr * red(p) + yg * green(p) + yb * blue(p) + (16 << 16) + (1 << 15)) >> 16);
}

void bgr0ToYuv420(const uint32_t* top, const uint32_t* bottom, int x0, int x1, uint8_t* yTop, uint8_t* yBottom,
                  uint8_t* u, uint8_t* v) {
    for (int x = x0; x < x1; x += 2) {
        const uint32_t a = top[x], b = top[x + 1], c = bottom[x], d = bottom[x + 1];
        yTop[x] = lumaOf(a);
        yTop[x + 1] = lumaOf(b);
        yBottom[x] = lumaOf(c);
        yBottom[x + 1] = lumaOf(d);
        // Sums of four: the mean is taken in the final shift (2 more bits).
        const int32_t r = red(a) + red(b) + red(c) + red(d);
        const int32_t g = green(a) + green(b) + green(c) + green(d);
        const int32_t bl = blue(a) + blue(b) + blue(c) + blue(d);
        u[x / 2] = static_cast<uint8_t>((ur * r + ug * g + ub * bl + (128 << 18) + (1 << 17)) >> 18);
        v[x / 2] = static_cast<uint8_t>((vr * r + vg * g + vb * bl + (128 << 18) + (1 << 17)) >> 18);
    }
}

ChangedSpans::ChangedSpans(int width, int height, int bandRows, int align)
    : width_(width), height_(height), bandRows_(bandRows), align_(align),
      previous_(static_cast<std::size_t>(width) * static_cast<std::size_t>(height), 0) {}

void ChangedSpans::rowDifference(const uint32_t* now, const uint32_t* before, int& first, int& last) const {
    const auto bytes = static_cast<std::size_t>(width_) * 4;
    if (std::memcmp(now, before, bytes) == 0) {
        first = last = 0;
        return;
    }
    // Eight pixels at a time from each end, then pixel by pixel.
    int x = 0;
    while (x + 8 <= width_ && std::memcmp(now + x, before + x, 32) == 0) x += 8;
    while (now[x] == before[x]) ++x;
    int end = width_;
    while (end - 8 >= x && std::memcmp(now + end - 8, before + end - 8, 32) == 0) end -= 8;
    while (now[end - 1] == before[end - 1]) --end;
    first = x;
    last = end;
}

}  // namespace lumhost
