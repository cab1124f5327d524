#include "host/frame_size.h"

#include <regex>

#include "host/host_error.h"

namespace lumhost {

FrameSize parseFrameSize(const std::string& text) {
    static const std::regex pattern("([0-9]{1,5})[xX]([0-9]{1,5})");
    std::smatch match;
    if (std::regex_match(text, match, pattern)) {
        const int width = std::stoi(match[1]), height = std::stoi(match[2]);
        if (width >= 1 && height >= 1 && width <= maxFrameSide && height <= maxFrameSide) return {width, height};
    }
    throw HostError("--size: expected WIDTHxHEIGHT with sides from 1 to " + std::to_string(maxFrameSide) + ", got '" +
                    text + "'");
}

}  // namespace lumhost
