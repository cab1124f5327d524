#include "loading/bridge/wine_setup.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <vector>

#include "loading/bridge/program_path.h"
#include "loading/load_error.h"

namespace lumhost {
namespace {

namespace fs = std::filesystem;

std::string environment(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

bool executable(const std::string& file) { return !file.empty() && ::access(file.c_str(), X_OK) == 0; }

// Beside lumhost; in the cross build folders of the same tree (lumhost in
// build/native, the bridges in build/win32 and build/win64); where the
// install puts them.
fs::path& lumhostFolderSetting() {
    static fs::path folder;
    return folder;
}

std::string findBridge(bool sixtyFourBit) {
    const std::string name = sixtyFourBit ? "lumbridge64.exe" : "lumbridge32.exe";
    std::error_code error;
    auto folder = lumhostFolderSetting();
    if (folder.empty()) {
        const auto self = fs::read_symlink("/proc/self/exe", error);
        if (!error) folder = self.parent_path();
    }
    std::vector<fs::path> folders;
    if (!folder.empty())
        folders = {folder, folder.parent_path() / (sixtyFourBit ? "win64" : "win32"), folder / LUMHOST_BRIDGE_DIR_FROM_BINDIR};
    std::string searched;
    for (const auto& folder : folders) {
        const auto file = (folder / name).lexically_normal();
        if (fs::is_regular_file(file, error)) return file.string();
        searched += (searched.empty() ? "" : ", ") + file.parent_path().string();
    }
    throw lumload::LoadError(name + ", which hosts this Windows module, is in none of " + searched + " (build it with the " +
                    (sixtyFourBit ? "win64" : "win32") + " preset)");
}

std::string defaultPrefix() {
    auto cache = environment("XDG_CACHE_HOME");
    if (cache.empty() || cache[0] != '/') {
        const auto home = environment("HOME");
        if (home.empty()) throw lumload::LoadError("neither WINEPREFIX nor HOME is set: lumhost has nowhere to keep its Wine prefix");
        cache = home + "/.cache";
    }
    return cache + "/lumhost/wine";
}

// A prefix once made says its word size in system.reg ("#arch=win32").
bool thirtyTwoBitPrefix(const std::string& prefix) {
    std::ifstream registry(prefix + "/system.reg");
    std::string line;
    for (int i = 0; i < 10 && std::getline(registry, line); ++i)
        if (line.rfind("#arch=", 0) == 0) return line == "#arch=win32";
    return false;
}

int runAndWait(std::vector<std::string> args, std::vector<std::string> environment) {
    auto argv = pointers(args);
    auto envp = pointers(environment);
    const pid_t pid = ::fork();
    if (pid < 0) return -1;
    if (pid == 0) {
        ::setpgid(0, 0);
        const int quiet = ::open("/dev/null", O_RDWR);
        if (quiet >= 0) {
            ::dup2(quiet, STDIN_FILENO);
            ::dup2(quiet, STDOUT_FILENO);
            ::dup2(quiet, STDERR_FILENO);
        }
        ::execve(argv[0], argv.data(), envp.data());
        ::_exit(127);
    }
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

}  // namespace

void findBridgesBeside(const std::filesystem::path& lumhostFolder) { lumhostFolderSetting() = lumhostFolder; }

WineSetup findWine(bool sixtyFourBit) {
    WineSetup wine;
    // Debian's loaders by word size; elsewhere the wine on $PATH picks one itself.
    const std::string debianLoader = sixtyFourBit ? "/usr/lib/wine/wine64" : "/usr/lib/wine/wine";
    wine.loader = executable(debianLoader) ? debianLoader : findProgram(sixtyFourBit ? "wine64" : "wine");
    if (wine.loader.empty() && !sixtyFourBit) wine.loader = findProgram("wine");
    if (wine.loader.empty()) {
        if (sixtyFourBit || executable("/usr/lib/wine/wine64"))
            throw lumload::LoadError(std::string("Wine is missing, and a ") + (sixtyFourBit ? "64" : "32") +
                            "-bit Windows module needs it: apt-get install wine wine64" + (sixtyFourBit ? "" : " wine32:i386"));
        throw lumload::LoadError("32-bit Wine is missing, and a 32-bit Windows module needs it: dpkg --add-architecture i386 && apt-get update && apt-get install wine32:i386");
    }
    wine.prefix = environment("WINEPREFIX");
    if (wine.prefix.empty()) wine.prefix = defaultPrefix();
    if (sixtyFourBit && thirtyTwoBitPrefix(wine.prefix))
        throw lumload::LoadError("the Wine prefix " + wine.prefix + " is a 32-bit one and cannot run a 64-bit Windows module");
    // Debian's wrapper runs the server with no persistence: it ends with the
    // bridge, instead of lingering for seconds.
    wine.server = executable("/usr/lib/wine/wineserver") ? "/usr/lib/wine/wineserver" : findProgram("wineserver");
    wine.bridge = findBridge(sixtyFourBit);
    return wine;
}

std::vector<std::string> wineEnvironment(const WineSetup& wine, const std::string& display) {
    std::vector<std::pair<std::string, std::string>> set = {
        {"WINEPREFIX", wine.prefix}, {"WINELOADER", wine.loader}, {"DISPLAY", display}};
    if (!wine.server.empty()) set.emplace_back("WINESERVER", wine.server);
    // Wine's own chatter stays off the user's screen unless asked for; no
    // .NET or HTML engine, whose installers would stop to ask.
    std::vector<std::pair<std::string, std::string>> defaults = {{"WINEDEBUG", "-all"}, {"WINEDLLOVERRIDES", "mscoree,mshtml="}};
    std::vector<std::string> result;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        const std::string assignment = *entry;
        const auto name = assignment.substr(0, assignment.find('='));
        bool replaced = false;
        for (const auto& [key, value] : set) replaced = replaced || key == name;
        for (auto it = defaults.begin(); it != defaults.end(); ++it)
            if (it->first == name) {
                defaults.erase(it);
                break;
            }
        if (!replaced) result.push_back(assignment);
    }
    for (const auto& [key, value] : set) result.push_back(key + "=" + value);
    for (const auto& [key, value] : defaults) result.push_back(key + "=" + value);
    return result;
}

std::vector<char*> pointers(std::vector<std::string>& texts) {
    std::vector<char*> result;
    for (auto& text : texts) result.push_back(text.data());
    result.push_back(nullptr);
    return result;
}

void preparePrefix(const WineSetup& wine, const std::string& display) {
    std::error_code error;
    fs::create_directories(fs::path(wine.prefix).parent_path(), error);
    // One set-up at a time, whoever else is starting lumhost now.
    const std::string lockName = wine.prefix + ".lock";
    const int lock = ::open(lockName.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (lock >= 0)
        while (::flock(lock, LOCK_EX) != 0 && errno == EINTR) {
        }
    if (!fs::exists(fs::path(wine.prefix) / "system.reg", error)) {
        std::fprintf(stderr, "lumhost: making the Wine prefix %s for Windows modules (first use; this takes some seconds)\n",
                     wine.prefix.c_str());
        const auto environment = wineEnvironment(wine, display);
        const int status = runAndWait({wine.loader, "wineboot", "--init"}, environment);
        if (!wine.server.empty()) runAndWait({wine.server, "-w"}, environment);
        if (status != 0 || !fs::exists(fs::path(wine.prefix) / "system.reg", error)) {
            if (lock >= 0) ::close(lock);
            throw lumload::LoadError("Wine could not make the prefix " + wine.prefix + " (wineboot: status " + std::to_string(status) + ")");
        }
    }
    if (lock >= 0) ::close(lock);
}

}  // namespace lumhost
