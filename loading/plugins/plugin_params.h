// A loaded plug-in's settings, listed and applied by name or by id through
// lumGetParamInfo and lumSetParamInfo, with the rules every front end shares
// (value text, names, ranges by clamping) and lumhost's errors and notes.
#pragma once

#include <cstdint>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "loading/plugins/plugin_module.h"
#include "rules/param_text.h"

namespace lumhost {

using ParamDescription = lumrules::ParamInfo;
using ValueRange = lumrules::ValueRange;
using ResolvedAssignment = lumrules::Assignment;

// The module's two parameter entry points as the rules reach them.
class ModuleParams final : public lumrules::ParamAccess {
public:
    explicit ModuleParams(const PluginModule& plugin) : plugin_(plugin) {}
    std::optional<lumrules::ParamInfo> describe(uint32_t id) const override;
    std::optional<int32_t> set(uint32_t id, int32_t value) const override;

private:
    const PluginModule& plugin_;
};

// Every id from 0 to 255 that lumGetParamInfo answers, in id order.
std::vector<ParamDescription> listParams(const PluginModule& plugin);

// lumGetParamInfo for one id; nothing if the plug-in does not know it.
std::optional<ParamDescription> describeParam(const PluginModule& plugin, uint32_t id);

// The range a setting takes, found by asking the plug-in to clamp; the
// setting keeps its value.
std::optional<ValueRange> clampRange(const PluginModule& plugin, uint32_t id);

// The value text of a setting of the given type code; throws lumload::LoadError.
int32_t parseParamValue(const std::string& text, int32_t type);

// lumSetParamInfo with `value`; the value the plug-in applied (it may clamp),
// or nothing if it does not know the id.
std::optional<int32_t> setParam(const PluginModule& plugin, uint32_t id, int32_t value);

// One --set NAME=VALUE or --param ID=VALUE from the command line.
struct ParamAssignment {
    bool byName = false;
    std::string key;
    std::string value;
};

// Splits "KEY=VALUE"; throws lumload::LoadError naming the option if there is no '='.
ParamAssignment parseAssignment(const std::string& text, bool byName);

// Finds the parameter and parses the value without applying it; throws
// lumload::LoadError for an unknown name or id or a bad value.
ResolvedAssignment resolveAssignment(const PluginModule& plugin, const ParamAssignment& assignment);

// Applies one assignment through lumSetParamInfo. Writes a note to `notes`
// when the plug-in clamps the value; throws lumload::LoadError for an unknown name or
// id or a bad value.
void applyAssignment(const PluginModule& plugin, const ParamAssignment& assignment, std::ostream& notes);

// The notes of clamped values as lumhost writes them.
void writeNotes(const std::vector<std::string>& notes, std::ostream& out);

}  // namespace lumhost
