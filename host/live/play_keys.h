// The keys of the live window and the settings they change.
#pragma once

#include <SDL2/SDL_keycode.h>

#include <cstdint>
#include <optional>
#include <span>

namespace lumhost {

enum class KeyAction { none, quit, restart, step };

struct KeyBinding {
    SDL_Keycode key;
    uint32_t paramId;  // 0 for keys that change no setting
    int32_t step;      // added to the value; for the toggle and the colour see below
    KeyAction action;
    const char* help;
};

// The table --help prints and the window obeys.
std::span<const KeyBinding> playKeys();

const KeyBinding* findKey(SDL_Keycode key);

// The colours `c` steps through, 0x00BBGGRR.
std::span<const int32_t> playColours();

}  // namespace lumhost
