// The keys of the live window: those of a player (mpv's where they mean the
// same), and those that change the plug-in's settings.
#pragma once

#include <SDL2/SDL_keyboard.h>
#include <SDL2/SDL_keycode.h>

#include <cstdint>
#include <optional>
#include <span>

namespace lumhost {

enum class KeyAction {
    none,
    quit,            // q; Esc leaves fullscreen first
    restart,         // lumEnd, lumStart and the sound from its start
    step,            // a setting: +step, a toggle flipped, the next colour
    pause,           // pause or resume
    seek,            // by `step` seconds
    nextFile,
    previousFile,
    mute,
    volume,          // by `step` percent
    fullscreen,
    help,            // the help overlay on or off
    delay,           // the figure's delay by `step` milliseconds
    nextPreset,
    savePreset,
    randomise,
};

struct KeyBinding {
    SDL_Keycode key;
    bool typed;        // matched by the character typed ('<', '>'), whichever keys make it on the layout
    uint32_t paramId;  // the setting a step key changes; 0 for the others
    int32_t step;      // added to the value, the seconds of a seek, the percent of a volume change
    KeyAction action;
    const char* help;  // one line for --help and the help overlay; null for the second key of a pair
};

// The table --help prints and the window obeys.
std::span<const KeyBinding> playKeys();

// The binding for a key pressed with these modifiers. With Shift held no key
// is bound: what it types may be ('<', '>'), see findTyped.
const KeyBinding* findKey(SDL_Keycode key, uint16_t modifiers = 0);

// The binding for a character typed (SDL's text input), if any.
const KeyBinding* findTyped(const char* text);

// The colours `c` steps through, 0x00BBGGRR.
std::span<const int32_t> playColours();

}  // namespace lumhost
