// What the element library registers: one element per .lum plug-in on
// lumhost's search path, described by probing each plug-in out of process.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "loading/plugins/host_library.h"
#include "loading/plugins/plugin_probe.h"

namespace lumgst {

// One of the plug-in's settings as a GObject property.
struct PropertySetting {
    lumhost::ProbedParam probed;
    std::string propertyName;  // "line-width"
};

// Everything an element class needs to know of its plug-in.
struct PluginDescription {
    std::string name;     // the file's name without .lum
    std::string file;     // the file the element loads
    std::string factory;  // "lum_" and the name
    std::string typeName; // the GType's name
    lumhost::PluginProbe probe;
    std::vector<PropertySetting> properties;
};

// The folder of the lumhost installed (or built) with this library: the
// element library stands in for lumhost's executable when it looks for
// plug-ins and for the bridges that host Windows modules.
std::filesystem::path lumhostFolder();

// lumhost's search path, with the element library standing in for lumhost's
// executable: the folders of $LUM_PATH, the user's, those beside the lumhost
// installed (or built) with this library, and the machine's.
std::vector<std::filesystem::path> elementSearchFolders();

// The property name of a setting: lower case, words joined by '-' ("Line
// width" is "line-width"), unique among `taken` and GstObject's own.
std::string propertyName(const std::string& settingName, uint32_t id, const std::vector<std::string>& taken);

// An element factory name or type name part from a file name (the rule of loading/plugins).
using lumhost::identifierPart;

// Describes the plug-in in `file`; the description's probe says whether it loaded.
PluginDescription describePlugin(const std::string& name, const std::string& file);

}  // namespace lumgst
