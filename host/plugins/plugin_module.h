// A .lum plug-in loaded at run time and seen only through its seven exported
// entry points, as any host would see it.
#pragma once

#include <string>

#include "lum_plugin.h"

namespace lumhost {

class PluginModule {
public:
    // Loads the file and finds every entry point by name; throws HostError
    // if the file is not a loadable library or lacks one of them.
    explicit PluginModule(const std::string& path);
    ~PluginModule();
    PluginModule(const PluginModule&) = delete;
    PluginModule& operator=(const PluginModule&) = delete;

    const std::string& path() const { return path_; }

    decltype(&::lumInit) init = nullptr;
    decltype(&::lumStart) start = nullptr;
    decltype(&::lumEnd) end = nullptr;
    decltype(&::lumGetBitmap) getBitmap = nullptr;
    decltype(&::lumGetParamInfo) getParamInfo = nullptr;
    decltype(&::lumSetParamInfo) setParamInfo = nullptr;
    decltype(&::lumDisplaySoundData) displaySoundData = nullptr;

private:
    std::string path_;
    void* handle_ = nullptr;
};

// lumInit's record with room for a longer extraInfo text than the header's
// minimum, zeroed so every text field stays terminated.
struct PluginInfoRecord {
    LumPluginInfo info{};
    char extraRoom[256]{};
};

// Calls lumInit and returns the record it filled.
PluginInfoRecord initPlugin(const PluginModule& plugin);

// A text field of a host-owned record, up to its terminator or the field's end.
std::string fieldText(const char* field, std::size_t width);

}  // namespace lumhost
