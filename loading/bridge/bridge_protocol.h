// What lumhost and lumbridge say to each other over the bridge's standard
// input and output: a fixed request head and a fixed answer head, each
// followed by `payload` bytes. Records travel whole (the host's full buffer
// size), the sound block rides in the request, and the canvas pixels live in
// a shared file that both sides map: tight 32-bit rows, 0x00RRGGBB, top-down.
//
// Compiled by both sides (g++ for Linux, mingw-w64 for the bridge), so it
// uses fixed-width types only and no padding.
#pragma once

#include <cstdint>

namespace lumbridge {

enum class Op : uint32_t {
    init = 1,          // payload: the LumPluginInfo buffer; answer: the same buffer as the module left it
    start = 2,
    end = 3,
    getBitmap = 4,     // answer.bitmap: the handle's value, as a number
    getParamInfo = 5,  // id; payload: the LumParamInfo buffer; answer: the buffer as left
    setParamInfo = 6,  // as getParamInfo
    display = 7,       // id: the block's length; width, height, flags; payload: the block; the canvas in the shared file
    quit = 8,          // the bridge unloads the module and exits; no answer
};

// Request flags.
enum : uint32_t {
    canvasChanged = 1,  // the shared canvas holds the host's pixels, to be put in the window first
    nullPointer = 2,    // the host passed a null record or a null block (the payload is then empty)
};

struct RequestHead {
    uint32_t op;
    uint32_t id;
    int32_t width;
    int32_t height;
    uint32_t flags;
    uint32_t payload;
};

struct AnswerHead {
    int32_t result;    // the entry point's return value
    uint32_t payload;  // bytes that follow
    uint64_t bitmap;   // lumGetBitmap's handle
};

// The bridge's first answer, once the module is loaded and its entry points
// found: result 1 and no payload; or result 0 and a one-line reason.
// A fault inside the module: the bridge writes an answer with result
// `faultResult`, the exception code in `bitmap`, and exits.
inline constexpr int32_t faultResult = -0x4C554D;

// Largest record, sound block and canvas the bridge accepts. The canvas
// bounds are the private display's screen: 4K UHD and DCI 4K fit, and the
// screen's memory stays under 40 MB.
inline constexpr uint32_t maxRecord = 1u << 16;
inline constexpr uint32_t maxBlock = 1u << 24;
inline constexpr int32_t maxWidth = 4096;
inline constexpr int32_t maxHeight = 2304;

static_assert(sizeof(RequestHead) == 24, "request head without padding");
static_assert(sizeof(AnswerHead) == 16, "answer head without padding");

}  // namespace lumbridge
