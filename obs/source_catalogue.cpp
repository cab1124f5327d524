#include "obs/source_catalogue.h"

#include "loading/plugins/host_library.h"
#include "rules/param_text.h"

namespace lumobs {
namespace {

std::filesystem::path moduleFolder() { return lumhost::libraryFolderOf(reinterpret_cast<const void*>(&moduleFolder)); }

}  // namespace

std::filesystem::path lumhostFolder() {
    return lumhost::lumhostFolderFor(moduleFolder(), {LUMOBS_BUILD_FOLDER, LUMOBS_LUMHOST_BUILD_FOLDER, LUMOBS_BINDIR_FROM_MODULEDIR});
}

std::vector<std::filesystem::path> sourceSearchFolders() { return lumhost::searchFoldersBeside(lumhostFolder()); }

SourceDescription describeSource(const std::string& name, const std::string& file, lumhost::PluginProbe probe) {
    SourceDescription description;
    description.name = name;
    description.file = file;
    description.id = lumhost::featureName(name);
    description.probe = std::move(probe);
    const auto& p = description.probe;
    description.displayName = !p.longName.empty() ? p.longName : !p.displayName.empty() ? p.displayName : name;
    std::vector<std::string> taken = {audioSourceKey, widthKey, heightKey, transparentKey, presetKey, presetNameKey, savePresetKey};
    for (const auto& probed : description.probe.params) {
        SettingKey setting{probed, lumrules::uniqueParamKey(probed.param.name, probed.param.id, lumrules::NameStyle::obsKey, taken)};
        taken.push_back(setting.key);
        description.settings.push_back(std::move(setting));
    }
    return description;
}

int64_t obsColour(int32_t pluginColour) { return static_cast<int64_t>((static_cast<uint32_t>(pluginColour) & 0x00FFFFFFu) | 0xFF000000u); }

int32_t pluginColour(int64_t obsColour) { return static_cast<int32_t>(static_cast<uint32_t>(obsColour) & 0x00FFFFFFu); }

}  // namespace lumobs
