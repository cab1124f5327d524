#include "host/player/plugin_keys.h"

#include <cstdio>
#include <iostream>
#include <vector>

#include "host/base/host_error.h"
#include "host/plugins/plugin_params.h"
#include "host/plugins/plugin_presets.h"
#include "rules/presets.h"

namespace lumhost {

void changeSetting(const PluginModule& plugin, const lumrules::KeyBinding& binding, PlayerScreen& screen) {
    const auto current = describeParam(plugin, binding.paramId);
    if (!current) return;
    const int32_t value = lumrules::steppedValue(current->type, current->value, binding.step);
    const auto applied = setParam(plugin, binding.paramId, value);
    if (!applied) return;
    tell(screen, current->name + ": " + lumrules::formatValue(current->type, *applied));
}

PresetKeys::PresetKeys(const PluginModule& plugin) : plugin_(plugin), name_(presetPluginName(plugin.path())) {}

void PresetKeys::next(PlayerScreen& screen) {
    std::vector<FoundPreset> presets;
    for (auto& preset : findPresets(presetFolders(currentPresetSetting(), name_)))
        if (!preset.shadowedBy) presets.push_back(std::move(preset));
    if (presets.empty()) {
        tell(screen, "no presets for " + name_ + " (w saves one)");
        return;
    }
    shown_ = lumrules::nextPreset(shown_, presets.size());
    const auto& preset = presets[shown_];
    try {
        applyPreset(plugin_, preset.file, std::cerr);
        tell(screen, "preset " + preset.name);
    } catch (const HostError& error) {
        warn(screen, error.what());
    }
}

void PresetKeys::save(PlayerScreen& screen) {
    try {
        const auto folder = userPresetFolder(currentPresetSetting(), name_);
        const auto file = savePreset(plugin_, folder, freePresetName(folder, "saved"));
        tell(screen, "saved preset " + file.stem().string() + " in " + file.string());
    } catch (const HostError& error) {
        warn(screen, error.what());
    }
}

void PresetKeys::randomise(PlayerScreen& screen) {
    std::vector<std::string> lines{"random settings"};
    for (auto& change : randomiseSettings(plugin_, random_)) lines.push_back(std::move(change));
    std::string joined;
    for (std::size_t i = 1; i < lines.size(); ++i) joined += (i > 1 ? ", " : "") + lines[i];
    if (commentary()) std::fprintf(stderr, "lumhost: random settings: %s\n", joined.c_str());
    screen.show(lines, 3.0);
}

}  // namespace lumhost
