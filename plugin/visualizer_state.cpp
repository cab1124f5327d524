#include "visualizer_state.h"

namespace gyrotrail {

namespace {
VisualizerState theState{};  // static storage: zero-filled at load
}

VisualizerState& visualizerState() { return theState; }

void applyDefaults(VisualizerState& state) {
    state.lineWidth = 10;
    state.zoomDivisor = 10;
    state.color = 0x00FFFFFFu;
    state.trailLength = 5;
    state.rotationSpeed = 6;
    state.fadeOut = 1;
    if (state.pointCount > state.trailLength - 1) state.pointCount = 0;
}

void restart(VisualizerState& state) {
    state.pointCount = 0;
    state.angle = 0.0;
    state.frameCounter = 0;
}

bool readyToDraw(const VisualizerState& state) {
    return state.zoomDivisor >= 1 && state.trailLength >= 2 && state.trailLength <= 30 &&
           state.pointCount >= 0 && state.pointCount < 30;
}

}  // namespace gyrotrail
