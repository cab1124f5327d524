#include "rules/param_text.h"

#include <algorithm>
#include <cctype>
#include <cinttypes>
#include <climits>
#include <cstdio>

#include "lum_plugin.h"

namespace lumrules {
namespace {

// Lower case, '-' and '_' as spaces: the form names are compared in.
std::string comparable(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (const unsigned char c : text) out += (c == '-' || c == '_') ? ' ' : static_cast<char>(std::tolower(c));
    return out;
}

std::string_view trimmed(std::string_view text) {
    const auto first = text.find_first_not_of(" \t\r\n");
    if (first == std::string_view::npos) return {};
    const auto last = text.find_last_not_of(" \t\r\n");
    return text.substr(first, last - first + 1);
}

bool isDigit(char c) { return c >= '0' && c <= '9'; }

int hexDigit(char c) {
    if (isDigit(c)) return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// 1 to 8 hex digits, no prefix.
std::optional<uint32_t> hex32(std::string_view text) {
    if (text.empty() || text.size() > 8) return std::nullopt;
    uint32_t value = 0;
    for (const char c : text) {
        const int digit = hexDigit(c);
        if (digit < 0) return std::nullopt;
        value = value << 4 | static_cast<uint32_t>(digit);
    }
    return value;
}

// Decimal within 32 bits (an optional sign), or 0x and up to eight hex digits for any bit pattern.
std::optional<int32_t> integer(std::string_view text) {
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        const auto bits = hex32(text.substr(2));
        if (!bits) return std::nullopt;
        return static_cast<int32_t>(*bits);
    }
    std::size_t at = 0;
    const bool negative = !text.empty() && text[0] == '-';
    if (!text.empty() && (text[0] == '-' || text[0] == '+')) at = 1;
    if (at == text.size() || text.size() - at > 18) return std::nullopt;
    int64_t value = 0;
    for (; at < text.size(); ++at) {
        if (!isDigit(text[at])) return std::nullopt;
        value = value * 10 + (text[at] - '0');
    }
    if (negative) value = -value;
    if (value < INT32_MIN || value > INT32_MAX) return std::nullopt;
    return static_cast<int32_t>(value);
}

std::string keyWords(std::string_view name, char joiner) {
    std::string key;
    for (const unsigned char c : name) {
        if (std::isalnum(c) != 0 && c < 0x80)
            key += static_cast<char>(std::tolower(c));
        else if (!key.empty() && key.back() != joiner)
            key += joiner;
    }
    while (!key.empty() && key.back() == joiner) key.pop_back();
    return key;
}

}  // namespace

std::vector<ParamInfo> listParams(const ParamAccess& plugin) {
    std::vector<ParamInfo> params;
    for (uint32_t id = 0; id <= highestListedId; ++id)
        if (auto param = plugin.describe(id)) params.push_back(std::move(*param));
    return params;
}

std::optional<ParamInfo> findParam(const ParamAccess& plugin, std::string_view name) {
    for (auto& param : listParams(plugin))
        if (namesMatch(name, param.name)) return param;
    return std::nullopt;
}

std::optional<ValueRange> clampRange(const ParamAccess& plugin, uint32_t id) {
    const auto before = plugin.describe(id);
    const auto low = plugin.set(id, INT32_MIN);
    const auto high = plugin.set(id, INT32_MAX);
    if (before) plugin.set(id, before->value);
    if (!low || !high || *low > *high || (*low == INT32_MIN && *high == INT32_MAX)) return std::nullopt;
    return ValueRange{*low, *high};
}

bool namesMatch(std::string_view given, std::string_view reported) {
    return !given.empty() && comparable(trimmed(given)) == comparable(reported);
}

std::string paramName(std::string_view name, NameStyle style) {
    switch (style) {
        case NameStyle::option:
        case NameStyle::gstProperty: return keyWords(name, '-');
        case NameStyle::obsKey: return keyWords(name, '_');
        case NameStyle::label: return std::string(name);
    }
    return std::string(name);
}

std::string uniqueParamKey(std::string_view name, uint32_t id, NameStyle style, const std::vector<std::string>& taken) {
    const char joiner = style == NameStyle::obsKey ? '_' : '-';
    std::string key = paramName(name, style);
    if (key.empty() || std::isalpha(static_cast<unsigned char>(key[0])) == 0)
        key = "setting" + std::string(1, joiner) + std::to_string(id) + (key.empty() ? "" : std::string(1, joiner) + key);
    if (std::find(taken.begin(), taken.end(), key) != taken.end()) key += joiner + std::to_string(id);
    return key;
}

std::optional<int32_t> colourFromHex(std::string_view text) {
    text = trimmed(text);
    if (!text.empty() && text[0] == '#') text.remove_prefix(1);
    if (text.size() != 6) return std::nullopt;
    const auto packed = hex32(text);
    if (!packed) return std::nullopt;
    const uint32_t red = (*packed >> 16) & 0xFF, green = (*packed >> 8) & 0xFF, blue = *packed & 0xFF;
    return static_cast<int32_t>(red | (green << 8) | (blue << 16));
}

std::string colourHex(int32_t value) {
    const auto bits = static_cast<uint32_t>(value);
    char text[8];
    std::snprintf(text, sizeof text, "#%02x%02x%02x", bits & 0xFF, (bits >> 8) & 0xFF, (bits >> 16) & 0xFF);
    return text;
}

std::optional<int32_t> parseValue(std::string_view text, int32_t type) {
    if (type == PARAMTYPE_COLOR && text.size() == 7 && text[0] == '#') return colourFromHex(text);
    if (type == PARAMTYPE_TOGGLE) {
        const auto word = comparable(text);
        if (word == "on" || word == "true" || word == "yes") return 1;
        if (word == "off" || word == "false" || word == "no") return 0;
    }
    return integer(text);
}

int32_t parseValueOrThrow(std::string_view text, int32_t type) {
    if (const auto value = parseValue(text, type)) return *value;
    throw RuleError("bad parameter value '" + std::string(text) + "'" +
                    (type == PARAMTYPE_COLOR    ? " (expected #RRGGBB or an integer)"
                     : type == PARAMTYPE_TOGGLE ? " (expected on, off or an integer)"
                                                : " (expected a 32-bit integer)"));
}

std::string formatValue(int32_t type, int32_t value) {
    char text[40];
    if (type == PARAMTYPE_COLOR) {
        const auto bits = static_cast<uint32_t>(value);
        std::snprintf(text, sizeof text, "0x%08" PRIX32 " (#%02X%02X%02X)", bits, bits & 0xFF, (bits >> 8) & 0xFF, (bits >> 16) & 0xFF);
        return text;
    }
    if (type == PARAMTYPE_TOGGLE) return value != 0 ? (value == 1 ? "on" : "on (" + std::to_string(value) + ")") : "off";
    return std::to_string(value);
}

std::string valueText(int32_t type, int32_t value) {
    const auto bits = static_cast<uint32_t>(value);
    char text[16];
    if (type == PARAMTYPE_COLOR) {
        if ((bits >> 24) != 0) {
            std::snprintf(text, sizeof text, "0x%08" PRIX32, bits);
            return text;
        }
        std::snprintf(text, sizeof text, "#%02X%02X%02X", bits & 0xFF, (bits >> 8) & 0xFF, (bits >> 16) & 0xFF);
        return text;
    }
    if (type == PARAMTYPE_TOGGLE && (value == 0 || value == 1)) return value != 0 ? "on" : "off";
    return std::to_string(value);
}

std::optional<std::pair<std::string, std::string>> splitAssignment(std::string_view text) {
    const auto equals = text.find('=');
    if (equals == std::string_view::npos) return std::nullopt;
    const auto name = trimmed(text.substr(0, equals)), value = trimmed(text.substr(equals + 1));
    if (name.empty() || value.empty()) return std::nullopt;
    return std::pair{std::string(name), std::string(value)};
}

Assignment resolveValue(uint32_t id, const std::optional<ParamInfo>& known, std::string_view value) {
    Assignment assignment;
    assignment.id = id;
    assignment.type = known ? known->type : 0;
    assignment.label = known ? known->name : "parameter " + std::to_string(id);
    try {
        assignment.value = parseValueOrThrow(value, assignment.type);
    } catch (const RuleError& error) {
        throw RuleError(assignment.label + ": " + error.what());
    }
    return assignment;
}

Assignment resolveByName(const ParamAccess& plugin, std::string_view name, std::string_view value) {
    const auto known = findParam(plugin, name);
    if (!known) throw RuleError("the plug-in has no parameter named '" + std::string(trimmed(name)) + "'");
    return resolveValue(known->id, known, value);
}

Assignment resolveById(const ParamAccess& plugin, uint32_t id, std::string_view value) {
    return resolveValue(id, plugin.describe(id), value);
}

std::vector<Assignment> resolveList(const ParamAccess& plugin, std::string_view text) {
    std::vector<Assignment> list;
    while (!text.empty()) {
        const auto end = text.find(';');
        const auto item = trimmed(text.substr(0, end));
        text = end == std::string_view::npos ? std::string_view{} : text.substr(end + 1);
        if (item.empty()) continue;
        const auto split = splitAssignment(item);
        if (!split) throw RuleError("expected NAME=VALUE, got '" + std::string(item) + "'");
        list.push_back(resolveByName(plugin, split->first, split->second));
    }
    return list;
}

std::optional<std::string> clampNote(const Assignment& asked, int32_t applied) {
    if (applied == asked.value) return std::nullopt;
    return asked.label + ": " + formatValue(asked.type, asked.value) + " is out of range, applied " + formatValue(asked.type, applied);
}

std::optional<std::string> apply(const ParamAccess& plugin, const Assignment& assignment) {
    const auto applied = plugin.set(assignment.id, assignment.value);
    if (!applied) throw RuleError("the plug-in has no parameter with id " + std::to_string(assignment.id));
    return clampNote(assignment, *applied);
}

}  // namespace lumrules
