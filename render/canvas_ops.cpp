#include "canvas_ops.h"

#include <cstddef>

#include "plugin/lum_plugin.h"
#include "render/canvas_raster.h"

namespace gyrotrail {

namespace {

constexpr int kPenSlots = 16;
constexpr int kContextSlots = 8;
constexpr uintptr_t kPenBase = 0x10000;
constexpr uintptr_t kContextBase = 0x20000;
constexpr int32_t kPenNull = 5;             // PS_NULL: draws nothing
constexpr int32_t kMaxPenWidth = 1 << 16;   // wider pens are stroked at this width

struct Pen {
    bool inUse;
    int32_t width;
    bool visible;
    uint32_t pixel;
    int selections;  // contexts it is selected into
};

struct Context {
    bool inUse;
    const LumCanvas* window;
    PixelView view;
    int32_t x, y;    // current position
    int pen;         // selected pen slot; slot 0 is the stock black pen
};

// Slot 0 is the stock pen every new context starts with: black, one pixel.
Pen pens[kPenSlots] = {{true, 1, true, 0, 0}};
Context contexts[kContextSlots];

Handle handleOf(uintptr_t base, int slot) { return reinterpret_cast<Handle>(base + static_cast<uintptr_t>(slot)); }

int slotOf(Handle h, uintptr_t base, int slots) {
    const uintptr_t v = reinterpret_cast<uintptr_t>(h);
    if (v < base || v >= base + static_cast<uintptr_t>(slots)) return -1;
    return static_cast<int>(v - base);
}

int penSlot(Handle h) {
    const int slot = slotOf(h, kPenBase, kPenSlots);
    return slot >= 0 && pens[slot].inUse ? slot : -1;
}

Context* context(Handle h) {
    const int slot = slotOf(h, kContextBase, kContextSlots);
    return slot >= 0 && contexts[slot].inUse ? &contexts[slot] : nullptr;
}

const LumCanvas* usableCanvas(Handle window) {
    const auto* canvas = static_cast<const LumCanvas*>(window);
    if (canvas == nullptr || canvas->pixels == nullptr) return nullptr;
    if (canvas->width <= 0 || canvas->height <= 0) return nullptr;
    if (canvas->width > kMaxCanvasSide || canvas->height > kMaxCanvasSide) return nullptr;
    if (canvas->stride % 4 != 0 || canvas->stride / 4 < canvas->width) return nullptr;
    return canvas;
}

}  // namespace

Handle CanvasOps::getDC(Handle window) {
    const LumCanvas* canvas = usableCanvas(window);
    if (canvas == nullptr) return nullptr;
    for (int slot = 0; slot < kContextSlots; ++slot) {
        Context& c = contexts[slot];
        if (c.inUse) continue;
        c = Context{true, canvas, PixelView{canvas->pixels, canvas->width, canvas->height, canvas->stride / 4},
                    0, 0, 0};
        pens[0].selections += 1;
        return handleOf(kContextBase, slot);
    }
    return nullptr;
}

bool CanvasOps::getClientRect(Handle window, ClientRect* rect) {
    const LumCanvas* canvas = usableCanvas(window);
    if (canvas == nullptr || rect == nullptr) return false;
    *rect = ClientRect{0, 0, canvas->width, canvas->height};
    return true;
}

Handle CanvasOps::createPen(int32_t style, int32_t width, uint32_t colour) {
    for (int slot = 1; slot < kPenSlots; ++slot) {
        Pen& p = pens[slot];
        if (p.inUse) continue;
        const int32_t w = width < 1 ? 1 : (width > kMaxPenWidth ? kMaxPenWidth : width);
        p = Pen{true, w, style != kPenNull, canvasPixel(colour), 0};
        return handleOf(kPenBase, slot);
    }
    return nullptr;
}

Handle CanvasOps::selectObject(Handle dc, Handle object) {
    Context* c = context(dc);
    const int slot = penSlot(object);
    if (c == nullptr || slot < 0) return nullptr;
    const int previous = c->pen;
    pens[previous].selections -= 1;
    pens[slot].selections += 1;
    c->pen = slot;
    return handleOf(kPenBase, previous);
}

bool CanvasOps::moveToEx(Handle dc, int32_t x, int32_t y) {
    Context* c = context(dc);
    if (c == nullptr) return false;
    c->x = x;
    c->y = y;
    return true;
}

bool CanvasOps::lineTo(Handle dc, int32_t x, int32_t y) {
    Context* c = context(dc);
    if (c == nullptr) return false;
    const Pen& pen = pens[c->pen];
    if (pen.visible) strokeSegment(c->view, c->x, c->y, x, y, pen.width, pen.pixel);
    c->x = x;
    c->y = y;
    return true;
}

bool CanvasOps::deleteObject(Handle object) {
    const int slot = penSlot(object);
    // The stock pen cannot be deleted, nor a pen still selected somewhere.
    if (slot <= 0 || pens[slot].selections > 0) return false;
    pens[slot].inUse = false;
    return true;
}

int CanvasOps::releaseDC(Handle window, Handle dc) {
    Context* c = context(dc);
    if (c == nullptr || c->window != window) return 0;
    pens[c->pen].selections -= 1;
    c->inUse = false;
    return 1;
}

int CanvasOps::livePens() {
    int n = 0;
    for (int slot = 1; slot < kPenSlots; ++slot) n += pens[slot].inUse ? 1 : 0;
    return n;
}

int CanvasOps::liveContexts() {
    int n = 0;
    for (const Context& c : contexts) n += c.inUse ? 1 : 0;
    return n;
}

}  // namespace gyrotrail
