// Rasterising pen strokes into a 32-bit 0x00RRGGBB pixel buffer, the way the
// Windows drawing interface strokes a solid pen.
#pragma once

#include <cstdint>

namespace gyrotrail {

struct PixelView {
    uint32_t* pixels;
    int32_t width;
    int32_t height;
    int32_t stridePixels;  // pixels from one row to the next
};

// Canvas pixel of a colour value: its low 24 bits, 0x00BBGGRR, reordered.
inline uint32_t canvasPixel(uint32_t colour) {
    return ((colour & 0xFFu) << 16) | (colour & 0xFF00u) | ((colour >> 16) & 0xFFu);
}

// Strokes the segment from (x0, y0) to (x1, y1) with the pixels GDI lights
// for LineTo with a solid pen of that width. A width of 1 or less draws a
// one-pixel line that leaves out its end point; a wider pen puts its round
// tip on both ends and a band between them (render/gdi_wide_stroke.h).
// Everything is clipped to the view; coordinates may be anywhere in the
// 32-bit range.
void strokeSegment(const PixelView& view, int32_t x0, int32_t y0, int32_t x1, int32_t y1, int32_t width,
                   uint32_t pixel);

// How many pixels strokeSegment would write for the same stroke: the work a
// stroke costs, for measuring the canvas. The view's pixels are not touched.
int64_t coveredPixels(const PixelView& view, int32_t x0, int32_t y0, int32_t x1, int32_t y1, int32_t width);

}  // namespace gyrotrail
