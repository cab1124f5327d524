#include "host/plugins/plugin_module.h"

#include <dlfcn.h>
#include <unistd.h>

#include <cstring>

#include "host/base/host_error.h"

namespace lumhost {
namespace {

template <class Function>
void findEntry(void* handle, const std::string& path, const char* name, Function& out) {
    void* symbol = dlsym(handle, name);
    if (symbol == nullptr) throw HostError("plug-in " + path + " lacks the entry point " + name);
    out = reinterpret_cast<Function>(symbol);
}

}  // namespace

PluginModule::PluginModule(const std::string& path) : path_(path) {
    // dlopen searches the library path for a bare name; a plug-in is always a file.
    const std::string file = path.find('/') == std::string::npos ? "./" + path : path;
    if (::access(file.c_str(), F_OK) != 0)
        throw HostError("cannot load plug-in " + path + ": " + std::strerror(errno));
    handle_ = dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle_ == nullptr) {
        const char* reason = dlerror();
        throw HostError("cannot load plug-in " + path + ": " + (reason != nullptr ? reason : "not a loadable library"));
    }
    try {
        findEntry(handle_, path, "lumInit", init);
        findEntry(handle_, path, "lumStart", start);
        findEntry(handle_, path, "lumEnd", end);
        findEntry(handle_, path, "lumGetBitmap", getBitmap);
        findEntry(handle_, path, "lumGetParamInfo", getParamInfo);
        findEntry(handle_, path, "lumSetParamInfo", setParamInfo);
        findEntry(handle_, path, "lumDisplaySoundData", displaySoundData);
    } catch (...) {
        dlclose(handle_);
        throw;
    }
}

PluginModule::~PluginModule() {
    if (handle_ != nullptr) dlclose(handle_);
}

PluginInfoRecord initPlugin(const PluginModule& plugin) {
    PluginInfoRecord record;
    if (plugin.init(&record.info) != 1) throw HostError("plug-in " + plugin.path() + " refused lumInit");
    return record;
}

std::string fieldText(const char* field, std::size_t width) { return std::string(field, strnlen(field, width)); }

}  // namespace lumhost
