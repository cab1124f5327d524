// Presets: named sets of a plug-in's settings, kept as small text files that
// lumhost, the page and the other front ends all read and write.
//
// The format: one NAME=VALUE line per setting, in the words --set takes
// (names matched ignoring case, '-' and '_' for spaces; values as valueText
// writes them); blank lines and lines starting with '#' are skipped; spaces
// around a name or a value do not count. Files are named NAME.preset.
#pragma once

#include <cstddef>
#include <functional>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "rules/param_text.h"

namespace lumrules {

// A preset file's extension.
inline constexpr const char* presetSuffix = ".preset";

// A preset name is a file name: not empty, no '/' or '\\', no line break, not
// starting with '.'. RuleError otherwise.
void checkPresetName(std::string_view name);

// One setting line of a preset.
struct PresetLine {
    int line = 0;  // from 1
    std::string name;
    std::string value;
};

// Splits a preset's text into its setting lines; RuleError "SOURCE:LINE:
// expected NAME=VALUE, got '...'" for the first line that is not one.
std::vector<PresetLine> parsePreset(std::string_view text, std::string_view source);

// Reads a preset and checks every line against the plug-in without applying
// anything; RuleError "SOURCE:LINE: what is wrong" for the first bad line.
std::vector<Assignment> checkPreset(const ParamAccess& plugin, std::string_view text, std::string_view source);

// Checks the whole preset, then applies it, so a bad preset changes nothing.
// Returns the notes for values the plug-in clamped.
std::vector<std::string> applyPreset(const ParamAccess& plugin, std::string_view text, std::string_view source);

// The plug-in's current settings as a preset's text.
std::string presetText(const ParamAccess& plugin);

// The preset after the one at `last` among `count` (the first after the
// last, and the first when none was chosen yet: last == count).
std::size_t nextPreset(std::size_t last, std::size_t count);

// "saved-1", "saved-2", ...: the first name `taken` says is free.
std::string freePresetName(std::string_view stem, const std::function<bool(const std::string&)>& taken);

// Gives every toggle, every colour and every setting whose range the plug-in
// clamps to a random value within what it accepts; settings without a range
// keep their value. Returns "Name: value" for each value applied.
std::vector<std::string> randomiseSettings(const ParamAccess& plugin, std::mt19937& random);

}  // namespace lumrules
