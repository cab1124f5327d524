// Reading and changing the settings by parameter id.
#pragma once

#include <cstdint>

#include "lum_plugin.h"
#include "visualizer_state.h"

namespace gyrotrail {

// Writes name, type, value and description of setting `id` (10-15) and
// returns 1; any other id returns 0 and leaves the record untouched.
int32_t getParamInfo(const VisualizerState& state, uint32_t id, LumParamInfo& record);

// Applies record.value to `id` (1-3, 10-15), clamping ranged settings in the
// record itself first, and returns 1; any other id returns 0 and changes nothing.
int32_t setParamInfo(VisualizerState& state, uint32_t id, LumParamInfo& record);

}  // namespace gyrotrail
