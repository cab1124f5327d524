#include "host/live/play_keys.h"

#include <array>

#include "lum_plugin.h"

namespace lumhost {
namespace {

constexpr std::array<KeyBinding, 13> bindings{{
    {SDLK_UP, PARAM_ZOOM_FACTOR, 1, KeyAction::step, "Up/Down      zoom factor +1/-1"},
    {SDLK_DOWN, PARAM_ZOOM_FACTOR, -1, KeyAction::step, nullptr},
    {SDLK_RIGHT, PARAM_ROTATION_SPEED, 1, KeyAction::step, "Right/Left   rotation speed +1/-1"},
    {SDLK_LEFT, PARAM_ROTATION_SPEED, -1, KeyAction::step, nullptr},
    {SDLK_RIGHTBRACKET, PARAM_LINE_LENGTH, 1, KeyAction::step, "] / [        line length +1/-1"},
    {SDLK_LEFTBRACKET, PARAM_LINE_LENGTH, -1, KeyAction::step, nullptr},
    {SDLK_PERIOD, PARAM_LINE_WIDTH, 1, KeyAction::step, ". / ,        line width +1/-1"},
    {SDLK_COMMA, PARAM_LINE_WIDTH, -1, KeyAction::step, nullptr},
    {SDLK_f, PARAM_FADE_OUT, 0, KeyAction::step, "f            fade out on/off"},
    {SDLK_c, PARAM_COLOR, 0, KeyAction::step, "c            next colour"},
    {SDLK_r, 0, 0, KeyAction::restart, "r            restart the run and the sound (lumEnd, lumStart)"},
    {SDLK_q, 0, 0, KeyAction::quit, "q / Esc      quit"},
    {SDLK_ESCAPE, 0, 0, KeyAction::quit, nullptr},
}};

constexpr std::array<int32_t, 7> colours{0x00FFFFFF, 0x0000C0FF, 0x00FFC000, 0x0040FF40,
                                         0x00FF40C0, 0x004040FF, 0x0000FFFF};

}  // namespace

std::span<const KeyBinding> playKeys() { return bindings; }

const KeyBinding* findKey(SDL_Keycode key) {
    for (const auto& binding : bindings)
        if (binding.key == key) return &binding;
    return nullptr;
}

std::span<const int32_t> playColours() { return colours; }

}  // namespace lumhost
