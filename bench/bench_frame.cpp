// Whole frames on the portable canvas: time per frame and covered pixels per
// second, for the default settings, the worst case, and a sweep over line
// width and trail length; and the machine's own fill rate as the ceiling.
#include <benchmark/benchmark.h>

#include <algorithm>

#include "render/render_frame.h"
#include "scenes.h"

namespace gyrotrail::bench {
namespace {

void drawScene(benchmark::State& state, const Scene& scene) {
    VisualizerState s = warmState(scene);
    Canvas canvas(scene.width, scene.height);
    const size_t frames = scene.blocks.size();
    size_t next = 0;
    for (auto _ : state) {
        const Block& block = scene.blocks[next];
        renderFrame(s, &canvas.canvas, block.data(), static_cast<uint32_t>(block.size()));
        benchmark::ClobberMemory();
        next = next + 1 == frames ? 0 : next + 1;
    }
    const double perFrame = coveredPixelsPerFrame(scene);
    state.counters["px_per_frame"] = perFrame;
    state.counters["covered_px"] =
        benchmark::Counter(perFrame * static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
    state.counters["frames"] = benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

void BM_FrameDefault(benchmark::State& state) { drawScene(state, defaultScene()); }
BENCHMARK(BM_FrameDefault)->Unit(benchmark::kMicrosecond);

void BM_FrameWorst(benchmark::State& state) { drawScene(state, loudScene(50, 30)); }
BENCHMARK(BM_FrameWorst)->Unit(benchmark::kMicrosecond);

// 1920x1080, loud blocks, fading on: arguments are line width and trail length.
void BM_FrameSweep(benchmark::State& state) {
    drawScene(state, loudScene(static_cast<int32_t>(state.range(0)), static_cast<int32_t>(state.range(1))));
}
BENCHMARK(BM_FrameSweep)
    ->ArgsProduct({{1, 2, 5, 10, 20, 30, 40, 50}, {2, 5, 10, 20, 30}})
    ->ArgNames({"width", "trail"})
    ->Unit(benchmark::kMicrosecond);

// Filling the whole 1920x1080 canvas with one colour: what the memory system
// allows, the ceiling for any rasteriser writing the same pixels.
void BM_FillCanvas(benchmark::State& state) {
    Canvas canvas(1920, 1080);
    uint32_t colour = 0;
    for (auto _ : state) {
        std::fill(canvas.pixels.begin(), canvas.pixels.end(), ++colour);
        benchmark::ClobberMemory();
    }
    state.counters["covered_px"] = benchmark::Counter(
        static_cast<double>(canvas.pixels.size()) * static_cast<double>(state.iterations()),
        benchmark::Counter::kIsRate);
}
BENCHMARK(BM_FillCanvas)->Unit(benchmark::kMicrosecond);

// Rows of 60 pixels, the span a width-50 pen lays on a diagonal, one per row
// down the canvas: the fill rate for spans of that size.
void BM_FillSpans60(benchmark::State& state) {
    Canvas canvas(1920, 1080);
    uint32_t colour = 0;
    for (auto _ : state) {
        ++colour;
        for (int32_t y = 0; y < 1080; ++y) {
            uint32_t* row = canvas.pixels.data() + static_cast<size_t>(y) * 1920 + (y * 7 % 1800);
            std::fill(row, row + 60, colour);
        }
        benchmark::ClobberMemory();
    }
    state.counters["covered_px"] =
        benchmark::Counter(60.0 * 1080.0 * static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_FillSpans60)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace gyrotrail::bench
