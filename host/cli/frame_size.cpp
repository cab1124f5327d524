#include "host/cli/frame_size.h"


#include "host/base/host_error.h"
#include "host/base/number_text.h"

namespace lumhost {

FrameSize parseFrameSize(const std::string& text) {
    const auto separator = text.find_first_of("xX");
    if (separator != std::string::npos) {
        const auto width = parseDigits(std::string_view(text).substr(0, separator));
        const auto height = parseDigits(std::string_view(text).substr(separator + 1));
        if (width && height && *width >= 1 && *height >= 1 && *width <= maxFrameSide && *height <= maxFrameSide)
            return {static_cast<int>(*width), static_cast<int>(*height)};
    }
    throw HostError("--size: expected WIDTHxHEIGHT with sides from 1 to " + std::to_string(maxFrameSide) + ", got '" +
                    text + "'");
}

}  // namespace lumhost
