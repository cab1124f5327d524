#include "rules/presets.h"

#include <algorithm>

#include "lum_plugin.h"

namespace lumrules {
namespace {

std::string_view trimmed(std::string_view text) {
    const auto first = text.find_first_not_of(" \t\r");
    if (first == std::string_view::npos) return {};
    const auto last = text.find_last_not_of(" \t\r");
    return text.substr(first, last - first + 1);
}

std::string place(std::string_view source, int line) { return std::string(source) + ":" + std::to_string(line) + ": "; }

}  // namespace

void checkPresetName(std::string_view name) {
    if (name.empty() || name.find_first_of("/\\\n\r") != std::string_view::npos || name[0] == '.')
        throw RuleError("bad preset name '" + std::string(name) + "': a name is a file name, without '/' and not starting with '.'");
}

std::vector<PresetLine> parsePreset(std::string_view text, std::string_view source) {
    std::vector<PresetLine> lines;
    int number = 0;
    while (!text.empty()) {
        ++number;
        const auto end = text.find('\n');
        const auto line = trimmed(text.substr(0, end));
        text = end == std::string_view::npos ? std::string_view{} : text.substr(end + 1);
        if (line.empty() || line[0] == '#') continue;
        const auto split = splitAssignment(line);
        if (!split) throw RuleError(place(source, number) + "expected NAME=VALUE, got '" + std::string(line) + "'");
        lines.push_back(PresetLine{number, split->first, split->second});
    }
    return lines;
}

std::vector<Assignment> checkPreset(const ParamAccess& plugin, std::string_view text, std::string_view source) {
    std::vector<Assignment> settings;
    const auto lines = parsePreset(text, source);
    const auto params = listParams(plugin);
    for (const auto& line : lines) {
        try {
            const auto known = std::find_if(params.begin(), params.end(), [&](const ParamInfo& param) { return namesMatch(line.name, param.name); });
            if (known == params.end()) throw RuleError("the plug-in has no parameter named '" + line.name + "'");
            settings.push_back(resolveValue(known->id, *known, line.value));
        } catch (const RuleError& error) {
            throw RuleError(place(source, line.line) + error.what());
        }
    }
    return settings;
}

std::vector<std::string> applyPreset(const ParamAccess& plugin, std::string_view text, std::string_view source) {
    std::vector<std::string> notes;
    for (const auto& setting : checkPreset(plugin, text, source))
        if (const auto applied = plugin.set(setting.id, setting.value))
            if (auto note = clampNote(setting, *applied)) notes.push_back(std::move(*note));
    return notes;
}

std::string presetText(const ParamAccess& plugin) {
    std::string text;
    for (const auto& param : listParams(plugin)) text += param.name + "=" + valueText(param.type, param.value) + "\n";
    return text;
}

std::size_t nextPreset(std::size_t last, std::size_t count) {
    if (count == 0) return 0;
    return last >= count ? 0 : (last + 1) % count;
}

std::string freePresetName(std::string_view stem, const std::function<bool(const std::string&)>& taken) {
    for (int number = 1;; ++number) {
        auto name = std::string(stem) + "-" + std::to_string(number);
        if (!taken(name)) return name;
    }
}

std::vector<std::string> randomiseSettings(const ParamAccess& plugin, std::mt19937& random) {
    std::vector<std::string> changes;
    for (const auto& param : listParams(plugin)) {
        std::optional<int32_t> value;
        if (param.type == PARAMTYPE_TOGGLE) {
            value = static_cast<int32_t>(random() & 1);
        } else if (param.type == PARAMTYPE_COLOR) {
            value = static_cast<int32_t>(random() & 0xFFFFFF);
        } else if (const auto range = clampRange(plugin, param.id)) {
            value = std::uniform_int_distribution<int32_t>(range->low, range->high)(random);
        }
        if (!value) continue;
        if (const auto applied = plugin.set(param.id, *value)) changes.push_back(param.name + ": " + formatValue(param.type, *applied));
    }
    return changes;
}

}  // namespace lumrules
