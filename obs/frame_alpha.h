// A transparent source: the figure over the scene below. OBS blends an
// async BGRA frame with straight (not premultiplied) alpha, so a pixel's
// brightest channel becomes its alpha and its colour is divided by that
// alpha: blended, the pixel adds its own colour to what shows through, as
// the figure's trail does on black. Black is fully see-through; the fading
// segments fade into the scene rather than being cut out by a hard key.
#pragma once

#include <cstdint>

namespace lumobs {

// The canvas's 0x00RRGGBB pixels (B, G, R, 0 in memory) to BGRA pixels with
// that alpha; `width` pixels a row, rows `stride` bytes apart in both.
void alphaFromFigure(const uint32_t* canvas, uint32_t* out, int width, int height, int stride);

}  // namespace lumobs
