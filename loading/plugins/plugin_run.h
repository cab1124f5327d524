// The host's side of the calling order: lumInit and the settings once, then
// a run bracketed by lumStart and lumEnd however the run ends.
#pragma once

#include <exception>
#include <filesystem>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "loading/plugins/plugin_module.h"
#include "loading/plugins/plugin_params.h"
#include "loading/plugins/plugin_presets.h"

namespace lumhost {

// Which plug-in to load and what to set in it.
struct PluginOptions {
    std::string plugin;                        // the .lum file
    std::vector<ParamAssignment> assignments;  // --set and --param in command-line order
    std::optional<std::string> preset;         // --load-preset: a preset's name or file, applied before them
};

// The preset file --load-preset names, among the plug-in's presets.
inline std::filesystem::path presetFileFor(const PluginOptions& options) {
    return locatePreset(*options.preset, presetFolders(currentPresetSetting(), presetPluginName(options.plugin)));
}

// Calls lumInit, then applies the preset and the assignments in order, noting clamped values on stderr.
inline PluginInfoRecord initWithSettings(const PluginModule& plugin, const PluginOptions& options) {
    auto info = initPlugin(plugin);
    if (options.preset) applyPreset(plugin, presetFileFor(options), std::cerr);
    for (const auto& assignment : options.assignments) applyAssignment(plugin, assignment, std::cerr);
    return info;
}

class PluginRun {
public:
    explicit PluginRun(const PluginModule& plugin) : plugin_(plugin) { plugin_.start(); }
    // A bridged plug-in's lumEnd can fail (it crashed or hung): that is
    // reported, unless the run is already ending on another error.
    ~PluginRun() noexcept(false) {
        if (std::uncaught_exceptions() > unwinding_) {
            try {
                plugin_.end();
            } catch (...) {
            }
            return;
        }
        plugin_.end();
    }
    PluginRun(const PluginRun&) = delete;
    PluginRun& operator=(const PluginRun&) = delete;
    // lumEnd then lumStart: a fresh trail with the same settings.
    void restart() {
        plugin_.end();
        plugin_.start();
    }

private:
    const PluginModule& plugin_;
    int unwinding_ = std::uncaught_exceptions();
};

}  // namespace lumhost
