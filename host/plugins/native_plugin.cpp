// An ELF plug-in in lumhost's own process: dlopen by path, dlsym of the
// seven entry points by name.
#include <dlfcn.h>

#include "host/base/host_error.h"
#include "host/plugins/plugin_module.h"

namespace lumhost {
namespace {

template <class Function>
void findEntry(void* handle, const std::string& path, const char* name, Function& out) {
    void* symbol = dlsym(handle, name);
    if (symbol == nullptr) throw HostError("plug-in " + path + " lacks the entry point " + name);
    out = reinterpret_cast<Function>(symbol);
}

class NativePlugin final : public PluginBackend {
public:
    explicit NativePlugin(const std::string& path) {
        // dlopen searches the library path for a bare name; a plug-in is always a file.
        const std::string file = path.find('/') == std::string::npos ? "./" + path : path;
        handle_ = dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (handle_ == nullptr) {
            const char* reason = dlerror();
            throw HostError("cannot load plug-in " + path + ": " + (reason != nullptr ? reason : "not a loadable library"));
        }
        try {
            findEntry(handle_, path, "lumInit", init_);
            findEntry(handle_, path, "lumStart", start_);
            findEntry(handle_, path, "lumEnd", end_);
            findEntry(handle_, path, "lumGetBitmap", getBitmap_);
            findEntry(handle_, path, "lumGetParamInfo", getParamInfo_);
            findEntry(handle_, path, "lumSetParamInfo", setParamInfo_);
            findEntry(handle_, path, "lumDisplaySoundData", displaySoundData_);
        } catch (...) {
            dlclose(handle_);
            throw;
        }
    }
    ~NativePlugin() override { dlclose(handle_); }
    NativePlugin(const NativePlugin&) = delete;
    NativePlugin& operator=(const NativePlugin&) = delete;

    int32_t init(LumPluginInfo* info, std::size_t) override { return init_(info); }
    int32_t start() override { return start_(); }
    int32_t end() override { return end_(); }
    LumBitmap getBitmap() override { return getBitmap_(); }
    int32_t getParamInfo(uint32_t id, LumParamInfo* record, std::size_t) override { return getParamInfo_(id, record); }
    int32_t setParamInfo(uint32_t id, LumParamInfo* record, std::size_t) override { return setParamInfo_(id, record); }
    int32_t displaySoundData(LumCanvas* canvas, const void* data, uint32_t length) override {
        return displaySoundData_(canvas, data, length);
    }

private:
    void* handle_ = nullptr;
    decltype(&::lumInit) init_ = nullptr;
    decltype(&::lumStart) start_ = nullptr;
    decltype(&::lumEnd) end_ = nullptr;
    decltype(&::lumGetBitmap) getBitmap_ = nullptr;
    decltype(&::lumGetParamInfo) getParamInfo_ = nullptr;
    decltype(&::lumSetParamInfo) setParamInfo_ = nullptr;
    decltype(&::lumDisplaySoundData) displaySoundData_ = nullptr;
};

}  // namespace

std::unique_ptr<PluginBackend> loadNativePlugin(const std::string& path) { return std::make_unique<NativePlugin>(path); }

}  // namespace lumhost
