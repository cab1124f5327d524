#include "param_exchange.h"

#include "text_field.h"

namespace gyrotrail {

namespace {

// Lower bound first, then upper, in the caller's record, so a host that
// reads its record back sees the value actually applied.
int32_t clampInRecord(LumParamInfo& record, int32_t low, int32_t high) {
    if (record.value < low) record.value = low;
    if (record.value > high) record.value = high;
    return record.value;
}

template <std::size_t N, std::size_t D>
void describe(LumParamInfo& record, const char (&name)[N], int32_t type, int32_t value,
              const char (&description)[D]) {
    copyText(record.name, name);
    record.type = type;
    record.value = value;
    copyText(record.description, description);
}

}  // namespace

int32_t getParamInfo(const VisualizerState& state, uint32_t id, LumParamInfo& record) {
    switch (id) {
        case PARAM_COLOR:
            describe(record, "Color", PARAMTYPE_COLOR, static_cast<int32_t>(state.color),
                     "Defines the line color.");
            return 1;
        case PARAM_LINE_WIDTH:
            describe(record, "Line width", PARAMTYPE_INTEGER, state.lineWidth,
                     "Defines the line width in pixel (1-50).");
            return 1;
        case PARAM_LINE_LENGTH:
            describe(record, "Line length", PARAMTYPE_INTEGER, state.trailLength,
                     "Defines the line length (2-30).");
            return 1;
        case PARAM_ROTATION_SPEED:
            describe(record, "Rotation speed", PARAMTYPE_INTEGER, state.rotationSpeed,
                     "Defines the rotation speed (0-99).");
            return 1;
        case PARAM_FADE_OUT:
            describe(record, "Fade out", PARAMTYPE_TOGGLE, state.fadeOut, "Fade out line.");
            return 1;
        case PARAM_ZOOM_FACTOR:
            describe(record, "Zoom factor", PARAMTYPE_INTEGER, 100 - state.zoomDivisor,
                     "Sets the zoom factor (1-99).");
            return 1;
        default:
            return 0;
    }
}

int32_t setParamInfo(VisualizerState& state, uint32_t id, LumParamInfo& record) {
    switch (id) {
        case PARAM_HOST_1: state.hostValue1 = record.value; return 1;
        case PARAM_HOST_2: state.hostValue2 = record.value; return 1;
        case PARAM_HOST_3: state.hostValue3 = record.value; return 1;
        case PARAM_COLOR: state.color = static_cast<uint32_t>(record.value); return 1;
        case PARAM_LINE_WIDTH: state.lineWidth = clampInRecord(record, 1, 50); return 1;
        case PARAM_LINE_LENGTH:
            // Every set, even to the current value, restarts the trail at the centre.
            state.pointCount = 0;
            state.trailLength = clampInRecord(record, 2, 30);
            return 1;
        case PARAM_ROTATION_SPEED: state.rotationSpeed = clampInRecord(record, 0, 99); return 1;
        case PARAM_FADE_OUT: state.fadeOut = record.value; return 1;
        case PARAM_ZOOM_FACTOR: state.zoomDivisor = 100 - clampInRecord(record, 1, 99); return 1;
        default:
            return 0;
    }
}

}  // namespace gyrotrail
