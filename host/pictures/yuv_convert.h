// Canvas pixels (0x00RRGGBB) to the encoders' pictures: BT.601 limited-range
// YUV 4:2:0 for H.264 and VP9, palette indexes for GIF; and the changed spans
// of a canvas against the one before it, so that only those are converted.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "lum_plugin.h"

namespace lumhost {

// BT.601, limited range (Y 16..235, Cb/Cr 16..240), as swscale gives it.
uint8_t lumaOf(uint32_t rgb);

// Converts pixels [x0, x1) of two canvas rows (x0 and x1 even) into the luma
// rows `yTop`, `yBottom` and the chroma rows `u`, `v` (all indexed by canvas
// column, chroma by half of it); each chroma sample is the mean of its 2x2
// pixels, centred between them.
void bgr0ToYuv420(const uint32_t* top, const uint32_t* bottom, int x0, int x1, uint8_t* yTop, uint8_t* yBottom,
                  uint8_t* u, uint8_t* v);

// Keeps the previous canvas and finds what changed in each band of rows.
class ChangedSpans {
public:
    // Bands of `bandRows` rows (1 or 2); x spans are rounded out to multiples of `align`.
    ChangedSpans(int width, int height, int bandRows, int align);

    // Calls visit(band, x0, x1) for every band in which the canvas differs
    // from the previous one (starting from an all-black canvas), over the
    // columns [x0, x1) that cover every difference; then remembers the canvas.
    template <typename Visit>
    void update(const LumCanvas& canvas, Visit&& visit);

    int width() const { return width_; }
    int height() const { return height_; }

private:
    // First and one past the last differing pixel of a row; first == last when equal.
    void rowDifference(const uint32_t* now, const uint32_t* before, int& first, int& last) const;

    int width_, height_, bandRows_, align_;
    std::vector<uint32_t> previous_;
};

template <typename Visit>
void ChangedSpans::update(const LumCanvas& canvas, Visit&& visit) {
    for (int band = 0; band * bandRows_ < height_; ++band) {
        int x0 = width_, x1 = 0;
        for (int r = 0; r < bandRows_; ++r) {
            const int y = band * bandRows_ + r;
            if (y >= height_) break;
            const auto* now = reinterpret_cast<const uint32_t*>(reinterpret_cast<const char*>(canvas.pixels) +
                                                                static_cast<std::size_t>(y) * static_cast<std::size_t>(canvas.stride));
            uint32_t* before = previous_.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(width_);
            int first = 0, last = 0;
            rowDifference(now, before, first, last);
            if (first == last) continue;
            for (int x = first; x < last; ++x) before[x] = now[x];
            if (first < x0) x0 = first;
            if (last > x1) x1 = last;
        }
        if (x0 >= x1) continue;
        x0 -= x0 % align_;
        x1 += (align_ - x1 % align_) % align_;
        if (x1 > width_) x1 = width_;
        visit(band, x0, x1);
    }
}

}  // namespace lumhost
