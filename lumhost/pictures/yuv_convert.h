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

// Keeps the previous canvas and finds what changed in each band of rows, in
// chunks of 16 pixels (a cache line of the canvas).
class ChangedSpans {
public:
    static constexpr int chunk = 16;

    // Bands of `bandRows` rows (1 or 2).
    ChangedSpans(int width, int height, int bandRows);

    // Calls visit(band, x0, x1) for every run of chunks of a band in which
    // the canvas differs from the previous one (starting from an all-black
    // canvas); x0 is a multiple of the chunk, x1 one too or the width. Then
    // remembers the canvas.
    template <typename Visit>
    void update(const LumCanvas& canvas, Visit&& visit);

    int width() const { return width_; }
    int height() const { return height_; }

private:
    // Sets the bit of every chunk of row `y` that differs; whether any did.
    bool markRow(int y, const uint32_t* now, uint64_t* mask) const;
    // Copies [x0, x1) of row `y` as the previous one, noting its black chunks.
    void keepRow(int y, const uint32_t* now, int x0, int x1);

    int width_, height_, bandRows_, chunks_, words_;
    std::vector<uint32_t> previous_;
    // A bit per whole chunk of each row that was black: only the new pixels need reading there.
    std::vector<uint64_t> black_;
    std::vector<uint64_t> mask_;
};

template <typename Visit>
void ChangedSpans::update(const LumCanvas& canvas, Visit&& visit) {
    const auto* base = reinterpret_cast<const char*>(canvas.pixels);
    for (int band = 0; band * bandRows_ < height_; ++band) {
        const int y0 = band * bandRows_;
        const int rows = y0 + bandRows_ <= height_ ? bandRows_ : height_ - y0;
        std::fill(mask_.begin(), mask_.end(), 0);
        bool any = false;
        for (int r = 0; r < rows; ++r)
            any |= markRow(y0 + r, reinterpret_cast<const uint32_t*>(base + static_cast<std::ptrdiff_t>(y0 + r) * canvas.stride),
                           mask_.data());
        if (!any) continue;
        for (int c = 0; c < chunks_;) {
            if (!(mask_[static_cast<std::size_t>(c >> 6)] >> (c & 63) & 1)) {
                ++c;
                continue;
            }
            const int first = c;
            while (c < chunks_ && (mask_[static_cast<std::size_t>(c >> 6)] >> (c & 63) & 1)) ++c;
            const int x0 = first * chunk, x1 = c * chunk < width_ ? c * chunk : width_;
            for (int r = 0; r < rows; ++r)
                keepRow(y0 + r, reinterpret_cast<const uint32_t*>(base + static_cast<std::ptrdiff_t>(y0 + r) * canvas.stride), x0, x1);
            visit(band, x0, x1);
        }
    }
}

}  // namespace lumhost
