// Presets: named sets of a plug-in's settings, kept as small text files of
// the NAME=VALUE lines --set takes, one folder per plug-in. The user's own
// folder ($XDG_CONFIG_HOME/lumhost/presets/PLUGIN) comes first, then the
// folders a package installs; the first file of a name wins.
#pragma once

#include <filesystem>
#include <optional>
#include <ostream>
#include <random>
#include <string>
#include <vector>

#include "loading/plugins/plugin_module.h"
#include "loading/plugins/plugin_params.h"
#include "rules/presets.h"

namespace lumhost {

// What the preset folders are made from, gathered once so tests can give their own.
struct PresetSetting {
    std::optional<std::string> configHome;   // $XDG_CONFIG_HOME
    std::optional<std::string> home;         // $HOME
    std::filesystem::path executableFolder;  // the folder of the running lumhost
    std::optional<std::string> systemRoot;   // $LUM_SYSTEM_ROOT: where /usr/local/share and /usr/share are looked for
};

PresetSetting currentPresetSetting();

using lumrules::presetSuffix;

// The folder presets are saved to: $XDG_CONFIG_HOME/lumhost/presets/PLUGIN,
// ~/.config/lumhost/presets/PLUGIN without it.
std::filesystem::path userPresetFolder(const PresetSetting& setting, const std::string& plugin);

// The folders searched, in order: the user's, the one installed with this
// lumhost (found from the executable), then /usr/local/share and /usr/share
// (under the system root if there is one).
std::vector<std::filesystem::path> presetFolders(const PresetSetting& setting, const std::string& plugin);

// The name presets file a plug-in under: its file name without .lum.
std::string presetPluginName(const std::string& pluginPath);

// A preset name is a file name: not empty, no '/', not starting with '.'.
// Throws lumload::LoadError otherwise.
void checkPresetName(const std::string& name);

struct FoundPreset {
    std::string name;
    std::filesystem::path file;
    std::optional<std::filesystem::path> shadowedBy;
};

// Every preset in the folders, in folder order and by name within one.
std::vector<FoundPreset> findPresets(const std::vector<std::filesystem::path>& folders);

// The file of a preset: a name looked up in the folders, or a path (with a
// '/') as given. Throws lumload::LoadError naming the folders searched.
std::filesystem::path locatePreset(const std::string& nameOrPath, const std::vector<std::filesystem::path>& folders);

// A preset is a few lines; a file larger than this is not one.
inline constexpr std::size_t maxPresetBytes = 64 * 1024;

// The text of a preset file, read whole. Refuses with one line (lumload::LoadError)
// what is not a regular file (a FIFO, a device such as /dev/zero: neither
// waits nor fills memory) and a file larger than maxPresetBytes, of which no
// more than one byte past the limit is read. Every reader of presets goes
// through it.
std::string readPresetFile(const std::filesystem::path& file);

// Reads a preset and checks every line against the plug-in without applying
// anything: blank lines and lines starting with '#' are skipped. Throws
// lumload::LoadError "FILE:LINE: what is wrong" for the first bad line.
std::vector<ResolvedAssignment> checkPreset(const PluginModule& plugin, const std::filesystem::path& file);

// Checks the whole preset, then applies it; a bad preset changes nothing.
// Clamped values are noted as --set notes them.
void applyPreset(const PluginModule& plugin, const std::filesystem::path& file, std::ostream& notes);
// The same through any way to the settings (a mirror of them beside a live run).
void applyPreset(const lumrules::ParamAccess& settings, const std::filesystem::path& file, std::ostream& notes);

// The plug-in's current settings as preset lines.
std::string presetText(const PluginModule& plugin);

// Writes the current settings to FOLDER/NAME.preset (making the folder);
// the file is replaced whole. Returns the file.
std::filesystem::path savePreset(const PluginModule& plugin, const std::filesystem::path& folder, const std::string& name);

// The same with the preset's text already made (from settings a host keeps
// beside the plug-in, so saving never waits for the plug-in).
std::filesystem::path savePresetText(const std::filesystem::path& folder, const std::string& name, const std::string& text);

// "saved-1", "saved-2", ...: the first name no file in the folder has.
std::string freePresetName(const std::filesystem::path& folder, const std::string& stem);

// Gives every setting with a range the plug-in clamps to, every toggle and
// every colour a random value within what the plug-in accepts.
// Returns "Name: value" for each value applied.
std::vector<std::string> randomiseSettings(const PluginModule& plugin, std::mt19937& random);

}  // namespace lumhost
