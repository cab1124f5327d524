#include "host/player/player_io.h"

#include <cstdio>

namespace lumhost {

void tell(PlayerScreen& screen, const std::string& text, bool alsoOnStderr, double seconds) {
    if (alsoOnStderr) std::fprintf(stderr, "lumhost: %s\n", text.c_str());
    screen.show({text}, seconds);
}

std::string delayText(int delayMs) { return "delay " + std::string(delayMs > 0 ? "+" : "") + std::to_string(delayMs) + " ms"; }

}  // namespace lumhost
