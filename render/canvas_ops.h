// The drawing operations, off Windows: a window is a host-owned LumCanvas,
// and contexts and pens live in small fixed tables, as GDI objects do.
#pragma once

#include <cstdint>

#include "render/drawing_ops.h"

namespace gyrotrail {

// Canvases wider or taller than this give no drawing context.
inline constexpr int32_t kMaxCanvasSide = 1 << 22;

class CanvasOps {
public:
    Handle getDC(Handle window);
    bool getClientRect(Handle window, ClientRect* rect);
    Handle createPen(int32_t style, int32_t width, uint32_t colour);
    Handle selectObject(Handle dc, Handle object);
    bool moveToEx(Handle dc, int32_t x, int32_t y);
    bool lineTo(Handle dc, int32_t x, int32_t y);
    bool deleteObject(Handle object);
    int releaseDC(Handle window, Handle dc);

    // Objects currently alive; a caller that cleans up after itself leaves both at 0.
    static int livePens();
    static int liveContexts();
};

static_assert(DrawingOps<CanvasOps>);

}  // namespace gyrotrail
