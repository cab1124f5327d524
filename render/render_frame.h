// The frame renderer bound to this build's drawing backend; the entry point
// lumDisplaySoundData calls it. Each backend provides one definition.
#pragma once

#include <cstdint>

#include "plugin/visualizer_state.h"
#include "render/drawing_ops.h"

namespace gyrotrail {

int32_t renderFrame(VisualizerState& state, Handle window, const uint8_t* data, uint32_t length);

}  // namespace gyrotrail
