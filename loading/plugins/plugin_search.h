// Finding a plug-in by name on the plug-in path, as LV2_PATH and CLAP_PATH
// work for their formats: the folders of $LUM_PATH, the user's own folder,
// the folder installed with this lumhost, then the machine's folders.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace lumhost {

// What the search path is made from, gathered once so tests can give their own.
struct SearchSetting {
    std::optional<std::string> lumPath;     // $LUM_PATH, colon-separated
    std::optional<std::string> home;        // $HOME
    std::filesystem::path executableFolder; // the folder of the running lumhost
    std::optional<std::string> systemRoot;  // $LUM_SYSTEM_ROOT
};

// The running process's setting: its environment and /proc/self/exe.
SearchSetting currentSearchSetting();

// $LUM_SYSTEM_ROOT, when it is set and not empty: the folder the machine's
// own plug-in and preset folders are looked for under instead of /, so a
// package's tree can be tried before it is installed and the tests see
// nothing the machine has installed.
std::optional<std::string> systemRootSetting();

// One of the machine's folders (/usr/lib/lum, /usr/share/lumhost/presets) as
// the search sees it: under `root` when there is one, else as it is.
std::filesystem::path systemFolder(const std::optional<std::string>& root, const std::filesystem::path& folder);

// The folders searched, in order, each once: every non-empty entry of
// LUM_PATH, ~/.local/lib/lum, the executable's own folder (the build tree
// keeps the module beside lumhost) and the plug-in folder installed with it,
// /usr/local/lib/lum, then the system's plug-in folders, those two under the
// system root if there is one. Folders need not exist.
std::vector<std::filesystem::path> pluginFolders(const SearchSetting& setting);

// The plug-in every command loads when none is named.
inline constexpr const char* defaultPluginName = "gyrotrail";

// A name is anything without a '/'; anything with one is a path.
bool isPluginName(const std::string& text);

// "gyrotrail" and "gyrotrail.lum" both name the file gyrotrail.lum.
std::string pluginFileName(const std::string& name);

// The file a --plugin value stands for: a path as given; a name resolved to
// the first regular file of that name in `folders` (missing folders are
// skipped). Throws lumload::LoadError with one line naming every folder searched.
std::string locatePlugin(const std::string& pathOrName, const std::vector<std::filesystem::path>& folders);

// locatePlugin on the running process's search path; an empty value is the default plug-in.
std::string locatePlugin(const std::string& pathOrName);

// Every .lum file on the search path, in search order (by file name within a
// folder). A name met again in a later folder is shadowed by the first.
struct FoundPlugin {
    std::string name;                  // the file name without .lum
    std::filesystem::path file;
    std::optional<std::filesystem::path> shadowedBy;
};
std::vector<FoundPlugin> findPlugins(const std::vector<std::filesystem::path>& folders);

}  // namespace lumhost
