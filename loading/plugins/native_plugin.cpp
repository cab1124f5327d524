// An ELF plug-in in lumhost's own process: dlopen by path, dlsym of the
// seven entry points by name.
#include <dlfcn.h>
#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "loading/load_error.h"
#include "loading/plugins/plugin_module.h"

namespace lumhost {
namespace {

// The dynamic loader keeps one copy of a file however often it is opened, so
// a private copy is the file's bytes in an anonymous memory file, opened
// through /proc. The memory file stays open while the copy is loaded: its
// number names the copy, and a later copy must not reuse the name.
int privateCopy(const std::string& path) {
    const int from = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (from < 0) throw lumload::LoadError("cannot load plug-in " + path + ": " + std::strerror(errno));
    const int copy = ::memfd_create("lum-plugin", MFD_CLOEXEC);
    if (copy < 0) {
        const int error = errno;
        ::close(from);
        throw lumload::LoadError("cannot copy plug-in " + path + ": " + std::strerror(error));
    }
    char buffer[1 << 16];
    for (;;) {
        const auto got = ::read(from, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) continue;
        if (got == 0) break;
        bool written = got > 0;
        for (ssize_t done = 0; written && done < got;) {
            const auto put = ::write(copy, buffer + done, static_cast<std::size_t>(got - done));
            if (put < 0 && errno == EINTR) continue;
            if (put <= 0) written = false;
            else done += put;
        }
        if (!written) {
            const int error = errno;
            ::close(from);
            ::close(copy);
            throw lumload::LoadError("cannot copy plug-in " + path + ": " + std::strerror(error));
        }
    }
    ::close(from);
    return copy;
}

template <class Function>
void findEntry(void* handle, const std::string& path, const char* name, Function& out) {
    void* symbol = dlsym(handle, name);
    if (symbol == nullptr) throw lumload::LoadError("plug-in " + path + " lacks the entry point " + name);
    out = reinterpret_cast<Function>(symbol);
}

class NativePlugin final : public PluginBackend {
public:
    NativePlugin(const std::string& path, ModuleSharing sharing) {
        // dlopen searches the library path for a bare name; a plug-in is always a file.
        std::string file = path.find('/') == std::string::npos ? "./" + path : path;
        if (sharing == ModuleSharing::ownCopy) {
            copy_ = privateCopy(path);
            file = "/proc/self/fd/" + std::to_string(copy_);
        }
        handle_ = dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (handle_ == nullptr) {
            const char* reason = dlerror();
            if (copy_ >= 0) ::close(copy_);
            throw lumload::LoadError("cannot load plug-in " + path + ": " + (reason != nullptr ? reason : "not a loadable library"));
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
            if (copy_ >= 0) ::close(copy_);
            throw;
        }
    }
    ~NativePlugin() override {
        dlclose(handle_);
        if (copy_ >= 0) ::close(copy_);
    }
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
    int copy_ = -1;  // the private copy's memory file
    decltype(&::lumInit) init_ = nullptr;
    decltype(&::lumStart) start_ = nullptr;
    decltype(&::lumEnd) end_ = nullptr;
    decltype(&::lumGetBitmap) getBitmap_ = nullptr;
    decltype(&::lumGetParamInfo) getParamInfo_ = nullptr;
    decltype(&::lumSetParamInfo) setParamInfo_ = nullptr;
    decltype(&::lumDisplaySoundData) displaySoundData_ = nullptr;
};

}  // namespace

std::unique_ptr<PluginBackend> loadNativePlugin(const std::string& path, ModuleSharing sharing) {
    return std::make_unique<NativePlugin>(path, sharing);
}

}  // namespace lumhost
