// The window's keys: SDL's key codes looked up in the player's key table,
// which every front end and every help text shares.
#pragma once

#include <SDL2/SDL_keyboard.h>
#include <SDL2/SDL_keycode.h>

#include <cstdint>
#include <string>

#include "rules/play_keys.h"

namespace lumhost {

using lumrules::KeyAction;
using lumrules::KeyBinding;
using lumrules::playColours;
using lumrules::playKeys;

// The table's name of an SDL key ("a", " ", "ArrowLeft", "Enter"), empty for a key it does not name.
std::string keyName(SDL_Keycode key);

// The binding for a key pressed with these modifiers. With Shift held no key
// is bound: what it types may be ('<', '>'), see findTyped.
const KeyBinding* findKey(SDL_Keycode key, uint16_t modifiers = 0);

// The binding for a character typed (SDL's text input), if any.
const KeyBinding* findTyped(const char* text);

}  // namespace lumhost
