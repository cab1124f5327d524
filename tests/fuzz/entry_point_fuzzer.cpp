// The fuzz target: an input is a script of entry point calls, decoded as
//   op byte:  0 lumInit, 1 lumStart, 2 lumEnd, 3 lumGetBitmap,
//             4 lumGetParamInfo, 5 lumSetParamInfo, 6 and 7 lumDisplaySoundData
// followed by that call's arguments (see the decode functions below). Every
// input starts from the state as at load, so frames before lumInit, lumEnd
// without lumStart and repeated lumInit all arise. After each call the
// backend's discipline, the state invariants and every byte of the host's
// records and canvases are checked.
#include <algorithm>
#include <cstdint>
#include <optional>
#include <vector>

#include "backend_probe.h"
#include "call_checks.h"
#include "input_reader.h"
#include "plugin/lum_plugin.h"
#include "plugin/visualizer_state.h"
#include "support/guarded_canvas.h"

namespace gyrotrail::fuzz {
namespace {

using testing::GuardedCanvas;

constexpr uint32_t kIds[] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 99, 255, 256,
                             0x7FFFFFFF, 0x80000000u, 0xFFFFFFFEu, 0xFFFFFFFFu};
constexpr int32_t kValues[] = {0, 1, -1, 2, 3, 5, 6, 9, 10, 29, 30, 31, 49, 50, 51, 89, 90, 98, 99, 100, 101,
                               1000, -5, -100, 0x00FFFFFF, static_cast<int32_t>(0xFF000000u), 0x12345678,
                               INT32_MIN, INT32_MIN + 1, INT32_MAX - 1, INT32_MAX};

struct CanvasShape {
    int32_t width, height, strideBytes;
    bool withPixels;
};
// Canvases of every kind a host might pass, the malformed ones included.
constexpr CanvasShape kShapes[] = {
    {0, 0, 0, true},     {1, 1, 4, true},           {2, 3, 12, true},     {301, 199, 304 * 4, true},
    {64, 48, 256, true}, {4096, 1, 4096 * 4, true}, {1, 1024, 4, true},   {160, 120, 161 * 4, true},
    {4, 4, 12, true},    {8, 8, 32, false},         {-4, 4, 16, true},    {4, -4, 16, true},
    {8, 8, 33, true},    {16384, 2, 16384 * 4, true}, {3, 3, -12, true}, {5, 0, 20, true},
};

struct Session {
    bool initialised = false;
    int calls = 0;
};

VisualizerState& state() { return visualizerState(); }

// The canvases of the fixed shapes live for the whole run and are blanked
// before each use: allocating them afresh for every frame would spend the
// fuzzing time on page faults.
GuardedCanvas& pooledCanvas(std::size_t shape) {
    static std::optional<GuardedCanvas> pool[std::size(kShapes)];
    if (!pool[shape]) {
        const CanvasShape& s = kShapes[shape];
        pool[shape].emplace(GuardedCanvas::declared(s.width, s.height, s.strideBytes, s.withPixels));
    } else {
        pool[shape]->reset();
    }
    return *pool[shape];
}

// A block of `n` bytes, written by `write`, placed at the very end of a heap
// buffer so that AddressSanitizer reports any read past it.
template <class Write>
const uint8_t* blockOf(std::size_t n, Write write) {
    constexpr std::size_t kLargest = std::size_t{0xFFFF} * 8;
    static uint8_t* const buffer = new uint8_t[kLargest];
    uint8_t* block = buffer + (kLargest - n);
    write(block, n);
    return block;
}

uint32_t decodeId(InputReader& in) {
    const uint8_t pick = in.u8();
    if (pick >= 0xE0) return in.u32();
    return kIds[pick % std::size(kIds)];
}

int32_t decodeValue(InputReader& in) {
    const uint8_t pick = in.u8();
    if (pick >= 0xC0) return static_cast<int32_t>(in.u32());
    return kValues[pick % std::size(kValues)];
}

// A record of `size` bytes filled with one host byte; bit 0 of `flags` asks for null.
std::vector<uint8_t> hostRecord(InputReader& in, std::size_t size, bool& null) {
    const uint8_t flags = in.u8();
    null = (flags & 1) != 0;
    return std::vector<uint8_t>(size, in.u8());
}

void backendClean() {
    const BackendReport report = endBackendCall();
    if (report.fault != nullptr) fail(report.fault);
}

void callInit(InputReader& in, Session& session) {
    bool null = false;
    std::vector<uint8_t> record = hostRecord(in, kInfoBytes, null);
    const std::vector<uint8_t> before = record;
    const VisualizerState was = state();
    const StateImage image = StateImage::of(state());
    beginBackendCall();
    const int32_t result = lumInit(null ? nullptr : reinterpret_cast<LumPluginInfo*>(record.data()));
    backendClean();
    if (null) {
        require(result == 0, "lumInit(null) did not refuse");
        require(image.sameAs(state()), "lumInit(null) changed the state");
        return;
    }
    require(result == 1, "lumInit did not return 1");
    checkPluginInfoWrite(before.data(), record.data());
    require(sameTrail(was, state()) && was.angle == state().angle && was.frameCounter == state().frameCounter,
            "lumInit touched the trail or the rotation");
    require(state().pointCount == was.pointCount || state().pointCount == 0, "lumInit moved pointCount");
    require(state().hostValue1 == was.hostValue1 && state().hostValue2 == was.hostValue2 &&
                state().hostValue3 == was.hostValue3,
            "lumInit changed a host value");
    session.initialised = true;
}

void callStart() {
    const VisualizerState was = state();
    beginBackendCall();
    require(lumStart() == 1, "lumStart did not return 1");
    backendClean();
    require(state().pointCount == 0 && state().angle == 0.0 && state().frameCounter == 0, "lumStart did not restart");
    require(sameSettings(was, state()) && sameTrail(was, state()), "lumStart changed settings or stored points");
}

void callUnchanging(bool bitmap) {
    const StateImage image = StateImage::of(state());
    beginBackendCall();
    if (bitmap)
        require(lumGetBitmap() == nullptr, "lumGetBitmap gave a bitmap");
    else
        require(lumEnd() == 1, "lumEnd did not return 1");
    backendClean();
    require(image.sameAs(state()), "lumEnd or lumGetBitmap changed the state");
}

bool answersGet(uint32_t id) { return id >= PARAM_COLOR && id <= PARAM_ZOOM_FACTOR; }
bool answersSet(uint32_t id) { return (id >= PARAM_HOST_1 && id <= PARAM_HOST_3) || answersGet(id); }

void callGet(InputReader& in) {
    const uint32_t id = decodeId(in);
    bool null = false;
    std::vector<uint8_t> record = hostRecord(in, kParamBytes, null);
    const std::vector<uint8_t> before = record;
    const StateImage image = StateImage::of(state());
    beginBackendCall();
    const int32_t result = lumGetParamInfo(id, null ? nullptr : reinterpret_cast<LumParamInfo*>(record.data()));
    backendClean();
    require(result == (!null && answersGet(id) ? 1 : 0), "lumGetParamInfo answered wrongly");
    require(image.sameAs(state()), "lumGetParamInfo changed the state");
    checkParamGetWrite(before.data(), record.data(), result == 1);
}

void callSet(InputReader& in) {
    const uint32_t id = decodeId(in);
    bool null = false;
    std::vector<uint8_t> record = hostRecord(in, kParamBytes, null);
    auto* param = reinterpret_cast<LumParamInfo*>(record.data());
    param->value = decodeValue(in);
    const std::vector<uint8_t> before = record;
    const VisualizerState was = state();
    const StateImage image = StateImage::of(state());
    beginBackendCall();
    const int32_t result = lumSetParamInfo(id, null ? nullptr : param);
    backendClean();
    require(result == (!null && answersSet(id) ? 1 : 0), "lumSetParamInfo answered wrongly");
    checkParamSetWrite(before.data(), record.data(), id, result == 1);
    if (result == 0) {
        require(image.sameAs(state()), "an unanswered set changed the state");
        return;
    }
    require(settingsChanged(was, state()) <= 1, "a set changed more than one setting");
    require(sameTrail(was, state()) && was.angle == state().angle && was.frameCounter == state().frameCounter,
            "a set touched the trail or the rotation");
    require(state().pointCount == (id == PARAM_LINE_LENGTH ? 0 : was.pointCount), "a set moved pointCount wrongly");
    if (answersGet(id)) {
        // The host reads back the value actually applied.
        LumParamInfo readBack{};
        require(lumGetParamInfo(id, &readBack) == 1 && readBack.value == param->value,
                "a get after a set does not report the applied value");
    }
}

void callDisplay(InputReader& in) {
    // The window: a canvas of one of the shapes or of any small size, or none.
    const std::size_t shapes = std::size(kShapes);
    const std::size_t pick = in.u8() % (shapes + 2);
    int32_t width = 0, height = 0, strideBytes = 0;
    bool withPixels = true;
    if (pick < shapes) {
        width = kShapes[pick].width, height = kShapes[pick].height, strideBytes = kShapes[pick].strideBytes;
        withPixels = kShapes[pick].withPixels;
    } else if (pick == shapes) {
        width = in.u8();
        height = in.u8();
        strideBytes = (width + in.u8() % 5) * 4;
    }
    std::optional<GuardedCanvas> custom;
    GuardedCanvas& canvas = pick < shapes ? pooledCanvas(pick)
                                          : custom.emplace(GuardedCanvas::declared(width, height, strideBytes, withPixels));
    LumWindow window = pick == shapes + 1 ? nullptr : canvas.window();

    // The block: null, the input's own bytes, or a full-scale fill. Blocks
    // end where their buffer ends, so a read past the end shows.
    const uint8_t how = in.u8();
    const uint8_t* data = nullptr;
    uint32_t length = 0;
    switch (how % 4) {
        case 0: length = (how & 4) ? in.u32() : 0; break;  // null data
        case 1: {
            std::size_t n = in.u16();
            const uint8_t* bytes = in.take(n);
            data = blockOf(n, [bytes](uint8_t* to, std::size_t count) { std::copy(bytes, bytes + count, to); });
            length = static_cast<uint32_t>(n);
            break;
        }
        case 2: {
            // Up to 4 KiB, or up to 512 KiB when the top bit asks for it: long
            // blocks mostly cost time, so they are the exception.
            const std::size_t asked = in.u16();
            const std::size_t n = (how & 0x80) ? asked * 8 : asked >> 4;
            const uint8_t value = in.u8();
            data = blockOf(n, [value](uint8_t* to, std::size_t count) { std::fill_n(to, count, value); });
            length = static_cast<uint32_t>(n);
            break;
        }
        default: {
            std::size_t n = (how >> 2) & 3;
            const uint8_t* bytes = in.take(n);
            data = blockOf(n, [bytes](uint8_t* to, std::size_t count) { std::copy(bytes, bytes + count, to); });
            length = static_cast<uint32_t>(n);
            break;
        }
    }

    const VisualizerState was = state();
    const StateImage image = StateImage::of(state());
    beginBackendCall();
    const int32_t result = lumDisplaySoundData(window, data, length);
    const BackendReport report = endBackendCall();
    if (report.fault != nullptr) fail(report.fault);

    const bool refused = data == nullptr && length != 0;
    require(result == (refused ? 0 : 1), "lumDisplaySoundData returned the wrong result");
    const bool draws = !refused && readyToDraw(was) && window != nullptr && canvas.wellFormed();
    if (report.framesDrawn >= 0) require(report.framesDrawn == (draws ? 1 : 0), "frames drawn differ from expected");
    if (!draws) {
        require(image.sameAs(state()), "a frame that could not be drawn changed the state");
        require(canvas.untouched(), "a frame that could not be drawn wrote to the canvas buffer");
        return;
    }
    require(canvas.guardsIntact(), "a frame wrote outside its canvas");
    require(sameSettings(was, state()), "a frame changed the settings");
    const int32_t n = was.trailLength, p = was.pointCount;
    require(state().pointCount == (p < n - 1 ? p + 1 : p), "a frame moved pointCount wrongly");
    if (report.pensCreated >= 0) require(report.pensCreated <= n, "a frame created more than trailLength pens");
    if (was.rotationSpeed <= 0)
        require(state().angle == 0.0 && state().frameCounter == was.frameCounter, "a still frame moved the rotation");
    else
        require((state().frameCounter == was.frameCounter + 1 && state().angle > was.angle) ||
                    (state().frameCounter == 0 && state().angle == 0.0),
                "a turning frame did not advance the rotation by one step");
}

}  // namespace
}  // namespace gyrotrail::fuzz

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace gyrotrail::fuzz;
    gyrotrail::visualizerState() = gyrotrail::VisualizerState{};  // as at load
    InputReader in(data, size);
    Session session;
    while (!in.empty() && session.calls < 256) {
        const uint8_t op = in.u8();
        static const char* const names[] = {"lumInit",         "lumStart",        "lumEnd",
                                            "lumGetBitmap",    "lumGetParamInfo", "lumSetParamInfo",
                                            "lumDisplaySoundData", "lumDisplaySoundData"};
        setCallContext(session.calls++, names[op % 8]);
        switch (op % 8) {
            case 0: callInit(in, session); break;
            case 1: callStart(); break;
            case 2: callUnchanging(false); break;
            case 3: callUnchanging(true); break;
            case 4: callGet(in); break;
            case 5: callSet(in); break;
            default: callDisplay(in); break;
        }
        checkStateInvariants(gyrotrail::visualizerState(), session.initialised);
    }
    return 0;
}
