#include "lumhost/window/play_keys.h"

namespace lumhost {

std::string keyName(SDL_Keycode key) {
    switch (key) {
        case SDLK_LEFT: return "ArrowLeft";
        case SDLK_RIGHT: return "ArrowRight";
        case SDLK_UP: return "ArrowUp";
        case SDLK_DOWN: return "ArrowDown";
        case SDLK_RETURN:
        case SDLK_KP_ENTER: return "Enter";
        case SDLK_ESCAPE: return "Escape";
        default: break;
    }
    // The printable keys' codes are their characters.
    if (key >= 0x20 && key < 0x7F) return std::string(1, static_cast<char>(key));
    return {};
}

const KeyBinding* findKey(SDL_Keycode key, uint16_t modifiers) {
    if ((modifiers & KMOD_SHIFT) != 0) return nullptr;
    const auto name = keyName(key);
    return name.empty() ? nullptr : lumrules::findKey(name);
}

const KeyBinding* findTyped(const char* text) { return text == nullptr ? nullptr : lumrules::findTyped(text); }

}  // namespace lumhost
