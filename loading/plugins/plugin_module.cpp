#include "loading/plugins/plugin_module.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "loading/load_error.h"

namespace lumhost {

PluginModule::PluginModule(const std::string& path, ModuleSharing sharing) : path_(path) {
    if (::access(path.c_str(), F_OK) != 0) throw lumload::LoadError("cannot load plug-in " + path + ": " + std::strerror(errno));
    const auto type = identifyPluginFile(path);
    kind_ = type.kind;
    switch (type.kind) {
        case PluginFileKind::elf: backend_ = loadNativePlugin(path, sharing); break;
        case PluginFileKind::pe32:
        case PluginFileKind::pe32plus: backend_ = loadWindowsPlugin(path, type.kind); break;
        case PluginFileKind::other: throw lumload::LoadError("cannot load plug-in " + path + ": it is " + type.description + ", not a plug-in");
    }
}

PluginModule::~PluginModule() = default;

PluginInfoRecord initPlugin(const PluginModule& plugin) {
    PluginInfoRecord record;
    if (plugin.init(&record.info, sizeof record) != 1) throw lumload::LoadError("plug-in " + plugin.path() + " refused lumInit");
    return record;
}

std::string fieldText(const char* field, std::size_t width) { return std::string(field, strnlen(field, width)); }

}  // namespace lumhost
