#include "frame_twin.h"

#include "canvas_replay.h"
#include "frame_sessions.h"
#include "gdi_window.h"
#include "loaded_module.h"
#include "plugin/lum_plugin.h"
#include "plugin/visualizer_state.h"
#include "support/recording_frame.h"
#include "trace/trace_script.h"

namespace gyrotrail::oracle {

namespace {

// The pair the entry points below drive: plain functions, as the script
// runner takes them, so the pair is reached through this pointer.
struct Twin {
    testing::LoadedModule module;
    GdiWindow window;
    CanvasReplay canvas;
    SessionFrames result;
};
Twin* twin = nullptr;

void compareFrame() {
    Twin& t = *twin;
    const std::vector<uint32_t>& gdi = t.window.read();
    const std::vector<uint32_t>& canvas = t.canvas.pixels();
    const auto frame = static_cast<int32_t>(t.result.hashes.size());
    t.result.hashes.push_back(frameHash(gdi.data(), t.window.width(), t.window.height(), t.window.width()));
    int64_t differing = 0;
    for (size_t i = 0; i < gdi.size(); ++i) {
        if (gdi[i] == canvas[i]) continue;
        if (differing++ == 0 && t.result.difference.frame < 0) {
            FrameDifference& d = t.result.difference;
            d.frame = frame;
            d.x = static_cast<int32_t>(i % static_cast<size_t>(t.window.width()));
            d.y = static_cast<int32_t>(i / static_cast<size_t>(t.window.width()));
            d.gdi = gdi[i];
            d.canvas = canvas[i];
        }
    }
    if (differing != 0) {
        t.result.difference.differingFrames += 1;
        t.result.difference.differingPixels += differing;
    }
}

LumWindow recordingWindow() { return reinterpret_cast<LumWindow>(0x77); }

int32_t LUM_CALL twinInit(LumPluginInfo* info) {
    LumPluginInfo other{};
    lumInit(info != nullptr ? &other : nullptr);
    return twin->module.init(info);
}
int32_t LUM_CALL twinStart() {
    lumStart();
    return twin->module.start();
}
int32_t LUM_CALL twinEnd() {
    lumEnd();
    return twin->module.end();
}
int32_t LUM_CALL twinSetParamInfo(uint32_t id, LumParamInfo* record) {
    LumParamInfo other = record != nullptr ? *record : LumParamInfo{};
    lumSetParamInfo(id, record != nullptr ? &other : nullptr);
    return twin->module.setParamInfo(id, record);
}
int32_t LUM_CALL twinDisplaySoundData(LumWindow window, const void* data, uint32_t length) {
    lumDisplaySoundData(recordingWindow(), data, length);
    twin->canvas.apply(testing::recorder().calls);
    testing::recorder().clear();
    const int32_t result = twin->module.displaySoundData(window, data, length);
    compareFrame();
    return result;
}

class TwinHost : public testing::ScriptHost {
public:
    LumWindow window() override { return twin->window.handle(); }
    void resizeWindow(int32_t width, int32_t height) override {
        if (!twin->window.prepare(width, height)) twin->result.problem = "no window of that size";
        twin->canvas.reset(width, height);
        testing::recorder().client = ClientRect{0, 0, width, height};
    }
    void beginCommand(const std::string&) override {}
};

}  // namespace

SessionFrames runTwinSession(const std::string& script) {
    visualizerState() = VisualizerState{};  // the recording copy as at load, as the module is
    testing::recorder().clear();
    Twin pair;
    twin = &pair;
    if (!pair.module.complete()) {
        twin = nullptr;
        return SessionFrames{"gyrotrail.lum did not load", {}, {}};
    }
    TwinHost host;
    const testing::EntryPoints lum{twinInit, twinStart, twinEnd, twinSetParamInfo, twinDisplaySoundData};
    const std::string problem = testing::runScript(script, lum, host);
    SessionFrames result = pair.result;
    if (result.problem.empty()) result.problem = problem;
    twin = nullptr;
    return result;
}

}  // namespace gyrotrail::oracle
