// The fuzz target bound to the shipped module's drawing path: frames are
// drawn by render/canvas_frame.cpp unchanged, so all that can be seen of the
// discipline is what the canvas holds once a call has returned.
#include "backend_probe.h"
#include "render/canvas_ops.h"

namespace gyrotrail::fuzz {

void beginBackendCall() {}

BackendReport endBackendCall() {
    const char* fault = nullptr;
    if (CanvasOps::livePens() != 0)
        fault = "a pen outlives the call";
    else if (CanvasOps::liveContexts() != 0)
        fault = "a drawing context outlives the call";
    return BackendReport{fault, -1, -1};
}

}  // namespace gyrotrail::fuzz
