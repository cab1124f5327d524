#include "obs/frame_alpha.h"

#include <algorithm>
#include <array>
#include <cstddef>

namespace lumobs {
namespace {

// colour x 255 / alpha rounded to nearest, for every alpha and colour:
// 64 KiB made once, so a frame costs a lookup per channel.
const std::array<uint8_t, 256 * 256>& unpremultiplied() {
    static const auto table = [] {
        std::array<uint8_t, 256 * 256> t{};
        for (unsigned alpha = 1; alpha < 256; ++alpha)
            for (unsigned colour = 0; colour <= alpha; ++colour)
                t[alpha * 256 + colour] = static_cast<uint8_t>((colour * 255 + alpha / 2) / alpha);
        return t;
    }();
    return table;
}

}  // namespace

void alphaFromFigure(const uint32_t* canvas, uint32_t* out, int width, int height, int stride) {
    const auto& table = unpremultiplied();
    for (int y = 0; y < height; ++y) {
        const auto* from = reinterpret_cast<const uint32_t*>(reinterpret_cast<const uint8_t*>(canvas) + static_cast<std::ptrdiff_t>(y) * stride);
        auto* to = reinterpret_cast<uint32_t*>(reinterpret_cast<uint8_t*>(out) + static_cast<std::ptrdiff_t>(y) * stride);
        for (int x = 0; x < width; ++x) {
            const uint32_t p = from[x] & 0x00FFFFFFu;
            const unsigned r = (p >> 16) & 0xFF, g = (p >> 8) & 0xFF, b = p & 0xFF;
            const unsigned alpha = std::max({r, g, b});
            if (alpha == 0) {
                to[x] = 0;
                continue;
            }
            const uint8_t* row = table.data() + alpha * 256;
            to[x] = (alpha << 24) | (static_cast<uint32_t>(row[r]) << 16) | (static_cast<uint32_t>(row[g]) << 8) | row[b];
        }
    }
}

}  // namespace lumobs
