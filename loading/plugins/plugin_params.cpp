#include "loading/plugins/plugin_params.h"

#include "loading/load_error.h"
#include "rules/number_text.h"

namespace lumhost {
namespace {

// The parameter record with room for a description longer than the header's minimum.
struct ParamRecord {
    LumParamInfo info{};
    char descriptionRoom[256]{};
};

}  // namespace

std::optional<lumrules::ParamInfo> ModuleParams::describe(uint32_t id) const {
    ParamRecord record;
    if (plugin_.getParamInfo(id, &record.info, sizeof record) != 1) return std::nullopt;
    lumrules::ParamInfo param;
    param.id = id;
    param.type = record.info.type;
    param.name = fieldText(record.info.name, sizeof record.info.name);
    param.value = record.info.value;
    param.description = fieldText(record.info.description, sizeof record.info.description + sizeof record.descriptionRoom);
    return param;
}

std::optional<int32_t> ModuleParams::set(uint32_t id, int32_t value) const {
    ParamRecord record;
    record.info.value = value;
    if (plugin_.setParamInfo(id, &record.info, sizeof record) != 1) return std::nullopt;
    return record.info.value;
}

std::optional<ParamDescription> describeParam(const PluginModule& plugin, uint32_t id) { return ModuleParams(plugin).describe(id); }

std::vector<ParamDescription> listParams(const PluginModule& plugin) { return lumrules::listParams(ModuleParams(plugin)); }

std::optional<ValueRange> clampRange(const PluginModule& plugin, uint32_t id) { return lumrules::clampRange(ModuleParams(plugin), id); }

std::optional<int32_t> setParam(const PluginModule& plugin, uint32_t id, int32_t value) { return ModuleParams(plugin).set(id, value); }

int32_t parseParamValue(const std::string& text, int32_t type) {
    try {
        return lumrules::parseValueOrThrow(text, type);
    } catch (const lumrules::RuleError& error) {
        throw lumload::LoadError(error.what());
    }
}

ParamAssignment parseAssignment(const std::string& text, bool byName) {
    const auto equals = text.find('=');
    const char* option = byName ? "--set NAME=VALUE" : "--param ID=VALUE";
    if (equals == std::string::npos || equals == 0 || equals + 1 == text.size())
        throw lumload::LoadError(std::string(option) + ": expected KEY=VALUE, got '" + text + "'");
    return ParamAssignment{byName, text.substr(0, equals), text.substr(equals + 1)};
}

ResolvedAssignment resolveAssignment(const PluginModule& plugin, const ParamAssignment& assignment) {
    const ModuleParams params(plugin);
    try {
        if (assignment.byName) {
            const auto known = lumrules::findParam(params, assignment.key);
            if (!known) throw lumload::LoadError("--set: the plug-in has no parameter named '" + assignment.key + "'");
            return lumrules::resolveValue(known->id, known, assignment.value);
        }
        const auto number = lumrules::parseDigits(assignment.key);
        if (!number || *number > UINT32_MAX) throw lumload::LoadError("--param: bad parameter id '" + assignment.key + "'");
        return lumrules::resolveById(params, static_cast<uint32_t>(*number), assignment.value);
    } catch (const lumrules::RuleError& error) {
        throw lumload::LoadError(error.what());
    }
}

void applyAssignment(const PluginModule& plugin, const ParamAssignment& assignment, std::ostream& notes) {
    const auto resolved = resolveAssignment(plugin, assignment);
    try {
        if (const auto note = lumrules::apply(ModuleParams(plugin), resolved)) writeNotes({*note}, notes);
    } catch (const lumrules::RuleError& error) {
        throw lumload::LoadError(std::string("--param: ") + error.what());
    }
}

void writeNotes(const std::vector<std::string>& notes, std::ostream& out) {
    for (const auto& note : notes) out << "lumhost: " << note << "\n";
}

}  // namespace lumhost
