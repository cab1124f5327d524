// Parsing --size WIDTHxHEIGHT.
#pragma once

#include <string>

namespace lumhost {

struct FrameSize {
    int width;
    int height;
};

constexpr int maxFrameSide = 16384;

// Throws HostError unless `text` is WIDTHxHEIGHT with both sides 1..16384.
FrameSize parseFrameSize(const std::string& text);

}  // namespace lumhost
