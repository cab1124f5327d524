#include "loading/plugins/plugin_presets.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <set>

#include "loading/load_error.h"
#include "loading/plugins/plugin_search.h"

namespace lumhost {
namespace {

namespace fs = std::filesystem;

std::optional<std::string> environmentValue(const char* name) {
    const char* value = std::getenv(name);
    if (value == nullptr || *value == '\0') return std::nullopt;
    return std::string(value);
}

bool isRegularFile(const fs::path& file) {
    std::error_code error;
    return fs::is_regular_file(file, error);
}

}  // namespace

PresetSetting currentPresetSetting() {
    PresetSetting setting;
    setting.configHome = environmentValue("XDG_CONFIG_HOME");
    setting.home = environmentValue("HOME");
    setting.systemRoot = systemRootSetting();
    std::error_code error;
    const auto self = fs::read_symlink("/proc/self/exe", error);
    if (!error) setting.executableFolder = self.parent_path();
    return setting;
}

fs::path userPresetFolder(const PresetSetting& setting, const std::string& plugin) {
    fs::path config;
    if (setting.configHome && fs::path(*setting.configHome).is_absolute())
        config = *setting.configHome;
    else if (setting.home)
        config = fs::path(*setting.home) / ".config";
    else
        throw lumload::LoadError("no folder for presets: neither XDG_CONFIG_HOME nor HOME is set");
    return config / "lumhost" / "presets" / plugin;
}

std::vector<fs::path> presetFolders(const PresetSetting& setting, const std::string& plugin) {
    std::vector<fs::path> folders;
    const auto add = [&](const fs::path& folder) {
        const auto normal = folder.lexically_normal();
        if (std::find(folders.begin(), folders.end(), normal) == folders.end()) folders.push_back(normal);
    };
    if (setting.configHome || setting.home) add(userPresetFolder(setting, plugin));
    if (!setting.executableFolder.empty()) add(setting.executableFolder / LUMHOST_PRESET_DIR_FROM_BINDIR / plugin);
    add(systemFolder(setting.systemRoot, "/usr/local/share/lumhost/presets") / plugin);
    add(systemFolder(setting.systemRoot, "/usr/share/lumhost/presets") / plugin);
    return folders;
}

std::string presetPluginName(const std::string& pluginPath) {
    auto name = fs::path(pluginPath).filename().string();
    if (name.size() > 4 && name.compare(name.size() - 4, 4, ".lum") == 0) name.resize(name.size() - 4);
    return name;
}

void checkPresetName(const std::string& name) {
    try {
        lumrules::checkPresetName(name);
    } catch (const lumrules::RuleError& error) {
        throw lumload::LoadError(error.what());
    }
}

std::vector<FoundPreset> findPresets(const std::vector<fs::path>& folders) {
    std::vector<FoundPreset> found;
    std::set<std::string> seen;
    std::vector<std::pair<std::string, fs::path>> firsts;
    for (const auto& folder : folders) {
        std::error_code error;
        std::vector<fs::path> files;
        for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error))
            if (it->path().extension() == presetSuffix && isRegularFile(it->path())) files.push_back(it->path());
        std::sort(files.begin(), files.end());
        for (const auto& file : files) {
            FoundPreset preset{file.stem().string(), file, std::nullopt};
            for (const auto& [name, first] : firsts)
                if (name == preset.name) preset.shadowedBy = first;
            if (!preset.shadowedBy) firsts.emplace_back(preset.name, file);
            found.push_back(std::move(preset));
        }
    }
    return found;
}

fs::path locatePreset(const std::string& nameOrPath, const std::vector<fs::path>& folders) {
    if (nameOrPath.find('/') != std::string::npos) {
        std::error_code error;
        if (!fs::exists(nameOrPath, error)) throw lumload::LoadError("preset file " + nameOrPath + " does not exist");
        if (!isRegularFile(nameOrPath)) throw lumload::LoadError("preset file " + nameOrPath + " is not a regular file");
        return nameOrPath;
    }
    checkPresetName(nameOrPath);
    std::string searched;
    for (const auto& folder : folders) {
        const auto file = folder / (nameOrPath + presetSuffix);
        if (isRegularFile(file)) return file;
        searched += (searched.empty() ? "" : ", ") + folder.string();
    }
    throw lumload::LoadError("no preset named '" + nameOrPath + "' (looked in " + searched + "; see lumhost presets)");
}

std::string readPresetFile(const fs::path& file) {
    // Opened without waiting: a FIFO's open would wait for a writer.
    const int fd = ::open(file.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) throw lumload::LoadError("cannot read preset " + file.string() + ": " + std::strerror(errno));
    struct Closer {
        int fd;
        ~Closer() { ::close(fd); }
    } closer{fd};
    struct stat status {};
    if (::fstat(fd, &status) != 0) throw lumload::LoadError("cannot read preset " + file.string() + ": " + std::strerror(errno));
    if (!S_ISREG(status.st_mode)) throw lumload::LoadError("cannot read preset " + file.string() + ": not a regular file");
    // One byte more than a preset may hold tells a larger file, whatever its size says.
    std::string text(maxPresetBytes + 1, '\0');
    std::size_t got = 0;
    while (got < text.size()) {
        const ssize_t more = ::read(fd, text.data() + got, text.size() - got);
        if (more < 0 && errno == EINTR) continue;
        if (more < 0) throw lumload::LoadError("cannot read preset " + file.string() + ": " + std::strerror(errno));
        if (more == 0) break;
        got += static_cast<std::size_t>(more);
    }
    if (got > maxPresetBytes)
        throw lumload::LoadError("preset " + file.string() + " is larger than " + std::to_string(maxPresetBytes / 1024) + " KiB; a preset is a few lines of settings");
    text.resize(got);
    return text;
}

std::vector<ResolvedAssignment> checkPreset(const PluginModule& plugin, const fs::path& file) {
    const auto text = readPresetFile(file);
    try {
        return lumrules::checkPreset(ModuleParams(plugin), text, file.string());
    } catch (const lumrules::RuleError& error) {
        throw lumload::LoadError(error.what());
    }
}

void applyPreset(const PluginModule& plugin, const fs::path& file, std::ostream& notes) { applyPreset(ModuleParams(plugin), file, notes); }

void applyPreset(const lumrules::ParamAccess& settings, const fs::path& file, std::ostream& notes) {
    const auto text = readPresetFile(file);
    try {
        writeNotes(lumrules::applyPreset(settings, text, file.string()), notes);
    } catch (const lumrules::RuleError& error) {
        throw lumload::LoadError(error.what());
    }
}

std::string presetText(const PluginModule& plugin) { return lumrules::presetText(ModuleParams(plugin)); }

fs::path savePreset(const PluginModule& plugin, const fs::path& folder, const std::string& name) {
    return savePresetText(folder, name, presetText(plugin));
}

fs::path savePresetText(const fs::path& folder, const std::string& name, const std::string& text) {
    checkPresetName(name);
    std::error_code error;
    fs::create_directories(folder, error);
    if (error) throw lumload::LoadError("cannot make the preset folder " + folder.string() + ": " + error.message());
    const auto file = folder / (name + presetSuffix);
    const auto temporary = folder / ("." + name + presetSuffix + ".part");
    {
        std::ofstream out(temporary, std::ios::trunc);
        out << text;
        out.close();
        if (!out) {
            fs::remove(temporary, error);
            throw lumload::LoadError("cannot write the preset " + file.string());
        }
    }
    fs::rename(temporary, file, error);
    if (error) {
        fs::remove(temporary, error);
        throw lumload::LoadError("cannot write the preset " + file.string());
    }
    return file;
}

std::string freePresetName(const fs::path& folder, const std::string& stem) {
    return lumrules::freePresetName(stem, [&](const std::string& name) { return fs::exists(folder / (name + presetSuffix)); });
}

std::vector<std::string> randomiseSettings(const PluginModule& plugin, std::mt19937& random) {
    return lumrules::randomiseSettings(ModuleParams(plugin), random);
}

}  // namespace lumhost
