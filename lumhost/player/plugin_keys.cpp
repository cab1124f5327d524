#include "lumhost/player/plugin_keys.h"

#include <cstdio>
#include <iostream>
#include <vector>

#include "loading/load_error.h"
#include "loading/plugins/plugin_params.h"
#include "loading/plugins/plugin_presets.h"
#include "rules/presets.h"

namespace lumhost {

void changeSetting(const lumrules::ParamAccess& settings, const lumrules::KeyBinding& binding, PlayerScreen& screen) {
    const auto current = settings.describe(binding.paramId);
    if (!current) return;
    const int32_t value = lumrules::steppedValue(current->type, current->value, binding.step);
    const auto applied = settings.set(binding.paramId, value);
    if (!applied) return;
    tell(screen, current->name + ": " + lumrules::formatValue(current->type, *applied));
}

PresetKeys::PresetKeys(const lumrules::ParamAccess& settings, const std::string& pluginFile)
    : settings_(settings), name_(presetPluginName(pluginFile)) {}

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
        applyPreset(settings_, preset.file, std::cerr);
        tell(screen, "preset " + preset.name);
    } catch (const lumload::LoadError& error) {
        warn(screen, error.what());
    }
}

void PresetKeys::save(PlayerScreen& screen) {
    try {
        const auto folder = userPresetFolder(currentPresetSetting(), name_);
        const auto file = savePresetText(folder, freePresetName(folder, "saved"), lumrules::presetText(settings_));
        tell(screen, "saved preset " + file.stem().string() + " in " + file.string());
    } catch (const lumload::LoadError& error) {
        warn(screen, error.what());
    }
}

void PresetKeys::randomise(PlayerScreen& screen) {
    std::vector<std::string> lines{"random settings"};
    for (auto& change : lumrules::randomiseSettings(settings_, random_)) lines.push_back(std::move(change));
    std::string joined;
    for (std::size_t i = 1; i < lines.size(); ++i) joined += (i > 1 ? ", " : "") + lines[i];
    if (commentary()) std::fprintf(stderr, "lumhost: random settings: %s\n", joined.c_str());
    screen.show(lines, 3.0);
}

}  // namespace lumhost
