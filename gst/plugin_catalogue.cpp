#include "gst/plugin_catalogue.h"

#include "loading/plugins/host_library.h"
#include "rules/param_text.h"

namespace lumgst {
namespace {

// The folder this library was loaded from.
std::filesystem::path libraryFolder() { return lumhost::libraryFolderOf(reinterpret_cast<const void*>(&libraryFolder)); }

}  // namespace

std::filesystem::path lumhostFolder() {
    return lumhost::lumhostFolderFor(libraryFolder(), {LUMGST_BUILD_FOLDER, LUMGST_LUMHOST_BUILD_FOLDER, LUMGST_BINDIR_FROM_PLUGINDIR});
}

std::vector<std::filesystem::path> elementSearchFolders() { return lumhost::searchFoldersBeside(lumhostFolder()); }

std::string propertyName(const std::string& settingName, uint32_t id, const std::vector<std::string>& taken) {
    // GstObject already has "name" and "parent".
    auto used = taken;
    used.insert(used.end(), {"name", "parent"});
    return lumrules::uniqueParamKey(settingName, id, lumrules::NameStyle::gstProperty, used);
}

PluginDescription describePlugin(const std::string& name, const std::string& file) {
    PluginDescription description;
    description.name = name;
    description.file = file;
    description.factory = lumhost::featureName(name);
    description.typeName = "GstLum_" + identifierPart(name);
    description.probe = lumhost::probePlugin(file);
    std::vector<std::string> taken;
    for (const auto& probed : description.probe.params) {
        PropertySetting setting{probed, propertyName(probed.param.name, probed.param.id, taken)};
        taken.push_back(setting.propertyName);
        description.properties.push_back(std::move(setting));
    }
    return description;
}

}  // namespace lumgst
