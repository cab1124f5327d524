// Reading a PNG back as 0x00RRGGBB pixels.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace hosttest {

struct Picture {
    int width = 0;
    int height = 0;
    std::vector<uint32_t> pixels;  // 0x00RRGGBB, rows top-down
    uint32_t at(int x, int y) const { return pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + static_cast<std::size_t>(x)]; }
    // Pixels brighter than `threshold` in any of R, G, B.
    long litPixels(int threshold = 64) const;
};

Picture readPng(const std::string& path);  // empty picture if unreadable

}  // namespace hosttest
