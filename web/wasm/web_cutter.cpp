// The shared block cutter as a handle the page holds: sound pushed as
// AudioData gives it (one plane of floats per channel, any channel count,
// wider than stereo mixed down by the shared matrix), one block cut per
// video frame, read by the page from the handle's memory and handed to
// lumDisplaySoundData. Sample counts cross as doubles, which hold every
// count of a long file exactly.
#include <cstdint>
#include <vector>

#include "rules/block_cutter.h"
#include "web/wasm/web_text.h"

namespace {

struct WebCutter {
    lumrules::BlockCutter cutter;
    std::vector<int8_t> block;
    std::vector<const void*> planes;
};

WebCutter* cutterOf(void* handle) { return static_cast<WebCutter*>(handle); }

int atLeastOne(int value) { return value > 0 ? value : 1; }

}  // namespace

// A cutter for sound of `channels` at `rate`, at fpsNumerator/fpsDenominator frames a second.
WEB_EXPORT void* webCutterNew(int rate, int channels, int fpsNumerator, int fpsDenominator) {
    auto* handle = new WebCutter;
    handle->cutter.reset(atLeastOne(rate), atLeastOne(channels), atLeastOne(fpsNumerator), atLeastOne(fpsDenominator));
    return handle;
}

WEB_EXPORT void webCutterFree(void* handle) { delete cutterOf(handle); }

// Another sound or rate: a new run, nothing held.
WEB_EXPORT void webCutterReset(void* handle, int rate, int channels, int fpsNumerator, int fpsDenominator) {
    cutterOf(handle)->cutter.reset(atLeastOne(rate), atLeastOne(channels), atLeastOne(fpsNumerator), atLeastOne(fpsDenominator));
}

// The same sound from frame 0 again (a seek, a restart), nothing held.
WEB_EXPORT void webCutterRestart(void* handle) { cutterOf(handle)->cutter.restart(); }

// `frames` sample frames laid out plane after plane: channel c's samples at
// planar[c * frames] onwards.
WEB_EXPORT void webCutterPush(void* handle, const float* planar, int frames) {
    auto* cut = cutterOf(handle);
    if (planar == nullptr || frames <= 0) return;
    const auto count = static_cast<std::size_t>(frames);
    cut->planes.resize(static_cast<std::size_t>(cut->cutter.channels()));
    for (std::size_t c = 0; c < cut->planes.size(); ++c) cut->planes[c] = planar + c * count;
    cut->cutter.pushPlanar(cut->planes.data(), count, lumrules::SampleFormat::f32);
}

// Sample frames the next block takes, and how many are held.
WEB_EXPORT double webCutterWanted(void* handle) { return static_cast<double>(cutterOf(handle)->cutter.wanted()); }
WEB_EXPORT double webCutterAvailable(void* handle) { return static_cast<double>(cutterOf(handle)->cutter.available()); }

// The frame the next block belongs to, and the sample frame a frame starts at.
WEB_EXPORT double webCutterFrame(void* handle) { return static_cast<double>(cutterOf(handle)->cutter.frame()); }
WEB_EXPORT double webCutterFrameStart(void* handle, double frame) {
    return static_cast<double>(cutterOf(handle)->cutter.frameStartSample(frame > 0 ? static_cast<int64_t>(frame) : 0));
}

// Cuts the next block (at the end of the sound, `atEnd` lets a short last
// one out); its length in bytes, 0 if there is none to cut yet.
WEB_EXPORT int webCutterCut(void* handle, int atEnd) {
    auto* cut = cutterOf(handle);
    if (!cut->cutter.cut(cut->block, atEnd != 0)) return 0;
    return static_cast<int>(cut->block.size());
}

// The block cut last, for lumDisplaySoundData.
WEB_EXPORT const int8_t* webCutterBlock(void* handle) { return cutterOf(handle)->block.data(); }

// The mixed sound of the block cut last: webCutterLastCount sample frames
// of webCutterBlockChannels interleaved floats (one or two channels).
WEB_EXPORT const float* webCutterLastSamples(void* handle) { return cutterOf(handle)->cutter.lastSamples(); }
WEB_EXPORT int webCutterLastCount(void* handle) { return static_cast<int>(cutterOf(handle)->cutter.lastCount()); }
WEB_EXPORT int webCutterBlockChannels(void* handle) { return cutterOf(handle)->cutter.blockChannels(); }
