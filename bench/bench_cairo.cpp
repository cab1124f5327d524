// The same strokes drawn by the portable canvas and by Cairo (image surface
// of the same size, antialiasing off, round caps, the same widths and
// colours), and how many pixels of the two images differ.
#include <benchmark/benchmark.h>
#include <cairo.h>

#include <algorithm>
#include <cstring>
#include <memory>

#include "render/canvas_raster.h"
#include "scenes.h"

namespace gyrotrail::bench {
namespace {

using Frames = std::vector<std::vector<Stroke>>;

void drawOnCanvas(const PixelView& view, const std::vector<Stroke>& strokes) {
    for (const Stroke& k : strokes) strokeSegment(view, k.x0, k.y0, k.x1, k.y1, k.width, canvasPixel(k.colour));
}

class CairoImage {
public:
    CairoImage(int32_t width, int32_t height)
        : surface_(cairo_image_surface_create(CAIRO_FORMAT_RGB24, width, height), cairo_surface_destroy),
          cr_(cairo_create(surface_.get()), cairo_destroy) {
        cairo_set_antialias(cr_.get(), CAIRO_ANTIALIAS_NONE);
        cairo_set_line_cap(cr_.get(), CAIRO_LINE_CAP_ROUND);
        cairo_set_line_join(cr_.get(), CAIRO_LINE_JOIN_ROUND);
        clear();
    }

    // Pixel centres sit on whole coordinates on the canvas and half-way
    // between them in Cairo: shift by half a pixel.
    void draw(const std::vector<Stroke>& strokes) {
        cairo_t* cr = cr_.get();
        for (const Stroke& k : strokes) {
            cairo_set_source_rgb(cr, (k.colour & 0xFF) / 255.0, ((k.colour >> 8) & 0xFF) / 255.0,
                                 ((k.colour >> 16) & 0xFF) / 255.0);
            cairo_set_line_width(cr, k.width);
            cairo_move_to(cr, k.x0 + 0.5, k.y0 + 0.5);
            cairo_line_to(cr, k.x1 + 0.5, k.y1 + 0.5);
            cairo_stroke(cr);
        }
        cairo_surface_flush(surface_.get());
    }

    void clear() {
        cairo_set_source_rgb(cr_.get(), 0, 0, 0);
        cairo_paint(cr_.get());
        cairo_surface_flush(surface_.get());
    }

    // Pixel (x, y) with the padding byte masked off.
    uint32_t at(int32_t x, int32_t y) {
        const unsigned char* data = cairo_image_surface_get_data(surface_.get());
        const int stride = cairo_image_surface_get_stride(surface_.get());
        uint32_t v;
        std::memcpy(&v, data + static_cast<size_t>(y) * stride + static_cast<size_t>(x) * 4, 4);
        return v & 0x00FFFFFFu;
    }

private:
    std::unique_ptr<cairo_surface_t, void (*)(cairo_surface_t*)> surface_;
    std::unique_ptr<cairo_t, void (*)(cairo_t*)> cr_;
};

// Each frame's strokes drawn from black by both; the mean count of pixels
// whose colours differ.
double differingPixelsPerFrame(const Scene& scene, const Frames& frames) {
    Canvas canvas(scene.width, scene.height);
    const PixelView view{canvas.pixels.data(), scene.width, scene.height, scene.width};
    CairoImage cairo(scene.width, scene.height);
    int64_t differing = 0;
    for (const auto& strokes : frames) {
        std::fill(canvas.pixels.begin(), canvas.pixels.end(), 0u);
        cairo.clear();
        drawOnCanvas(view, strokes);
        cairo.draw(strokes);
        for (int32_t y = 0; y < scene.height; ++y)
            for (int32_t x = 0; x < scene.width; ++x)
                differing += canvas.pixels[static_cast<size_t>(y) * scene.width + x] != cairo.at(x, y);
    }
    return static_cast<double>(differing) / static_cast<double>(frames.size());
}

void setCounters(benchmark::State& state, double coveredPerFrame) {
    state.counters["px_per_frame"] = coveredPerFrame;
    state.counters["covered_px"] = benchmark::Counter(coveredPerFrame * static_cast<double>(state.iterations()),
                                                      benchmark::Counter::kIsRate);
}

template <class DrawFrame>
void loopFrames(benchmark::State& state, const Frames& frames, DrawFrame&& draw) {
    size_t next = 0;
    for (auto _ : state) {
        draw(frames[next]);
        benchmark::ClobberMemory();
        next = next + 1 == frames.size() ? 0 : next + 1;
    }
}

void canvasStrokes(benchmark::State& state, const Scene& scene) {
    const Frames frames = recordStrokes(scene);
    Canvas canvas(scene.width, scene.height);
    const PixelView view{canvas.pixels.data(), scene.width, scene.height, scene.width};
    loopFrames(state, frames, [&](const std::vector<Stroke>& strokes) { drawOnCanvas(view, strokes); });
    setCounters(state, coveredPixelsPerFrame(scene));
}

void cairoStrokes(benchmark::State& state, const Scene& scene) {
    const Frames frames = recordStrokes(scene);
    CairoImage cairo(scene.width, scene.height);
    loopFrames(state, frames, [&](const std::vector<Stroke>& strokes) { cairo.draw(strokes); });
    setCounters(state, coveredPixelsPerFrame(scene));
    state.counters["differing_px_per_frame"] = differingPixelsPerFrame(scene, frames);
}

void BM_CanvasDefault(benchmark::State& state) { canvasStrokes(state, defaultScene()); }
void BM_CairoDefault(benchmark::State& state) { cairoStrokes(state, defaultScene()); }
void BM_CanvasWorst(benchmark::State& state) { canvasStrokes(state, loudScene(50, 30)); }
void BM_CairoWorst(benchmark::State& state) { cairoStrokes(state, loudScene(50, 30)); }
BENCHMARK(BM_CanvasDefault)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_CairoDefault)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_CanvasWorst)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_CairoWorst)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace gyrotrail::bench
