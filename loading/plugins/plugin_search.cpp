#include "loading/plugins/plugin_search.h"

#include <algorithm>
#include <cstdlib>
#include <set>

#include "loading/load_error.h"

namespace lumhost {
namespace {

namespace fs = std::filesystem;

constexpr const char* suffix = ".lum";

std::optional<std::string> environmentValue(const char* name) {
    const char* value = std::getenv(name);
    if (value == nullptr) return std::nullopt;
    return std::string(value);
}

std::vector<std::string> splitColons(const std::string& text) {
    std::vector<std::string> parts;
    std::size_t begin = 0;
    while (begin <= text.size()) {
        const auto end = std::min(text.find(':', begin), text.size());
        parts.push_back(text.substr(begin, end - begin));
        begin = end + 1;
    }
    return parts;
}

bool endsWith(const std::string& text, const std::string& tail) {
    return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

// Regular files only (through symbolic links): a folder called x.lum is not a plug-in.
bool isRegularFile(const fs::path& file) {
    std::error_code error;
    return fs::is_regular_file(file, error);
}

bool isFolder(const fs::path& folder) {
    std::error_code error;
    return fs::is_directory(folder, error);
}

}  // namespace

SearchSetting currentSearchSetting() {
    SearchSetting setting;
    setting.lumPath = environmentValue("LUM_PATH");
    setting.home = environmentValue("HOME");
    setting.systemRoot = systemRootSetting();
    std::error_code error;
    const auto self = fs::read_symlink("/proc/self/exe", error);
    if (!error) setting.executableFolder = self.parent_path();
    return setting;
}

std::optional<std::string> systemRootSetting() {
    auto root = environmentValue("LUM_SYSTEM_ROOT");
    if (root && root->empty()) return std::nullopt;
    return root;
}

fs::path systemFolder(const std::optional<std::string>& root, const fs::path& folder) {
    if (!root) return folder;
    return fs::path(*root) / folder.relative_path();
}

std::vector<fs::path> pluginFolders(const SearchSetting& setting) {
    std::vector<fs::path> candidates;
    if (setting.lumPath)
        for (const auto& entry : splitColons(*setting.lumPath))
            if (!entry.empty()) candidates.emplace_back(entry);
    if (setting.home && !setting.home->empty()) candidates.push_back(fs::path(*setting.home) / ".local/lib/lum");
    if (!setting.executableFolder.empty()) {
        candidates.push_back(setting.executableFolder);
        candidates.push_back(setting.executableFolder / LUMHOST_PLUGIN_DIR_FROM_BINDIR);
    }
    candidates.push_back(systemFolder(setting.systemRoot, "/usr/local/lib/lum"));
    for (const auto& folder : splitColons(LUMHOST_SYSTEM_PLUGIN_DIRS))
        if (!folder.empty()) candidates.push_back(systemFolder(setting.systemRoot, folder));

    // Each folder once, however it is spelt: the installed folder is usually
    // also the system's, and /lib is /usr/lib on a merged system.
    std::vector<fs::path> folders;
    std::set<fs::path> seen;
    for (const auto& candidate : candidates) {
        auto folder = candidate.lexically_normal();
        if (!folder.has_filename() && folder.has_relative_path()) folder = folder.parent_path();  // "a/" is "a"
        std::error_code error;
        auto key = fs::weakly_canonical(folder, error);
        if (error) key = folder;
        if (seen.insert(key).second) folders.push_back(folder);
    }
    return folders;
}

bool isPluginName(const std::string& text) { return text.find('/') == std::string::npos; }

std::string pluginFileName(const std::string& name) { return endsWith(name, suffix) ? name : name + suffix; }

std::string locatePlugin(const std::string& pathOrName, const std::vector<fs::path>& folders) {
    if (!isPluginName(pathOrName)) return pathOrName;
    if (pathOrName.empty() || pathOrName == suffix) throw lumload::LoadError("an empty plug-in name");
    const auto file = pluginFileName(pathOrName);
    for (const auto& folder : folders)
        if (isRegularFile(folder / file)) return (folder / file).string();

    std::string searched;
    for (const auto& folder : folders)
        searched += (searched.empty() ? "" : ", ") + folder.string() + (isFolder(folder) ? "" : " (missing)");
    std::string message = "no plug-in named " + pathOrName + " in " + searched;
    // A bare name never loads from the current folder, as PATH never runs from it.
    if (isRegularFile(pathOrName)) message += "; for the file in this folder give ./" + pathOrName;
    throw lumload::LoadError(message);
}

std::string locatePlugin(const std::string& pathOrName) {
    return locatePlugin(pathOrName.empty() ? defaultPluginName : pathOrName, pluginFolders(currentSearchSetting()));
}

std::vector<FoundPlugin> findPlugins(const std::vector<fs::path>& folders) {
    std::vector<FoundPlugin> found;
    std::vector<std::pair<std::string, fs::path>> first;  // name, the file that wins
    for (const auto& folder : folders) {
        std::vector<fs::path> files;
        std::error_code error;
        for (fs::directory_iterator entry(folder, error), end; !error && entry != end; entry.increment(error)) {
            const auto& file = entry->path();
            const auto fileName = file.filename().string();
            if (fileName.size() > 4 && endsWith(fileName, suffix) && isRegularFile(file)) files.push_back(file);
        }
        std::sort(files.begin(), files.end());
        for (const auto& file : files) {
            FoundPlugin plugin;
            plugin.name = file.stem().string();
            plugin.file = file;
            const auto winner = std::find_if(first.begin(), first.end(), [&](const auto& f) { return f.first == plugin.name; });
            if (winner != first.end())
                plugin.shadowedBy = winner->second;
            else
                first.emplace_back(plugin.name, file);
            found.push_back(std::move(plugin));
        }
    }
    return found;
}

}  // namespace lumhost
