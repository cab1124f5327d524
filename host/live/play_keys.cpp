#include "host/live/play_keys.h"

#include <array>

#include "lum_plugin.h"

namespace lumhost {
namespace {

constexpr std::array<KeyBinding, 31> bindings{{
    {SDLK_SPACE, false, 0, 0, KeyAction::pause, "space        pause / resume"},
    {SDLK_LEFT, false, 0, -5, KeyAction::seek, "Left/Right   seek back / forward 5 seconds"},
    {SDLK_RIGHT, false, 0, 5, KeyAction::seek, nullptr},
    {SDLK_DOWN, false, 0, -60, KeyAction::seek, "Down/Up      seek back / forward 60 seconds"},
    {SDLK_UP, false, 0, 60, KeyAction::seek, nullptr},
    {SDLK_LESS, true, 0, 0, KeyAction::previousFile, "< / >        previous / next file (Enter: next)"},
    {SDLK_GREATER, true, 0, 0, KeyAction::nextFile, nullptr},
    {SDLK_RETURN, false, 0, 0, KeyAction::nextFile, nullptr},
    {SDLK_m, false, 0, 0, KeyAction::mute, "m            mute / unmute"},
    {SDLK_9, false, 0, -10, KeyAction::volume, "9 / 0        volume down / up"},
    {SDLK_0, false, 0, 10, KeyAction::volume, nullptr},
    {SDLK_f, false, 0, 0, KeyAction::fullscreen, "f            fullscreen on / off (or double-click)"},
    {SDLK_h, false, 0, 0, KeyAction::help, "h            this help in the window"},
    {SDLK_MINUS, false, 0, -10, KeyAction::delay, "- / =        the figure 10 ms earlier / later against the sound"},
    {SDLK_EQUALS, false, 0, 10, KeyAction::delay, nullptr},
    {SDLK_a, false, PARAM_ZOOM_FACTOR, 1, KeyAction::step, "a / z        zoom factor +1 / -1"},
    {SDLK_z, false, PARAM_ZOOM_FACTOR, -1, KeyAction::step, nullptr},
    {SDLK_s, false, PARAM_ROTATION_SPEED, 1, KeyAction::step, "s / x        rotation speed +1 / -1"},
    {SDLK_x, false, PARAM_ROTATION_SPEED, -1, KeyAction::step, nullptr},
    {SDLK_RIGHTBRACKET, false, PARAM_LINE_LENGTH, 1, KeyAction::step, "] / [        line length +1 / -1"},
    {SDLK_LEFTBRACKET, false, PARAM_LINE_LENGTH, -1, KeyAction::step, nullptr},
    {SDLK_PERIOD, false, PARAM_LINE_WIDTH, 1, KeyAction::step, ". / ,        line width +1 / -1"},
    {SDLK_COMMA, false, PARAM_LINE_WIDTH, -1, KeyAction::step, nullptr},
    {SDLK_t, false, PARAM_FADE_OUT, 0, KeyAction::step, "t            fade out on / off"},
    {SDLK_c, false, PARAM_COLOR, 0, KeyAction::step, "c            next colour"},
    {SDLK_n, false, 0, 0, KeyAction::nextPreset, "n            next preset"},
    {SDLK_w, false, 0, 0, KeyAction::savePreset, "w            save the settings as a new preset"},
    {SDLK_u, false, 0, 0, KeyAction::randomise, "u            random settings"},
    {SDLK_r, false, 0, 0, KeyAction::restart, "r            restart the run and the file (lumEnd, lumStart)"},
    {SDLK_q, false, 0, 0, KeyAction::quit, "q            quit"},
    {SDLK_ESCAPE, false, 0, 0, KeyAction::quit, "Esc          leave fullscreen, else quit"},
}};

constexpr std::array<int32_t, 7> colours{0x00FFFFFF, 0x0000C0FF, 0x00FFC000, 0x0040FF40,
                                         0x00FF40C0, 0x004040FF, 0x0000FFFF};

}  // namespace

std::span<const KeyBinding> playKeys() { return bindings; }

const KeyBinding* findKey(SDL_Keycode key, uint16_t modifiers) {
    if ((modifiers & KMOD_SHIFT) != 0) return nullptr;
    for (const auto& binding : playKeys())
        if (binding.key == key && !binding.typed) return &binding;
    return nullptr;
}

const KeyBinding* findTyped(const char* text) {
    if (text == nullptr || text[0] == '\0' || text[1] != '\0') return nullptr;
    for (const auto& binding : playKeys())
        if (binding.typed && binding.key == static_cast<unsigned char>(text[0])) return &binding;
    return nullptr;
}

std::span<const int32_t> playColours() { return colours; }

}  // namespace lumhost
