// What the page needs besides the rules (web_rules.cpp) and the block
// cutter (web_cutter.cpp): the count of frames a sound gives, the canvas
// record, the demo signal lumhost plays, and a canvas made into an ImageData's
// bytes. Sample counts cross as doubles, which hold every count of a long
// file exactly where a 32-bit integer would not.
#include <cstdint>
#include <vector>

#include "lum_plugin.h"
#include "rules/block_cutter.h"
#include "rules/demo_signal.h"
#include "web/wasm/web_text.h"

namespace {

int64_t toCount(double value) { return value > 0 ? static_cast<int64_t>(value) : 0; }

}  // namespace

// Video frames that show `sampleFrames` of sound, the last perhaps short.
WEB_EXPORT double webFramesFor(double sampleFrames, int sampleRate, int fps) {
    if (sampleRate <= 0 || fps <= 0) return 0;
    return static_cast<double>(lumrules::framesFor(toCount(sampleFrames), sampleRate, fps));
}

// The demo signal, read front to back: open, read, close. A read gives up to
// `count` stereo sample frames as the cutter takes them, the left plane and
// then the right (each as long as the count read); the count read.
WEB_EXPORT void* webDemoOpen() { return new lumrules::DemoSignal; }

WEB_EXPORT int webDemoRead(void* demo, float* planar, int count) {
    if (demo == nullptr || planar == nullptr || count <= 0) return 0;
    static std::vector<float> interleaved;
    interleaved.resize(2 * static_cast<std::size_t>(count));
    const auto got = static_cast<lumrules::DemoSignal*>(demo)->read(interleaved.data(), static_cast<std::size_t>(count));
    for (std::size_t i = 0; i < got; ++i) {
        planar[i] = interleaved[2 * i];
        planar[got + i] = interleaved[2 * i + 1];
    }
    return static_cast<int>(got);
}

WEB_EXPORT void webDemoClose(void* demo) { delete static_cast<lumrules::DemoSignal*>(demo); }

WEB_EXPORT int webDemoRate() { return lumrules::demoSampleRate; }

WEB_EXPORT double webDemoFrames() { return static_cast<double>(lumrules::demoFrames); }

// A canvas of width x height black pixels for lumDisplaySoundData, the
// page's until webCanvasFree; null for a size the plug-in could not draw on.
WEB_EXPORT LumCanvas* webCanvasNew(int width, int height) {
    if (width <= 0 || height <= 0) return nullptr;
    const auto count = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
    return new LumCanvas{width, height, width * 4, new uint32_t[count]()};
}

WEB_EXPORT uint32_t* webCanvasPixels(LumCanvas* canvas) { return canvas == nullptr ? nullptr : canvas->pixels; }

WEB_EXPORT void webCanvasFree(LumCanvas* canvas) {
    if (canvas == nullptr) return;
    delete[] canvas->pixels;
    delete canvas;
}

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
