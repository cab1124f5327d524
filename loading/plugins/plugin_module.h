// A .lum plug-in loaded at run time and seen only through its seven exported
// entry points, as any host would see it: an ELF shared object in-process,
// a Windows DLL through the bridge.
#pragma once

#include <memory>
#include <string>

#include "loading/plugins/plugin_backend.h"
#include "loading/plugins/plugin_file.h"
#include "lum_plugin.h"

namespace lumhost {

// How many hosts of one process may share a loaded module. A module keeps
// one figure for the whole process, so a host that runs a plug-in beside
// another of the same file (two GStreamer elements) asks for a copy of its
// own: for an ELF file a private copy of the library, for a Windows DLL a
// bridge of its own (which every Windows module has anyway).
enum class ModuleSharing { shared, ownCopy };

class PluginModule {
public:
    // Loads the file and finds every entry point by name; throws lumload::LoadError
    // if the file is not a plug-in lumhost can load or lacks an entry point.
    explicit PluginModule(const std::string& path, ModuleSharing sharing = ModuleSharing::shared);
    ~PluginModule();
    PluginModule(const PluginModule&) = delete;
    PluginModule& operator=(const PluginModule&) = delete;

    const std::string& path() const { return path_; }
    PluginFileKind kind() const { return kind_; }

    // The entry points; a record's size is the host's whole buffer.
    int32_t init(LumPluginInfo* info, std::size_t size = sizeof(LumPluginInfo)) const { return backend_->init(info, size); }
    int32_t start() const { return backend_->start(); }
    int32_t end() const { return backend_->end(); }
    LumBitmap getBitmap() const { return backend_->getBitmap(); }
    int32_t getParamInfo(uint32_t id, LumParamInfo* record, std::size_t size = sizeof(LumParamInfo)) const {
        return backend_->getParamInfo(id, record, size);
    }
    int32_t setParamInfo(uint32_t id, LumParamInfo* record, std::size_t size = sizeof(LumParamInfo)) const {
        return backend_->setParamInfo(id, record, size);
    }
    int32_t displaySoundData(LumCanvas* canvas, const void* data, uint32_t length) const {
        return backend_->displaySoundData(canvas, data, length);
    }
    // From any thread: a call into a plug-in behind a bridge, blocked in
    // another thread, returns at once with lumload::LoadError (see PluginBackend).
    void abandon() const { backend_->abandon(); }

private:
    std::string path_;
    PluginFileKind kind_ = PluginFileKind::other;
    std::unique_ptr<PluginBackend> backend_;
};

// The seven entry points of an ELF shared object, found with dlopen and dlsym.
std::unique_ptr<PluginBackend> loadNativePlugin(const std::string& path, ModuleSharing sharing = ModuleSharing::shared);

// A Windows DLL hosted out of process; throws lumload::LoadError where that cannot be done.
std::unique_ptr<PluginBackend> loadWindowsPlugin(const std::string& path, PluginFileKind kind);

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
