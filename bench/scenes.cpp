#include "scenes.h"

#include "render/canvas_raster.h"
#include "render/frame_renderer.h"

namespace gyrotrail::bench {

namespace {

// Writes down each stroke of a frame instead of drawing it.
class StrokeRecorder {
public:
    ClientRect client;
    std::vector<Stroke>* out = nullptr;

    Handle getDC(Handle) { return &dc_; }
    bool getClientRect(Handle, ClientRect* rect) {
        *rect = client;
        return true;
    }
    Handle createPen(int32_t, int32_t width, uint32_t colour) {
        pen_ = Pen{width, colour};
        return &pen_;
    }
    Handle selectObject(Handle, Handle object) {
        selected_ = static_cast<Pen*>(object);
        return &stock_;
    }
    bool moveToEx(Handle, int32_t x, int32_t y) {
        x_ = x;
        y_ = y;
        return true;
    }
    bool lineTo(Handle, int32_t x, int32_t y) {
        if (out != nullptr && selected_ != nullptr) out->push_back(Stroke{x_, y_, x, y, selected_->width, selected_->colour});
        x_ = x;
        y_ = y;
        return true;
    }
    bool deleteObject(Handle) { return true; }
    int releaseDC(Handle, Handle) { return 1; }

private:
    struct Pen {
        int32_t width;
        uint32_t colour;
    };
    int dc_ = 0;
    Pen pen_{1, 0}, stock_{1, 0};
    Pen* selected_ = nullptr;
    int32_t x_ = 0, y_ = 0;
};

}  // namespace

Scene defaultScene(int frames) {
    VisualizerState s{};
    applyDefaults(s);
    return Scene{1280, 720, s.lineWidth, s.trailLength, s.fadeOut, musicBlocks(frames)};
}

Scene loudScene(int32_t lineWidth, int32_t trailLength, int frames) {
    VisualizerState s{};
    applyDefaults(s);
    return Scene{1920, 1080, lineWidth, trailLength, 1, scatterBlocks(frames, 1920, 1080, s.zoomDivisor)};
}

VisualizerState warmState(const Scene& scene) {
    VisualizerState s{};
    applyDefaults(s);
    s.lineWidth = scene.lineWidth;
    s.trailLength = scene.trailLength;
    s.fadeOut = scene.fadeOut;
    restart(s);
    StrokeRecorder recorder;
    recorder.client = ClientRect{0, 0, scene.width, scene.height};
    for (int32_t i = 0; i < scene.trailLength; ++i) {
        const Block& b = scene.blocks[static_cast<size_t>(i) % scene.blocks.size()];
        drawFrame(s, recorder, nullptr, b.data(), static_cast<uint32_t>(b.size()));
    }
    return s;
}

Canvas::Canvas(int32_t width, int32_t height)
    : pixels(static_cast<size_t>(width) * height, 0u), canvas{width, height, width * 4, nullptr} {
    canvas.pixels = pixels.data();
}

std::vector<std::vector<Stroke>> recordStrokes(const Scene& scene) {
    VisualizerState s = warmState(scene);
    StrokeRecorder recorder;
    recorder.client = ClientRect{0, 0, scene.width, scene.height};
    std::vector<std::vector<Stroke>> frames(scene.blocks.size());
    for (size_t i = 0; i < scene.blocks.size(); ++i) {
        recorder.out = &frames[i];
        drawFrame(s, recorder, nullptr, scene.blocks[i].data(), static_cast<uint32_t>(scene.blocks[i].size()));
    }
    return frames;
}

double coveredPixelsPerFrame(const Scene& scene) {
    const PixelView view{nullptr, scene.width, scene.height, scene.width};
    int64_t total = 0;
    for (const auto& frame : recordStrokes(scene))
        for (const Stroke& k : frame) total += coveredPixels(view, k.x0, k.y0, k.x1, k.y1, k.width);
    return static_cast<double>(total) / static_cast<double>(scene.blocks.size());
}

}  // namespace gyrotrail::bench
