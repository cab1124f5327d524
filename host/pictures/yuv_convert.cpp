#include "host/pictures/yuv_convert.h"

#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

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
        if ((a | b | c | d) == 0) {  // most of a figure's canvas
            yTop[x] = yTop[x + 1] = yBottom[x] = yBottom[x + 1] = 16;
            u[x / 2] = v[x / 2] = 128;
            continue;
        }
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

ChangedSpans::ChangedSpans(int width, int height, int bandRows)
    : width_(width), height_(height), bandRows_(bandRows), chunks_((width + chunk - 1) / chunk),
      previous_(static_cast<std::size_t>(width) * static_cast<std::size_t>(height), 0),
      mask_(static_cast<std::size_t>((chunks_ + 63) / 64), 0) {}

bool ChangedSpans::markRow(const uint32_t* now, const uint32_t* before, uint64_t* mask) const {
    bool any = false;
    const int whole = width_ / chunk;
    for (int c = 0; c < whole; ++c) {
        const uint32_t* a = now + c * chunk;
        const uint32_t* b = before + c * chunk;
#if defined(__SSE2__)
        // Four 16-byte lanes: any bit that differs survives the ORs.
        const auto lane = [&](int i) {
            return _mm_xor_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(a) + i),
                                 _mm_loadu_si128(reinterpret_cast<const __m128i*>(b) + i));
        };
        const __m128i differ = _mm_or_si128(_mm_or_si128(lane(0), lane(1)), _mm_or_si128(lane(2), lane(3)));
        const bool changed = _mm_movemask_epi8(_mm_cmpeq_epi8(differ, _mm_setzero_si128())) != 0xFFFF;
#else
        const bool changed = std::memcmp(a, b, chunk * 4) != 0;
#endif
        if (changed) {
            mask[c >> 6] |= uint64_t{1} << (c & 63);
            any = true;
        }
    }
    if (whole < chunks_ && std::memcmp(now + whole * chunk, before + whole * chunk,
                                       static_cast<std::size_t>(width_ - whole * chunk) * 4) != 0) {
        mask[whole >> 6] |= uint64_t{1} << (whole & 63);
        any = true;
    }
    return any;
}

}  // namespace lumhost
