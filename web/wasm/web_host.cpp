// What the page needs of lumhost's sound rooms, with a C boundary: the block
// rule (samples to signed bytes, one block per video frame, the planar and
// interleaved layouts) and the demo signal, so the page cuts blocks exactly
// as lumhost does. Sample counts cross as doubles, which hold every count
// of a long file exactly where a 32-bit integer would not.
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "host/sound/demo_signal.h"
#include "rules/block_cutter.h"

#define WEB_EXPORT extern "C" __attribute__((used, visibility("default")))

namespace {

int64_t toCount(double value) { return value > 0 ? static_cast<int64_t>(value) : 0; }

}  // namespace

// First sample frame of video frame `frame`.
WEB_EXPORT double webFrameStart(double frame, int sampleRate, int fps) {
    if (sampleRate <= 0 || fps <= 0) return 0;
    return static_cast<double>(lumrules::frameStart(toCount(frame), sampleRate, fps));
}

// Video frames that show `sampleFrames` of sound, the last perhaps short.
WEB_EXPORT double webFramesFor(double sampleFrames, int sampleRate, int fps) {
    if (sampleRate <= 0 || fps <= 0) return 0;
    return static_cast<double>(lumrules::framesFor(toCount(sampleFrames), sampleRate, fps));
}

// Writes the block for `count` interleaved sample frames into `block`, which
// holds `capacity` bytes; returns its length, or -1 if it does not fit.
// `layout` 0 is planar (lumhost's default), 1 interleaved.
WEB_EXPORT int webMakeSoundBlock(const float* interleaved, int count, int channels, int layout, int8_t* block,
                                 int capacity) {
    if (interleaved == nullptr || block == nullptr || count < 0 || channels < 1) return -1;
    static std::vector<int8_t> made;
    lumrules::makeSoundBlock(interleaved, static_cast<std::size_t>(count), channels,
                            layout == 1 ? lumrules::BlockLayout::interleaved : lumrules::BlockLayout::planar, made);
    if (made.size() > static_cast<std::size_t>(capacity)) return -1;
    if (!made.empty()) std::memcpy(block, made.data(), made.size());
    return static_cast<int>(made.size());
}

// The demo signal, read front to back: open, read interleaved stereo floats, close.
WEB_EXPORT void* webDemoOpen() { return lumhost::makeDemoSignal().release(); }

WEB_EXPORT int webDemoRead(void* demo, float* interleaved, int count) {
    if (demo == nullptr || interleaved == nullptr || count <= 0) return 0;
    return static_cast<int>(static_cast<lumhost::AudioSource*>(demo)->read(interleaved, static_cast<std::size_t>(count)));
}

WEB_EXPORT void webDemoClose(void* demo) { delete static_cast<lumhost::AudioSource*>(demo); }

WEB_EXPORT int webDemoRate() { return lumhost::demoSampleRate; }

WEB_EXPORT double webDemoFrames() { return static_cast<double>(lumhost::demoSampleRate) * lumhost::demoSeconds; }

// Canvas pixels (0x00RRGGBB words) to the RGBA bytes of an ImageData, opaque.
WEB_EXPORT void webCanvasToRgba(const uint32_t* pixels, uint8_t* rgba, int count) {
    if (pixels == nullptr || rgba == nullptr) return;
    for (int i = 0; i < count; ++i) {
        const uint32_t p = pixels[i];
        rgba[4 * i] = static_cast<uint8_t>(p >> 16);
        rgba[4 * i + 1] = static_cast<uint8_t>(p >> 8);
        rgba[4 * i + 2] = static_cast<uint8_t>(p);
        rgba[4 * i + 3] = 255;
    }
}
