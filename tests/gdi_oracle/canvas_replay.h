// The recorded drawing calls of a frame drawn on a pixel buffer with the
// canvas rasteriser: the canvas's answer for frames whose calls come from the
// recording backend.
#pragma once

#include <cstdint>
#include <vector>

#include "support/recording_ops.h"

namespace gyrotrail::oracle {

class CanvasReplay {
public:
    // A black canvas of this size.
    void reset(int32_t width, int32_t height);
    void apply(const std::vector<testing::DrawCall>& calls);
    const std::vector<uint32_t>& pixels() const { return pixels_; }
    int32_t width() const { return width_; }
    int32_t height() const { return height_; }

private:
    struct Pen {
        int64_t style, width, colour;
    };
    static constexpr Pen kStock{0, 1, 0};  // a new context's pen: black, one pixel
    int32_t width_ = 0, height_ = 0;
    std::vector<uint32_t> pixels_;
    Pen created_ = kStock, selected_ = kStock;
    int32_t x_ = 0, y_ = 0;
};

}  // namespace gyrotrail::oracle
