// A host canvas laid inside a larger buffer whose every other pixel holds a
// guard value, so a write anywhere outside the canvas shows. The declared
// size and stride are taken as given, malformed ones included: the buffer
// then holds the pixels that such a declaration would cover, all of them
// guards, because a plug-in that draws into a malformed canvas is at fault.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "plugin/lum_plugin.h"

namespace gyrotrail::testing {

class GuardedCanvas {
public:
    static constexpr uint32_t kGuard = 0xDEADBEEFu;
    static constexpr uint32_t kBlank = 0x00000000u;

    // A well-formed canvas with `padding` guard pixels at the end of each row.
    GuardedCanvas(int32_t width, int32_t height, int32_t padding = 3);
    // Any declaration at all; `withPixels` false declares a null pixel pointer.
    static GuardedCanvas declared(int32_t width, int32_t height, int32_t strideBytes, bool withPixels = true);

    GuardedCanvas(const GuardedCanvas&) = delete;
    GuardedCanvas& operator=(const GuardedCanvas&) = delete;
    GuardedCanvas(GuardedCanvas&&) = default;

    LumCanvas* window() { return &canvas_; }
    // Blanks the canvas and restores every guard, for the next use.
    void reset();
    // True when the declaration is one a plug-in may draw into.
    bool wellFormed() const { return wellFormed_; }

    uint32_t pixel(int32_t x, int32_t y) const;
    // Canvas pixels holding `value`.
    std::size_t count(uint32_t value) const;
    // Every guard pixel as made.
    bool guardsIntact() const;
    // Every pixel, canvas and guards, as made.
    bool untouched() const;

private:
    GuardedCanvas(int32_t width, int32_t height, int32_t strideBytes, bool withPixels, bool wellFormed);
    const uint32_t* row(std::size_t y) const { return buffer_.data() + kMargin + y * stridePixels_; }
    uint32_t* row(std::size_t y) { return buffer_.data() + kMargin + y * stridePixels_; }

    static constexpr std::size_t kMargin = 64;  // guard pixels before and after the rows
    LumCanvas canvas_{};
    bool wellFormed_;
    std::size_t stridePixels_;
    std::size_t rows_;
    std::size_t columns_;  // canvas pixels per row; 0 when malformed
    std::vector<uint32_t> buffer_;
};

}  // namespace gyrotrail::testing
