#include "gst/plugin_catalogue.h"

#include <dlfcn.h>

#include <algorithm>
#include <cctype>

#include "host/plugins/plugin_search.h"
#include "rules/param_text.h"

namespace lumgst {
namespace {

namespace fs = std::filesystem;

// The folder this library was loaded from.
fs::path libraryFolder() {
    Dl_info where{};
    if (dladdr(reinterpret_cast<void*>(&libraryFolder), &where) == 0 || where.dli_fname == nullptr) return {};
    std::error_code error;
    auto file = fs::canonical(where.dli_fname, error);
    return error ? fs::path(where.dli_fname).parent_path() : file.parent_path();
}

bool sameFolder(const fs::path& a, const fs::path& b) {
    std::error_code error;
    return fs::equivalent(a, b, error) && !error;
}

}  // namespace

fs::path lumhostFolder() {
    const auto folder = libraryFolder();
    // In the build tree lumhost and the plug-ins it built sit one folder up;
    // installed, lumhost is where the install puts programs.
    if (folder.empty()) return {};
    if (sameFolder(folder, LUMGST_BUILD_FOLDER)) return LUMGST_LUMHOST_BUILD_FOLDER;
    return (folder / LUMGST_BINDIR_FROM_PLUGINDIR).lexically_normal();
}

std::vector<fs::path> elementSearchFolders() {
    auto setting = lumhost::currentSearchSetting();
    setting.executableFolder = lumhostFolder();
    return lumhost::pluginFolders(setting);
}

std::string propertyName(const std::string& settingName, uint32_t id, const std::vector<std::string>& taken) {
    // GstObject already has "name" and "parent".
    auto used = taken;
    used.insert(used.end(), {"name", "parent"});
    return lumrules::uniqueParamKey(settingName, id, lumrules::NameStyle::gstProperty, used);
}

std::string identifierPart(const std::string& name) {
    std::string part;
    for (const unsigned char c : name) part += (std::isalnum(c) != 0 && c < 0x80) ? static_cast<char>(c) : '_';
    return part;
}

PluginDescription describePlugin(const std::string& name, const std::string& file) {
    PluginDescription description;
    description.name = name;
    description.file = file;
    std::string lowered = identifierPart(name);
    std::transform(lowered.begin(), lowered.end(), lowered.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    description.factory = "lum_" + lowered;
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
