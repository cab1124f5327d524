// The plug-in's entry points with frames drawn into the recorder.
#include "recording_frame.h"

#include "render/frame_renderer.h"
#include "render/render_frame.h"

namespace gyrotrail {

testing::RecordingOps& testing::recorder() {
    static RecordingOps ops;
    return ops;
}

int32_t renderFrame(VisualizerState& state, Handle window, const uint8_t* data, uint32_t length) {
    return drawFrame(state, testing::recorder(), window, data, length);
}

}  // namespace gyrotrail
