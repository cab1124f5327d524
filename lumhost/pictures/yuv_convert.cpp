#include "lumhost/pictures/yuv_convert.h"

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

namespace {

// Whether 16 pixels differ from 16 others; whether 16 pixels are not all black.
#if defined(__SSE2__)
inline __m128i lane(const uint32_t* p, int i) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p) + i); }
inline bool anyBit(__m128i x) { return _mm_movemask_epi8(_mm_cmpeq_epi8(x, _mm_setzero_si128())) != 0xFFFF; }
inline bool chunkDiffers(const uint32_t* a, const uint32_t* b) {
    return anyBit(_mm_or_si128(_mm_or_si128(_mm_xor_si128(lane(a, 0), lane(b, 0)), _mm_xor_si128(lane(a, 1), lane(b, 1))),
                               _mm_or_si128(_mm_xor_si128(lane(a, 2), lane(b, 2)), _mm_xor_si128(lane(a, 3), lane(b, 3)))));
}
inline bool chunkLit(const uint32_t* a) {
    return anyBit(_mm_or_si128(_mm_or_si128(lane(a, 0), lane(a, 1)), _mm_or_si128(lane(a, 2), lane(a, 3))));
}
#else
inline bool chunkDiffers(const uint32_t* a, const uint32_t* b) { return std::memcmp(a, b, ChangedSpans::chunk * 4) != 0; }
inline bool chunkLit(const uint32_t* a) {
    uint32_t any = 0;
    for (int i = 0; i < ChangedSpans::chunk; ++i) any |= a[i];
    return any != 0;
}
#endif

}  // namespace

ChangedSpans::ChangedSpans(int width, int height, int bandRows)
    : width_(width), height_(height), bandRows_(bandRows), chunks_((width + chunk - 1) / chunk), words_((chunks_ + 63) / 64),
      previous_(static_cast<std::size_t>(width) * static_cast<std::size_t>(height), 0),
      black_(static_cast<std::size_t>(words_) * static_cast<std::size_t>(height), 0),
      mask_(static_cast<std::size_t>(words_), 0) {
    // Every whole chunk starts black.
    for (int y = 0; y < height; ++y)
        for (int c = 0; c < width / chunk; ++c) black_[static_cast<std::size_t>(y * words_ + (c >> 6))] |= uint64_t{1} << (c & 63);
}

bool ChangedSpans::markRow(int y, const uint32_t* now, uint64_t* mask) const {
    bool any = false;
    const int whole = width_ / chunk;
    const uint32_t* before = previous_.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(width_);
    const uint64_t* black = black_.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(words_);
    for (int c = 0; c < whole; ++c) {
        const bool wasBlack = (black[c >> 6] >> (c & 63)) & 1;
        if (wasBlack ? chunkLit(now + c * chunk) : chunkDiffers(now + c * chunk, before + c * chunk)) {
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

void ChangedSpans::keepRow(int y, const uint32_t* now, int x0, int x1) {
    uint32_t* before = previous_.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(width_);
    std::memcpy(before + x0, now + x0, static_cast<std::size_t>(x1 - x0) * 4);
    uint64_t* black = black_.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(words_);
    for (int c = x0 / chunk; c < x1 / chunk && (c + 1) * chunk <= width_; ++c) {
        const uint64_t bit = uint64_t{1} << (c & 63);
        if (chunkLit(now + c * chunk)) black[c >> 6] &= ~bit;
        else black[c >> 6] |= bit;
    }
}

}  // namespace lumhost
