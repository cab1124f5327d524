// Frames drawn into a host-owned pixel canvas.
#include "render/canvas_ops.h"
#include "render/frame_renderer.h"
#include "render/render_frame.h"

namespace gyrotrail {

int32_t renderFrame(VisualizerState& state, Handle window, const uint8_t* data, uint32_t length) {
    CanvasOps ops;
    return drawFrame(state, ops, window, data, length);
}

}  // namespace gyrotrail
