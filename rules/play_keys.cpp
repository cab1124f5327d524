#include "rules/play_keys.h"

#include <algorithm>
#include <array>

#include "lum_plugin.h"

namespace lumrules {
namespace {

constexpr const char* onePage = "not in the page: it plays one sound at a time";

constexpr std::array<KeyBinding, 31> bindings{{
    {" ", false, 0, 0, KeyAction::pause, "space        pause / resume", nullptr},
    {"ArrowLeft", false, 0, -5, KeyAction::seek, "Left/Right   seek back / forward 5 seconds", nullptr},
    {"ArrowRight", false, 0, 5, KeyAction::seek, nullptr, nullptr},
    {"ArrowDown", false, 0, -60, KeyAction::seek, "Down/Up      seek back / forward 60 seconds", nullptr},
    {"ArrowUp", false, 0, 60, KeyAction::seek, nullptr, nullptr},
    {"<", true, 0, 0, KeyAction::previousFile, "< / >        previous / next file (Enter: next)", onePage},
    {">", true, 0, 0, KeyAction::nextFile, nullptr, onePage},
    {"Enter", false, 0, 0, KeyAction::nextFile, nullptr, onePage},
    {"m", false, 0, 0, KeyAction::mute, "m            mute / unmute", nullptr},
    {"9", false, 0, -10, KeyAction::volume, "9 / 0        volume down / up", nullptr},
    {"0", false, 0, 10, KeyAction::volume, nullptr, nullptr},
    {"f", false, 0, 0, KeyAction::fullscreen, "f            fullscreen on / off (or double-click)", nullptr},
    {"h", false, 0, 0, KeyAction::help, "h            this help in the window", nullptr},
    {"-", false, 0, -10, KeyAction::delay, "- / =        the figure 10 ms earlier / later against the sound",
     "not in the page: the page keeps the figure with its sound itself"},
    {"=", false, 0, 10, KeyAction::delay, nullptr, "not in the page"},
    {"a", false, PARAM_ZOOM_FACTOR, 1, KeyAction::step, "a / z        zoom factor +1 / -1", nullptr},
    {"z", false, PARAM_ZOOM_FACTOR, -1, KeyAction::step, nullptr, nullptr},
    {"s", false, PARAM_ROTATION_SPEED, 1, KeyAction::step, "s / x        rotation speed +1 / -1", nullptr},
    {"x", false, PARAM_ROTATION_SPEED, -1, KeyAction::step, nullptr, nullptr},
    {"]", false, PARAM_LINE_LENGTH, 1, KeyAction::step, "] / [        line length +1 / -1", nullptr},
    {"[", false, PARAM_LINE_LENGTH, -1, KeyAction::step, nullptr, nullptr},
    {".", false, PARAM_LINE_WIDTH, 1, KeyAction::step, ". / ,        line width +1 / -1", nullptr},
    {",", false, PARAM_LINE_WIDTH, -1, KeyAction::step, nullptr, nullptr},
    {"t", false, PARAM_FADE_OUT, 0, KeyAction::step, "t            fade out on / off", nullptr},
    {"c", false, PARAM_COLOR, 0, KeyAction::step, "c            next colour", nullptr},
    {"n", false, 0, 0, KeyAction::nextPreset, "n            next preset", nullptr},
    {"w", false, 0, 0, KeyAction::savePreset, "w            save the settings as a new preset", nullptr},
    {"u", false, 0, 0, KeyAction::randomise, "u            random settings", nullptr},
    {"r", false, 0, 0, KeyAction::restart, "r            restart the run and the file (lumEnd, lumStart)", nullptr},
    {"q", false, 0, 0, KeyAction::quit, "q            quit", "not in the page: close the tab to quit"},
    {"Escape", false, 0, 0, KeyAction::quit, "Esc          leave fullscreen, else quit", "leaves fullscreen only"},
}};

constexpr std::array<int32_t, 7> colours{0x00FFFFFF, 0x0000C0FF, 0x00FFC000, 0x0040FF40, 0x00FF40C0, 0x004040FF, 0x0000FFFF};

}  // namespace

std::span<const KeyBinding> playKeys() { return bindings; }

const KeyBinding* findKey(std::string_view name) {
    for (const auto& binding : bindings)
        if (!binding.typed && name == binding.key) return &binding;
    return nullptr;
}

const KeyBinding* findTyped(std::string_view text) {
    for (const auto& binding : bindings)
        if (binding.typed && text == binding.key) return &binding;
    return nullptr;
}

std::vector<std::string> keyHelpLines() {
    std::vector<std::string> lines;
    for (const auto& binding : bindings)
        if (binding.help != nullptr) lines.emplace_back(binding.help);
    return lines;
}

std::vector<std::string> pageKeyHelpLines() {
    std::vector<std::string> lines;
    for (const auto& binding : bindings) {
        if (binding.help == nullptr) continue;
        std::string line = binding.help;
        if (binding.pageNote != nullptr) line += " (" + std::string(binding.pageNote) + ")";
        lines.push_back(std::move(line));
    }
    return lines;
}

std::span<const int32_t> playColours() { return colours; }

int32_t steppedValue(int32_t type, int32_t value, int32_t step) {
    if (type == PARAMTYPE_TOGGLE) return value != 0 ? 0 : 1;
    if (type == PARAMTYPE_COLOR) {
        const auto at = std::find(colours.begin(), colours.end(), value);
        return (at == colours.end() || at + 1 == colours.end()) ? colours.front() : *(at + 1);
    }
    return static_cast<int32_t>(static_cast<uint32_t>(value) + static_cast<uint32_t>(step));
}

}  // namespace lumrules
