// bench_frame's loop for the default and the worst-case scene, timed in
// WebAssembly in the browser: the mean time of one whole frame on the
// portable canvas over `frames` frames, after a warm-up.
#include <chrono>

#include "render/render_frame.h"
#include "bench/scenes.h"

using namespace gyrotrail;
using namespace gyrotrail::bench;

extern "C" __attribute__((used, visibility("default"))) double benchFrameMicroseconds(int worst, int frames) {
    const Scene scene = worst != 0 ? loudScene(50, 30) : defaultScene();
    VisualizerState s = warmState(scene);
    Canvas canvas(scene.width, scene.height);
    const std::size_t count = scene.blocks.size();
    std::size_t next = 0;
    auto draw = [&] {
        const Block& block = scene.blocks[next];
        renderFrame(s, &canvas.canvas, block.data(), static_cast<uint32_t>(block.size()));
        next = next + 1 == count ? 0 : next + 1;
    };
    for (int i = 0; i < 200; ++i) draw();
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < frames; ++i) draw();
    const std::chrono::duration<double, std::micro> spent = std::chrono::steady_clock::now() - start;
    volatile uint32_t sink = canvas.pixels[static_cast<std::size_t>(canvas.canvas.width) * 10 + 10];
    (void)sink;
    return spent.count() / frames;
}
