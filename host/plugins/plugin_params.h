// Listing a plug-in's settings and applying values to them, by name or by id,
// through lumGetParamInfo and lumSetParamInfo.
#pragma once

#include <cstdint>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "host/plugins/plugin_module.h"

namespace lumhost {

struct ParamDescription {
    uint32_t id = 0;
    int32_t type = 0;
    std::string name;
    int32_t value = 0;
    std::string description;
};

// Every id from 0 to 255 that lumGetParamInfo answers, in id order.
std::vector<ParamDescription> listParams(const PluginModule& plugin);

// lumGetParamInfo for one id; nothing if the plug-in does not know it.
std::optional<ParamDescription> describeParam(const PluginModule& plugin, uint32_t id);

struct ValueRange {
    int32_t low;
    int32_t high;
};

// The range a setting takes, found by asking the plug-in to clamp the lowest
// and the highest 32-bit values; nothing if it takes both as they come (or
// does not know the id). It leaves the setting at its upper bound: call it on
// a module whose settings do not matter yet.
std::optional<ValueRange> clampRange(const PluginModule& plugin, uint32_t id);

// The "(low-high)" range a description names, if any.
std::optional<ValueRange> rangeFromDescription(const std::string& description);

// Names match ignoring case, with '-' and '_' standing for spaces.
bool paramNamesMatch(const std::string& given, const std::string& reported);

// Parses a value for a setting of the given type code (0 if unknown):
// decimal or 0x-hex integers for every type, "#RRGGBB" for colours (stored
// as 0x00BBGGRR), on/off/true/false/yes/no for toggles. Throws HostError.
int32_t parseParamValue(const std::string& text, int32_t type);

// The value as a person reads it: hex and #RRGGBB for colours, on/off for toggles.
std::string formatParamValue(int32_t type, int32_t value);

// lumSetParamInfo with `value`; the value the plug-in applied (it may clamp),
// or nothing if it does not know the id.
std::optional<int32_t> setParam(const PluginModule& plugin, uint32_t id, int32_t value);

// One --set NAME=VALUE or --param ID=VALUE from the command line.
struct ParamAssignment {
    bool byName = false;
    std::string key;
    std::string value;
};

// Splits "KEY=VALUE"; throws HostError naming the option if there is no '='.
ParamAssignment parseAssignment(const std::string& text, bool byName);

// An assignment checked against the plug-in: its id, type, name and value.
struct ResolvedAssignment {
    uint32_t id = 0;
    int32_t type = 0;
    std::string label;  // the plug-in's name for it, or "parameter ID"
    int32_t value = 0;
};

// Finds the parameter and parses the value without applying it; throws
// HostError for an unknown name or id or a bad value.
ResolvedAssignment resolveAssignment(const PluginModule& plugin, const ParamAssignment& assignment);

// Applies one assignment through lumSetParamInfo. Writes a note to `notes`
// when the plug-in clamps the value; throws HostError for an unknown name or
// id or a bad value.
void applyAssignment(const PluginModule& plugin, const ParamAssignment& assignment, std::ostream& notes);

}  // namespace lumhost
