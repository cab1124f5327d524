#include "gst/plugin_catalogue.h"

#include <dlfcn.h>

#include <algorithm>
#include <cctype>

#include "host/plugins/plugin_search.h"

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
    std::string name;
    for (const unsigned char c : settingName) {
        if (std::isalnum(c) != 0 && c < 0x80)
            name += static_cast<char>(std::tolower(c));
        else if (!name.empty() && name.back() != '-')
            name += '-';
    }
    while (!name.empty() && name.back() == '-') name.pop_back();
    // A property name starts with a letter; GstObject already has "name" and "parent".
    if (name.empty() || std::isalpha(static_cast<unsigned char>(name[0])) == 0)
        name = "setting-" + std::to_string(id) + (name.empty() ? "" : "-" + name);
    const auto used = [&](const std::string& candidate) {
        return candidate == "name" || candidate == "parent" || std::find(taken.begin(), taken.end(), candidate) != taken.end();
    };
    if (used(name)) name += "-" + std::to_string(id);
    return name;
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
