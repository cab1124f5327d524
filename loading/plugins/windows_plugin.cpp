// A Windows DLL, hosted out of process: its entry points are requests to a
// bridge under Wine (loading/bridge/).
#include "loading/bridge/bridge_client.h"
#include "loading/plugins/plugin_module.h"

namespace lumhost {
namespace {

class WindowsPlugin final : public PluginBackend {
public:
    WindowsPlugin(const std::string& path, PluginFileKind kind) : bridge_(path, kind == PluginFileKind::pe32plus) {}

    int32_t init(LumPluginInfo* info, std::size_t size) override { return bridge_.init(info, size); }
    int32_t start() override { return bridge_.start(); }
    int32_t end() override { return bridge_.end(); }
    // The handle is the module's, in the bridge's process: only whether there is one means anything here.
    LumBitmap getBitmap() override { return reinterpret_cast<LumBitmap>(static_cast<uintptr_t>(bridge_.getBitmap())); }
    int32_t getParamInfo(uint32_t id, LumParamInfo* record, std::size_t size) override {
        return bridge_.getParamInfo(id, record, size);
    }
    int32_t setParamInfo(uint32_t id, LumParamInfo* record, std::size_t size) override {
        return bridge_.setParamInfo(id, record, size);
    }
    int32_t displaySoundData(LumCanvas* canvas, const void* data, uint32_t length) override {
        return bridge_.displaySoundData(canvas, data, length);
    }
    void abandon() override { bridge_.abandon(); }

private:
    BridgeClient bridge_;
};

}  // namespace

std::unique_ptr<PluginBackend> loadWindowsPlugin(const std::string& path, PluginFileKind kind) {
    return std::make_unique<WindowsPlugin>(path, kind);
}

}  // namespace lumhost
