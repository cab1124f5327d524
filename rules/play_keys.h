// The player's keys as data: one table that lumhost play's window, the page
// and every help text read. Keys are named as browsers name them
// (KeyboardEvent.key: "a", " ", "ArrowLeft", "Enter", "Escape", "<"); each
// front end maps its own key codes to these names.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace lumrules {

enum class KeyAction {
    none,
    quit,          // q; Esc leaves fullscreen first
    restart,       // lumEnd, lumStart and the sound from its start
    step,          // a setting: +step, a toggle flipped, the next colour
    pause,         // pause or resume
    seek,          // by `step` seconds
    nextFile,
    previousFile,
    mute,
    volume,        // by `step` percent
    fullscreen,
    help,          // the help on or off
    delay,         // the figure's delay by `step` milliseconds
    nextPreset,
    savePreset,
    randomise,
};

struct KeyBinding {
    const char* key;       // the key's name, as above
    bool typed;            // matched by the character typed ('<', '>'), whichever keys make it on the layout
    uint32_t paramId;      // the setting a step key changes; 0 for the others
    int32_t step;          // added to the value, the seconds of a seek, the percent of a volume change
    KeyAction action;
    const char* help;      // one help line; null for the second key of a pair
    const char* pageNote;  // null where the page does what lumhost play does; else what the page's help says instead
};

// The table every front end obeys and every help prints.
std::span<const KeyBinding> playKeys();

// The binding of a key by its name, or of a character typed; null if none.
const KeyBinding* findKey(std::string_view name);
const KeyBinding* findTyped(std::string_view text);

// The help, a line a binding with a help line: as lumhost play shows it, or
// as the page shows it (with the page's notes).
std::vector<std::string> keyHelpLines();
std::vector<std::string> pageKeyHelpLines();

// The colours `c` steps through, 0x00BBGGRR.
std::span<const int32_t> playColours();

// The value a step key gives a setting of `type` now at `value`: a toggle
// flips, a colour moves to the next of playColours (the first after the last
// or after one not among them), anything else moves by `step`.
int32_t steppedValue(int32_t type, int32_t value, int32_t step);

}  // namespace lumrules
