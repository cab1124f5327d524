// The scenes the benchmarks draw: a canvas size, the settings, and the blocks
// fed one per frame; and the segments those frames stroke.
#pragma once

#include <cstdint>
#include <vector>

#include "plugin/lum_plugin.h"
#include "plugin/visualizer_state.h"
#include "sound_blocks.h"

namespace gyrotrail::bench {

struct Scene {
    int32_t width, height;
    int32_t lineWidth, trailLength, fadeOut;
    std::vector<Block> blocks;  // one per frame, cycled
};

// The default settings at 1280x720, music-like blocks.
Scene defaultScene(int frames = 240);
// 1920x1080, fading on, loud blocks throwing the point far each frame; the
// width and trail length given (the worst case is 50 and 30).
Scene loudScene(int32_t lineWidth = 50, int32_t trailLength = 30, int frames = 240);

// The settings lumInit gives, changed to the scene's, with a full trail:
// `scene.trailLength` frames already drawn (into no canvas), so every frame
// from here on repaints the whole faded trail.
VisualizerState warmState(const Scene& scene);

// A host-owned canvas, black.
struct Canvas {
    std::vector<uint32_t> pixels;
    LumCanvas canvas;
    Canvas(int32_t width, int32_t height);
};

// One stroke as the canvas receives it.
struct Stroke {
    int32_t x0, y0, x1, y1, width;
    uint32_t colour;  // 0x00BBGGRR as the pen was made
};

// The strokes of the scene's frames, one list per block, drawn from warmState.
std::vector<std::vector<Stroke>> recordStrokes(const Scene& scene);

// Mean pixels the canvas writes per frame over one cycle of the scene's blocks.
double coveredPixelsPerFrame(const Scene& scene);

}  // namespace gyrotrail::bench
