#include "loading/plugins/host_library.h"

#include <dlfcn.h>

#include <algorithm>
#include <cctype>

#include "loading/bridge/wine_setup.h"
#include "loading/plugins/plugin_search.h"

namespace lumhost {
namespace {

namespace fs = std::filesystem;

bool sameFolder(const fs::path& a, const fs::path& b) {
    std::error_code error;
    return fs::equivalent(a, b, error) && !error;
}

}  // namespace

fs::path libraryFolderOf(const void* address) {
    Dl_info where{};
    if (dladdr(address, &where) == 0 || where.dli_fname == nullptr) return {};
    std::error_code error;
    auto file = fs::canonical(where.dli_fname, error);
    return error ? fs::path(where.dli_fname).parent_path() : file.parent_path();
}

fs::path lumhostFolderFor(const fs::path& libraryFolder, const LibraryHome& home) {
    if (libraryFolder.empty()) return {};
    if (sameFolder(libraryFolder, home.buildFolder)) return home.buildLumhostFolder;
    return (libraryFolder / home.bindirFromLibrary).lexically_normal();
}

std::vector<fs::path> searchFoldersBeside(const fs::path& lumhostFolder) {
    // The process is not lumhost: the bridges are beside the lumhost that came with the library.
    findBridgesBeside(lumhostFolder);
    auto setting = currentSearchSetting();
    setting.executableFolder = lumhostFolder;
    return pluginFolders(setting);
}

std::string identifierPart(const std::string& name) {
    std::string part;
    for (const unsigned char c : name) part += (std::isalnum(c) != 0 && c < 0x80) ? static_cast<char>(c) : '_';
    return part;
}

std::string featureName(const std::string& name) {
    std::string lowered = identifierPart(name);
    std::transform(lowered.begin(), lowered.end(), lowered.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return "lum_" + lowered;
}

}  // namespace lumhost
