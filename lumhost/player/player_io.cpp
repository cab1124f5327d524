#include "lumhost/player/player_io.h"

#include <cstdio>

namespace lumhost {

namespace {

bool accountOn = true;

}  // namespace

void setCommentary(bool on) { accountOn = on; }

bool commentary() { return accountOn; }

void tell(PlayerScreen& screen, const std::string& text, bool alsoOnStderr, double seconds) {
    if (alsoOnStderr && accountOn) std::fprintf(stderr, "lumhost: %s\n", text.c_str());
    screen.show({text}, seconds);
}

void warn(PlayerScreen& screen, const std::string& text) {
    std::fprintf(stderr, "lumhost: %s\n", text.c_str());
    screen.show({text}, 2.0);
}

std::string delayText(int delayMs) { return "delay " + std::string(delayMs > 0 ? "+" : "") + std::to_string(delayMs) + " ms"; }

}  // namespace lumhost
