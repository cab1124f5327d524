#include "lumhost/cli/frame_size.h"


#include "lumhost/base/host_error.h"
#include "rules/number_text.h"

namespace lumhost {

FrameSize parseFrameSize(const std::string& text) {
    const auto separator = text.find_first_of("xX");
    if (separator != std::string::npos) {
        const auto width = lumrules::parseDigits(std::string_view(text).substr(0, separator));
        const auto height = lumrules::parseDigits(std::string_view(text).substr(separator + 1));
        if (width && height && *width >= 1 && *height >= 1 && *width <= maxFrameSide && *height <= maxFrameSide)
            return {static_cast<int>(*width), static_cast<int>(*height)};
    }
    throw HostError("--size: expected WIDTHxHEIGHT with sides from 1 to " + std::to_string(maxFrameSide) + ", got '" +
                    text + "'");
}

}  // namespace lumhost
