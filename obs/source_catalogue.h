// What the OBS module registers: one source type per .lum plug-in on
// lumhost's search path, described by probing each plug-in out of process,
// with the settings keys OBS stores its properties under.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "loading/plugins/plugin_probe.h"

namespace lumobs {

// The keys of the source's own properties; a plug-in setting whose name
// would take one of them gets its id in its key instead.
inline constexpr const char* audioSourceKey = "audio_source";
inline constexpr const char* widthKey = "width";
inline constexpr const char* heightKey = "height";
inline constexpr const char* transparentKey = "transparent";
inline constexpr const char* presetKey = "preset";
inline constexpr const char* presetNameKey = "preset_name";
inline constexpr const char* savePresetKey = "save_preset";

// One plug-in setting as an OBS property.
struct SettingKey {
    lumhost::ProbedParam probed;
    std::string key;  // "line_width"
};

// Everything a source type needs to know of its plug-in. Lives as long as
// the module: OBS keeps pointers to the id and the name.
struct SourceDescription {
    std::string name;         // the file's name without .lum
    std::string file;         // the file each source loads its own copy of
    std::string id;           // "lum_" and the name
    std::string displayName;  // what OBS's list of sources shows
    lumhost::PluginProbe probe;
    std::vector<SettingKey> settings;
};

// The folder of the lumhost installed (or built) with this module.
std::filesystem::path lumhostFolder();

// lumhost's search path with this module standing in for lumhost's executable.
std::vector<std::filesystem::path> sourceSearchFolders();

// Describes the plug-in in `file` from an already made probe.
SourceDescription describeSource(const std::string& name, const std::string& file, lumhost::PluginProbe probe);

// OBS's colours are 0xAABBGGRR, the plug-in's 0x00BBGGRR: the colour picker
// shows the plug-in's colour opaque, and the plug-in gets the colour without
// the picker's alpha.
int64_t obsColour(int32_t pluginColour);
int32_t pluginColour(int64_t obsColour);

}  // namespace lumobs
