#include "live/settings_mirror.h"

#include <algorithm>

#include "rules/presets.h"

namespace lumlive {

std::optional<lumrules::ParamInfo> SettingsMirror::describe(uint32_t id) const {
    for (const auto& setting : settings_)
        if (setting.info.id == id) return setting.info;
    return std::nullopt;
}

std::optional<int32_t> SettingsMirror::set(uint32_t id, int32_t value) const {
    for (auto& setting : settings_) {
        if (setting.info.id != id) continue;
        if (setting.range) value = std::clamp(value, setting.range->low, setting.range->high);
        setting.info.value = value;
        return value;
    }
    return std::nullopt;
}

std::vector<std::pair<uint32_t, int32_t>> SettingsMirror::values() const {
    std::vector<std::pair<uint32_t, int32_t>> all;
    for (const auto& setting : settings_) all.emplace_back(setting.info.id, setting.info.value);
    std::sort(all.begin(), all.end());
    return all;
}

SettingsMirror mirrorOf(const lumrules::ParamAccess& plugin) {
    std::vector<MirroredSetting> settings;
    for (auto& info : lumrules::listParams(plugin)) {
        auto range = lumrules::clampRange(plugin, info.id);
        settings.push_back(MirroredSetting{std::move(info), range});
    }
    return SettingsMirror(std::move(settings));
}

std::optional<int32_t> HandedOnSettings::set(uint32_t id, int32_t value) const {
    const auto applied = mirror_.set(id, value);
    if (applied) handOn_(id, *applied);
    return applied;
}

std::vector<std::pair<uint32_t, int32_t>> applyPresetText(SettingsMirror& mirror, const std::string& text, const std::string& source,
                                                          std::vector<std::string>* notes) {
    // Every setting the preset names is handed on, even at the value it has:
    // setting some (the line length) starts the trail afresh, as in lumhost.
    const auto named = lumrules::checkPreset(mirror, text, source);
    auto clamped = lumrules::applyPreset(mirror, text, source);
    if (notes != nullptr) *notes = std::move(clamped);
    std::vector<std::pair<uint32_t, int32_t>> applied;
    for (const auto& setting : named)
        if (const auto now = mirror.describe(setting.id)) applied.emplace_back(setting.id, now->value);
    return applied;
}

}  // namespace lumlive
