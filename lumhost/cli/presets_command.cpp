// lumhost presets: a plug-in's presets, one line each in search order, or
// the current settings saved as a new one.
#include <cstdio>
#include <iostream>

#include "loading/plugins/plugin_presets.h"
#include "loading/plugins/plugin_run.h"
#include "lumhost/cli/commands.h"

namespace lumhost {

int runPresets(const PresetsOptions& options) {
    const auto setting = currentPresetSetting();
    const auto pluginName = presetPluginName(options.plugin.plugin);
    if (options.save) {
        checkPresetName(*options.save);
        PluginModule plugin(options.plugin.plugin);
        initWithSettings(plugin, options.plugin);
        const auto file = savePreset(plugin, userPresetFolder(setting, pluginName), *options.save);
        std::printf("%s\n", file.c_str());
        return 0;
    }
    const auto folders = presetFolders(setting, pluginName);
    const auto found = findPresets(folders);
    if (found.empty()) {
        std::string searched;
        for (const auto& folder : folders) searched += (searched.empty() ? "" : ", ") + folder.string();
        std::fprintf(stderr, "lumhost: no presets for %s (looked in %s)\n", pluginName.c_str(), searched.c_str());
        return 0;
    }
    std::size_t width = 0;
    for (const auto& preset : found) width = std::max(width, preset.name.size());
    for (const auto& preset : found) {
        std::printf("%-*s  %s", static_cast<int>(width), preset.name.c_str(), preset.file.c_str());
        if (preset.shadowedBy) std::printf("  (shadowed by %s)", preset.shadowedBy->c_str());
        std::printf("\n");
    }
    return 0;
}

}  // namespace lumhost
