// The seven exported functions: each one turns a C call from the host into a
// call on the plug-in's core, and nothing more.
#include "lum_plugin.h"
#include "module_state_guard.h"
#include "param_exchange.h"
#include "plugin_info.h"
#include "render/render_frame.h"
#include "visualizer_state.h"

using namespace gyrotrail;

extern "C" {

LUM_EXPORT int32_t LUM_CALL lumInit(LumPluginInfo* info) {
    ModuleStateGuard guard;
    if (info == nullptr) return 0;
    fillPluginInfo(*info);
    applyDefaults(visualizerState());
    return 1;
}

LUM_EXPORT int32_t LUM_CALL lumStart(void) {
    ModuleStateGuard guard;
    restart(visualizerState());
    return 1;
}

LUM_EXPORT int32_t LUM_CALL lumEnd(void) { return 1; }

LUM_EXPORT LumBitmap LUM_CALL lumGetBitmap(void) { return visualizerState().bitmap; }

LUM_EXPORT int32_t LUM_CALL lumGetParamInfo(uint32_t id, LumParamInfo* record) {
    if (record == nullptr) return 0;
    return getParamInfo(visualizerState(), id, *record);
}

LUM_EXPORT int32_t LUM_CALL lumSetParamInfo(uint32_t id, LumParamInfo* record) {
    if (record == nullptr) return 0;
    return setParamInfo(visualizerState(), id, *record);
}

LUM_EXPORT int32_t LUM_CALL lumDisplaySoundData(LumWindow window, const void* data, uint32_t length) {
    ModuleStateGuard guard;
    return renderFrame(visualizerState(), window, static_cast<const uint8_t*>(data), length);
}

}  // extern "C"
