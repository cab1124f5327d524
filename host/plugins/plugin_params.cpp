#include "host/plugins/plugin_params.h"

#include <algorithm>
#include <cctype>
#include <cinttypes>
#include <cstdio>

#include "host/base/host_error.h"
#include "host/base/number_text.h"

namespace lumhost {
namespace {

// The parameter record with room for a description longer than the header's minimum.
struct ParamRecord {
    LumParamInfo info{};
    char descriptionRoom[256]{};
};

std::string lowered(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) {
        return (c == '-' || c == '_') ? ' ' : static_cast<char>(std::tolower(c));
    });
    return text;
}

// Decimal within 32 bits, or 0x and up to eight hex digits for any bit pattern.
std::optional<int32_t> parseInteger(std::string_view text) {
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        const auto bits = parseHex32(text.substr(2));
        if (!bits) return std::nullopt;
        return static_cast<int32_t>(*bits);
    }
    const auto value = parseDecimal(text);
    if (!value || *value < INT32_MIN || *value > INT32_MAX) return std::nullopt;
    return static_cast<int32_t>(*value);
}

std::size_t skipSpaces(std::string_view text, std::size_t at) {
    while (at < text.size() && text[at] == ' ') ++at;
    return at;
}

// A signed number starting at `at`; `at` moves past it.
std::optional<int32_t> numberAt(std::string_view text, std::size_t& at) {
    std::size_t end = at;
    if (end < text.size() && text[end] == '-') ++end;
    while (end < text.size() && text[end] >= '0' && text[end] <= '9') ++end;
    const auto value = parseInteger(text.substr(at, end - at));
    at = end;
    return value;
}

std::optional<ParamDescription> findByName(const PluginModule& plugin, const std::string& name) {
    for (auto& param : listParams(plugin))
        if (paramNamesMatch(name, param.name)) return param;
    return std::nullopt;
}

}  // namespace

std::optional<ParamDescription> describeParam(const PluginModule& plugin, uint32_t id) {
    ParamRecord record;
    if (plugin.getParamInfo(id, &record.info, sizeof record) != 1) return std::nullopt;
    ParamDescription param;
    param.id = id;
    param.type = record.info.type;
    param.name = fieldText(record.info.name, sizeof record.info.name);
    param.value = record.info.value;
    param.description = fieldText(record.info.description, sizeof record.info.description + sizeof record.descriptionRoom);
    return param;
}

std::vector<ParamDescription> listParams(const PluginModule& plugin) {
    std::vector<ParamDescription> params;
    for (uint32_t id = 0; id < 256; ++id)
        if (auto param = describeParam(plugin, id)) params.push_back(std::move(*param));
    return params;
}

std::optional<ValueRange> rangeFromDescription(const std::string& description) {
    // The first "(low-high)", spaces allowed around the dash.
    for (auto open = description.find('('); open != std::string::npos; open = description.find('(', open + 1)) {
        std::size_t at = open + 1;
        const auto low = numberAt(description, at);
        at = skipSpaces(description, at);
        if (!low || at >= description.size() || description[at] != '-') continue;
        at = skipSpaces(description, at + 1);
        const auto high = numberAt(description, at);
        if (high && at < description.size() && description[at] == ')') return ValueRange{*low, *high};
    }
    return std::nullopt;
}

bool paramNamesMatch(const std::string& given, const std::string& reported) {
    return !given.empty() && lowered(given) == lowered(reported);
}

int32_t parseParamValue(const std::string& text, int32_t type) {
    if (type == PARAMTYPE_COLOR && text.size() == 7 && text[0] == '#' && parseHex32(std::string_view(text).substr(1))) {
        const uint32_t packed = *parseHex32(std::string_view(text).substr(1));
        const uint32_t red = (packed >> 16) & 0xFF, green = (packed >> 8) & 0xFF, blue = packed & 0xFF;
        return static_cast<int32_t>(red | (green << 8) | (blue << 16));
    }
    if (type == PARAMTYPE_TOGGLE) {
        const auto word = lowered(text);
        if (word == "on" || word == "true" || word == "yes") return 1;
        if (word == "off" || word == "false" || word == "no") return 0;
    }
    if (auto value = parseInteger(text)) return *value;
    throw HostError("bad parameter value '" + text + "'" +
                    (type == PARAMTYPE_COLOR    ? " (expected #RRGGBB or an integer)"
                     : type == PARAMTYPE_TOGGLE ? " (expected on, off or an integer)"
                                                : " (expected a 32-bit integer)"));
}

std::string formatParamValue(int32_t type, int32_t value) {
    char text[40];
    if (type == PARAMTYPE_COLOR) {
        const auto bits = static_cast<uint32_t>(value);
        std::snprintf(text, sizeof text, "0x%08" PRIX32 " (#%02X%02X%02X)", bits, bits & 0xFF, (bits >> 8) & 0xFF,
                      (bits >> 16) & 0xFF);
        return text;
    }
    if (type == PARAMTYPE_TOGGLE) return value != 0 ? (value == 1 ? "on" : "on (" + std::to_string(value) + ")") : "off";
    return std::to_string(value);
}

std::optional<int32_t> setParam(const PluginModule& plugin, uint32_t id, int32_t value) {
    ParamRecord record;
    record.info.value = value;
    if (plugin.setParamInfo(id, &record.info, sizeof record) != 1) return std::nullopt;
    return record.info.value;
}

std::optional<ValueRange> clampRange(const PluginModule& plugin, uint32_t id) {
    const auto low = setParam(plugin, id, INT32_MIN);
    const auto high = setParam(plugin, id, INT32_MAX);
    if (!low || !high || *low > *high || (*low == INT32_MIN && *high == INT32_MAX)) return std::nullopt;
    return ValueRange{*low, *high};
}

ParamAssignment parseAssignment(const std::string& text, bool byName) {
    const auto equals = text.find('=');
    const char* option = byName ? "--set NAME=VALUE" : "--param ID=VALUE";
    if (equals == std::string::npos || equals == 0 || equals + 1 == text.size())
        throw HostError(std::string(option) + ": expected KEY=VALUE, got '" + text + "'");
    return ParamAssignment{byName, text.substr(0, equals), text.substr(equals + 1)};
}

ResolvedAssignment resolveAssignment(const PluginModule& plugin, const ParamAssignment& assignment) {
    uint32_t id = 0;
    std::optional<ParamDescription> known;
    if (assignment.byName) {
        known = findByName(plugin, assignment.key);
        if (!known) throw HostError("--set: the plug-in has no parameter named '" + assignment.key + "'");
        id = known->id;
    } else {
        const auto number = parseDigits(assignment.key);
        if (!number || *number > UINT32_MAX) throw HostError("--param: bad parameter id '" + assignment.key + "'");
        id = static_cast<uint32_t>(*number);
        known = describeParam(plugin, id);
    }
    ResolvedAssignment resolved;
    resolved.id = id;
    resolved.type = known ? known->type : 0;
    resolved.label = known ? known->name : "parameter " + std::to_string(id);
    try {
        resolved.value = parseParamValue(assignment.value, resolved.type);
    } catch (const HostError& error) {
        throw HostError(resolved.label + ": " + error.what());
    }
    return resolved;
}

void applyAssignment(const PluginModule& plugin, const ParamAssignment& assignment, std::ostream& notes) {
    const auto resolved = resolveAssignment(plugin, assignment);
    const auto applied = setParam(plugin, resolved.id, resolved.value);
    if (!applied) throw HostError("--param: the plug-in has no parameter with id " + std::to_string(resolved.id));
    if (*applied != resolved.value)
        notes << "lumhost: " << resolved.label << ": " << formatParamValue(resolved.type, resolved.value)
              << " is out of range, applied " << formatParamValue(resolved.type, *applied) << "\n";
}

}  // namespace lumhost
