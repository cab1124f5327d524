// Frames drawn into a Windows window with USER and GDI.
#include "render/frame_renderer.h"
#include "render/render_frame.h"
#include "render/win32_ops.h"

namespace gyrotrail {

int32_t renderFrame(VisualizerState& state, Handle window, const uint8_t* data, uint32_t length) {
    Win32Ops ops;
    return drawFrame(state, ops, window, data, length);
}

}  // namespace gyrotrail
