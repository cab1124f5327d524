#include "host/plugins/plugin_presets.h"

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <set>

#include "host/base/host_error.h"

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

std::string trimmed(const std::string& text) {
    const auto first = text.find_first_not_of(" \t\r");
    if (first == std::string::npos) return "";
    const auto last = text.find_last_not_of(" \t\r");
    return text.substr(first, last - first + 1);
}

}  // namespace

PresetSetting currentPresetSetting() {
    PresetSetting setting;
    setting.configHome = environmentValue("XDG_CONFIG_HOME");
    setting.home = environmentValue("HOME");
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
        throw HostError("no folder for presets: neither XDG_CONFIG_HOME nor HOME is set");
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
    add(fs::path("/usr/local/share/lumhost/presets") / plugin);
    add(fs::path("/usr/share/lumhost/presets") / plugin);
    return folders;
}

std::string presetPluginName(const std::string& pluginPath) {
    auto name = fs::path(pluginPath).filename().string();
    if (name.size() > 4 && name.compare(name.size() - 4, 4, ".lum") == 0) name.resize(name.size() - 4);
    return name;
}

void checkPresetName(const std::string& name) {
    if (name.empty() || name.find('/') != std::string::npos || name[0] == '.' || name.find('\n') != std::string::npos)
        throw HostError("bad preset name '" + name + "': a name is a file name, without '/' and not starting with '.'");
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
        if (!isRegularFile(nameOrPath)) throw HostError("preset file " + nameOrPath + " does not exist");
        return nameOrPath;
    }
    checkPresetName(nameOrPath);
    std::string searched;
    for (const auto& folder : folders) {
        const auto file = folder / (nameOrPath + presetSuffix);
        if (isRegularFile(file)) return file;
        searched += (searched.empty() ? "" : ", ") + folder.string();
    }
    throw HostError("no preset named '" + nameOrPath + "' (looked in " + searched + "; see lumhost presets)");
}

std::vector<ResolvedAssignment> checkPreset(const PluginModule& plugin, const fs::path& file) {
    std::ifstream in(file);
    if (!in) throw HostError("cannot read preset " + file.string());
    std::vector<ResolvedAssignment> settings;
    std::string line;
    for (int number = 1; std::getline(in, line); ++number) {
        const auto text = trimmed(line);
        if (text.empty() || text[0] == '#') continue;
        const auto where = file.string() + ":" + std::to_string(number) + ": ";
        const auto equals = text.find('=');
        if (equals == std::string::npos || equals == 0 || equals + 1 == text.size())
            throw HostError(where + "expected NAME=VALUE, got '" + text + "'");
        const ParamAssignment assignment{true, trimmed(text.substr(0, equals)), trimmed(text.substr(equals + 1))};
        try {
            settings.push_back(resolveAssignment(plugin, assignment));
        } catch (const HostError& error) {
            std::string message = error.what();
            // The --set wording names an option the preset did not use.
            if (message.rfind("--set: ", 0) == 0) message.erase(0, 7);
            throw HostError(where + message);
        }
    }
    if (in.bad()) throw HostError("cannot read preset " + file.string());
    return settings;
}

void applyPreset(const PluginModule& plugin, const fs::path& file, std::ostream& notes) {
    for (const auto& setting : checkPreset(plugin, file)) {
        const auto applied = setParam(plugin, setting.id, setting.value);
        if (applied && *applied != setting.value)
            notes << "lumhost: " << setting.label << ": " << formatParamValue(setting.type, setting.value)
                  << " is out of range, applied " << formatParamValue(setting.type, *applied) << "\n";
    }
}

std::string presetValueText(int32_t type, int32_t value) {
    const auto bits = static_cast<uint32_t>(value);
    char text[16];
    if (type == PARAMTYPE_COLOR) {
        if ((bits >> 24) != 0) {
            std::snprintf(text, sizeof text, "0x%08" PRIX32, bits);
            return text;
        }
        std::snprintf(text, sizeof text, "#%02X%02X%02X", bits & 0xFF, (bits >> 8) & 0xFF, (bits >> 16) & 0xFF);
        return text;
    }
    if (type == PARAMTYPE_TOGGLE && (value == 0 || value == 1)) return value != 0 ? "on" : "off";
    return std::to_string(value);
}

std::string presetText(const PluginModule& plugin) {
    std::string text;
    for (const auto& param : listParams(plugin)) text += param.name + "=" + presetValueText(param.type, param.value) + "\n";
    return text;
}

fs::path savePreset(const PluginModule& plugin, const fs::path& folder, const std::string& name) {
    checkPresetName(name);
    std::error_code error;
    fs::create_directories(folder, error);
    if (error) throw HostError("cannot make the preset folder " + folder.string() + ": " + error.message());
    const auto file = folder / (name + presetSuffix);
    const auto temporary = folder / ("." + name + presetSuffix + ".part");
    {
        std::ofstream out(temporary, std::ios::trunc);
        out << presetText(plugin);
        out.close();
        if (!out) {
            fs::remove(temporary, error);
            throw HostError("cannot write the preset " + file.string());
        }
    }
    fs::rename(temporary, file, error);
    if (error) {
        fs::remove(temporary, error);
        throw HostError("cannot write the preset " + file.string());
    }
    return file;
}

std::string freePresetName(const fs::path& folder, const std::string& stem) {
    for (int number = 1;; ++number) {
        const auto name = stem + "-" + std::to_string(number);
        if (!fs::exists(folder / (name + presetSuffix))) return name;
    }
}

std::vector<std::string> randomiseSettings(const PluginModule& plugin, std::mt19937& random) {
    std::vector<std::string> changes;
    for (const auto& param : listParams(plugin)) {
        std::optional<int32_t> value;
        if (param.type == PARAMTYPE_TOGGLE) {
            value = static_cast<int32_t>(random() & 1);
        } else if (param.type == PARAMTYPE_COLOR) {
            value = static_cast<int32_t>(random() & 0xFFFFFF);
        } else if (const auto range = rangeFromDescription(param.description); range && range->low <= range->high) {
            value = std::uniform_int_distribution<int32_t>(range->low, range->high)(random);
        }
        if (!value) continue;
        if (const auto applied = setParam(plugin, param.id, *value))
            changes.push_back(param.name + ": " + formatParamValue(param.type, *applied));
    }
    return changes;
}

}  // namespace lumhost
