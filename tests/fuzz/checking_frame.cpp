// The fuzz target's frames drawn through the checking backend.
#include "backend_probe.h"
#include "checking_ops.h"
#include "render/frame_renderer.h"
#include "render/render_frame.h"

namespace gyrotrail {

namespace {
fuzz::CheckingOps checkingOps;
}

int32_t renderFrame(VisualizerState& state, Handle window, const uint8_t* data, uint32_t length) {
    return drawFrame(state, checkingOps, window, data, length);
}

void fuzz::beginBackendCall() { checkingOps.begin(); }

fuzz::BackendReport fuzz::endBackendCall() {
    const char* fault = checkingOps.end();
    return BackendReport{fault, checkingOps.contextsObtained(), checkingOps.pensCreated()};
}

}  // namespace gyrotrail
