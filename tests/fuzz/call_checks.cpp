#include "call_checks.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "plugin/lum_plugin.h"
#include "render/frame_renderer.h"

namespace gyrotrail::fuzz {

namespace {

int callIndex = 0;
const char* callName = "";

bool sameBytes(const uint8_t* a, const uint8_t* b, std::size_t from, std::size_t to) {
    return std::memcmp(a + from, b + from, to - from) == 0;
}

// A text field: terminated within its width, and unchanged past the terminator.
void checkTextField(const uint8_t* before, const uint8_t* after, std::size_t offset, std::size_t width,
                    const char* what) {
    const void* terminator = std::memchr(after + offset, 0, width);
    require(terminator != nullptr, what);
    const std::size_t end = static_cast<const uint8_t*>(terminator) - after + 1;
    require(sameBytes(before, after, end, offset + width), what);
}

int32_t readInt32(const uint8_t* bytes, std::size_t offset) {
    int32_t v;
    std::memcpy(&v, bytes + offset, sizeof v);
    return v;
}

}  // namespace

void setCallContext(int index, const char* entryPoint) {
    callIndex = index;
    callName = entryPoint;
}

void fail(const char* what) {
    std::fprintf(stderr, "gyrotrail fuzz: call %d (%s): %s\n", callIndex, callName, what);
    std::abort();
}

void checkStateInvariants(const VisualizerState& s, bool initialised) {
    require(s.lineWidth >= 0 && s.lineWidth <= 50, "lineWidth out of range");
    require(s.trailLength >= 0 && s.trailLength <= 30 && s.trailLength != 1, "trailLength out of range");
    require(s.rotationSpeed >= 0 && s.rotationSpeed <= 99, "rotationSpeed out of range");
    require(s.zoomDivisor >= 0 && s.zoomDivisor <= 99, "zoomDivisor out of range");
    if (initialised) {
        require(s.lineWidth >= 1, "lineWidth below 1 after lumInit");
        require(s.trailLength >= 2, "trailLength below 2 after lumInit");
        require(s.zoomDivisor >= 1, "zoomDivisor below 1 after lumInit");
    }
    const int32_t newest = s.trailLength >= 2 ? s.trailLength - 1 : 0;
    require(s.pointCount >= 0 && s.pointCount <= newest, "pointCount outside 0..trailLength-1");
    require(s.frameCounter >= 0 && s.frameCounter < 2 * 99, "frameCounter outside a turn");
    require(std::isfinite(s.angle) && s.angle >= 0.0, "angle not a finite non-negative value");
    require(s.angle <= s.frameCounter * kRotationStep * (1.0 + 1e-12), "angle beyond the steps counted");
    for (int i = 30; i < kTrailCapacity; ++i)
        require(s.trailX[i] == 0 && s.trailY[i] == 0, "a trail entry past the thirtieth was written");
    require(s.bitmap == nullptr, "a bitmap appeared");
}

bool sameSettings(const VisualizerState& a, const VisualizerState& b) { return settingsChanged(a, b) == 0; }

int settingsChanged(const VisualizerState& a, const VisualizerState& b) {
    return (a.color != b.color) + (a.lineWidth != b.lineWidth) + (a.trailLength != b.trailLength) +
           (a.rotationSpeed != b.rotationSpeed) + (a.fadeOut != b.fadeOut) + (a.zoomDivisor != b.zoomDivisor) +
           (a.hostValue1 != b.hostValue1) + (a.hostValue2 != b.hostValue2) + (a.hostValue3 != b.hostValue3);
}

bool sameTrail(const VisualizerState& a, const VisualizerState& b) {
    return std::memcmp(a.trailX, b.trailX, sizeof a.trailX) == 0 &&
           std::memcmp(a.trailY, b.trailY, sizeof a.trailY) == 0;
}

void checkPluginInfoWrite(const uint8_t* before, const uint8_t* after) {
    require(sameBytes(before, after, 0, 4), "lumInit wrote headerWord");
    checkTextField(before, after, offsetof(LumPluginInfo, version), 20, "lumInit: version field");
    checkTextField(before, after, offsetof(LumPluginInfo, shortName), 20, "lumInit: shortName field");
    checkTextField(before, after, offsetof(LumPluginInfo, longName), 50, "lumInit: longName field");
    checkTextField(before, after, offsetof(LumPluginInfo, vendor), 50, "lumInit: vendor field");
    checkTextField(before, after, offsetof(LumPluginInfo, copyright), 50, "lumInit: copyright field");
    checkTextField(before, after, offsetof(LumPluginInfo, url), 50, "lumInit: url field");
    const std::size_t extra = offsetof(LumPluginInfo, extraInfo);
    require(after[extra] == 0, "lumInit: extraInfo is not the empty text");
    require(sameBytes(before, after, extra + 1, kInfoBytes), "lumInit wrote past extraInfo's terminator");
}

void checkParamGetWrite(const uint8_t* before, const uint8_t* after, bool answered) {
    if (!answered) {
        require(sameBytes(before, after, 0, kParamBytes), "an unanswered get wrote its record");
        return;
    }
    const int32_t type = readInt32(after, offsetof(LumParamInfo, type));
    require(type == PARAMTYPE_INTEGER || type == PARAMTYPE_TOGGLE || type == PARAMTYPE_COLOR, "get: unknown type");
    checkTextField(before, after, offsetof(LumParamInfo, name), 52, "get: name field");
    require(sameBytes(before, after, offsetof(LumParamInfo, reserved), offsetof(LumParamInfo, description)),
            "get wrote the host's reserved bytes");
    const std::size_t description = offsetof(LumParamInfo, description);
    checkTextField(before, after, description, 40, "get: description field");
    require(sameBytes(before, after, description + 40, kParamBytes), "get wrote past the longest description");
}

void checkParamSetWrite(const uint8_t* before, const uint8_t* after, uint32_t id, bool answered) {
    const std::size_t value = offsetof(LumParamInfo, value);
    require(sameBytes(before, after, 0, value) && sameBytes(before, after, value + 4, kParamBytes),
            "set wrote a field other than value");
    const int32_t was = readInt32(before, value), is = readInt32(after, value);
    if (was == is) return;
    require(answered, "an unanswered set wrote its record");
    int32_t low = 0, high = 0;
    switch (id) {
        case PARAM_LINE_WIDTH: low = 1, high = 50; break;
        case PARAM_LINE_LENGTH: low = 2, high = 30; break;
        case PARAM_ROTATION_SPEED: low = 0, high = 99; break;
        case PARAM_ZOOM_FACTOR: low = 1, high = 99; break;
        default: fail("set wrote back the value of an unranged id");
    }
    require((was < low && is == low) || (was > high && is == high), "set wrote back other than the nearer bound");
}

}  // namespace gyrotrail::fuzz
