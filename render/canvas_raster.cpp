#include "canvas_raster.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "render/gdi_wide_stroke.h"
#include "render/segment_cut.h"

namespace gyrotrail {

namespace {

// One-pixel line, end point left out: along the major axis one pixel a step,
// the minor coordinate rounded to the nearest pixel; where the line passes
// exactly half-way between two pixels, the one with the smaller coordinate
// (the upper one of a shallow line, the left one of a steep line), as GDI
// chooses.
template <class SpanSink>
void strokeThin(const PixelView& v, const Segment& s, SpanSink&& span) {
    const int64_t adx = std::llabs(s.x1 - s.x0), ady = std::llabs(s.y1 - s.y0);
    const int64_t sx = s.x1 >= s.x0 ? 1 : -1, sy = s.y1 >= s.y0 ? 1 : -1;
    const bool xMajor = adx >= ady;
    const int64_t major = xMajor ? adx : ady, minor = xMajor ? ady : adx;
    if (major == 0) return;
    const int64_t majorStart = xMajor ? s.x0 : s.y0, minorStart = xMajor ? s.y0 : s.x0;
    const int64_t majorStep = xMajor ? sx : sy, minorStep = xMajor ? sy : sx;
    const int64_t majorSize = xMajor ? v.width : v.height, minorSize = xMajor ? v.height : v.width;

    // Steps whose major coordinate lies on the canvas.
    int64_t first = majorStep > 0 ? -majorStart : majorStart - (majorSize - 1);
    int64_t last = majorStep > 0 ? majorSize - 1 - majorStart : majorStart;
    first = std::max<int64_t>(first, 0);
    last = std::min<int64_t>(last, major - 1);
    if (first > last) return;

    // Minor offset at step i is floor((2*i*minor + major - tie) / (2*major)),
    // tie = 1 when the minor coordinate grows (halves round down to the
    // smaller coordinate) and 0 when it shrinks (halves round up the offset,
    // which again is the smaller coordinate).
    const int64_t den = 2 * major;
    int64_t num = 2 * first * minor + major - (minorStep > 0 ? 1 : 0);
    int64_t offset = num / den;
    int64_t rest = num % den;
    for (int64_t i = first; i <= last; ++i) {
        const int64_t a = majorStart + majorStep * i;
        const int64_t b = minorStart + minorStep * offset;
        if (b >= 0 && b < minorSize) {
            const int64_t x = xMajor ? a : b, y = xMajor ? b : a;
            span(y, x, x);
        }
        rest += 2 * minor;
        if (rest >= den) {
            rest -= den;
            ++offset;
        }
    }
}


// Sets `count` pixels from `run` on. A compiler at -O2 leaves a plain loop
// scalar, so the stores are spelled out four pixels at a time; the last four
// may overlap the ones before.
void fillRun(uint32_t* run, int64_t count, uint32_t pixel) {
#if defined(__SSE2__)
    if (count >= 4) {
        const __m128i four = _mm_set1_epi32(static_cast<int>(pixel));
        int64_t i = 0;
        for (; i + 8 <= count; i += 8) {
            _mm_storeu_si128(reinterpret_cast<__m128i*>(run + i), four);
            _mm_storeu_si128(reinterpret_cast<__m128i*>(run + i + 4), four);
        }
        if (i + 4 <= count) {
            _mm_storeu_si128(reinterpret_cast<__m128i*>(run + i), four);
            i += 4;
        }
        if (i < count) _mm_storeu_si128(reinterpret_cast<__m128i*>(run + count - 4), four);
        return;
    }
#endif
    for (int64_t i = 0; i < count; ++i) run[i] = pixel;
}

// Hands every covered run of pixels of one row, xFrom..xTo inclusive, to `span`.
template <class SpanSink>
void forEachSpan(const PixelView& view, int32_t x0, int32_t y0, int32_t x1, int32_t y1, int32_t width,
                 SpanSink&& span) {
    if (view.width <= 0 || view.height <= 0) return;
    Segment s{x0, y0, x1, y1};
    if (!cutToLimit(s)) return;
    if (width <= 1)
        strokeThin(view, s, span);
    else
        strokeWideGdi(view.width, view.height, s, width, span);
}

}  // namespace

void strokeSegment(const PixelView& view, int32_t x0, int32_t y0, int32_t x1, int32_t y1, int32_t width,
                   uint32_t pixel) {
    if (view.pixels == nullptr) return;
    forEachSpan(view, x0, y0, x1, y1, width, [&view, pixel](int64_t y, int64_t xFrom, int64_t xTo) {
        uint32_t* run = view.pixels + y * view.stridePixels + xFrom;
        if (xFrom == xTo)
            *run = pixel;  // the common case of a one-pixel line
        else
            fillRun(run, xTo - xFrom + 1, pixel);
    });
}

int64_t coveredPixels(const PixelView& view, int32_t x0, int32_t y0, int32_t x1, int32_t y1, int32_t width) {
    int64_t count = 0;
    forEachSpan(view, x0, y0, x1, y1, width,
                [&count](int64_t, int64_t xFrom, int64_t xTo) { count += xTo - xFrom + 1; });
    return count;
}

}  // namespace gyrotrail
