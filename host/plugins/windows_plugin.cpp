// Windows DLLs: lumhost cannot load them into its own process.
#include "host/base/host_error.h"
#include "host/plugins/plugin_module.h"

namespace lumhost {

std::unique_ptr<PluginBackend> loadWindowsPlugin(const std::string& path, PluginFileKind kind) {
    throw HostError("cannot load plug-in " + path + ": it is a Windows DLL (" + (kind == PluginFileKind::pe32 ? "PE32" : "PE32+") +
                    "), which this lumhost cannot host");
}

}  // namespace lumhost
