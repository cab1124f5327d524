// A drawing backend that draws into real canvases through CanvasOps and holds
// every call to the discipline the renderer promises: one drawing context per
// frame, obtained once and released once; one pen alive at a time, selected,
// used for exactly one LineTo, selected out again and deleted; never a line
// drawn with the context's own pen. The first broken rule is kept.
#pragma once

#include "render/canvas_ops.h"

namespace gyrotrail::fuzz {

class CheckingOps {
public:
    Handle getDC(Handle window);
    bool getClientRect(Handle window, ClientRect* rect);
    Handle createPen(int32_t style, int32_t width, uint32_t colour);
    Handle selectObject(Handle dc, Handle object);
    bool moveToEx(Handle dc, int32_t x, int32_t y);
    bool lineTo(Handle dc, int32_t x, int32_t y);
    bool deleteObject(Handle object);
    int releaseDC(Handle window, Handle dc);

    // Forgets the previous call's account.
    void begin();
    // Checks that the call left nothing behind; returns the first fault or null.
    const char* end();

    int contextsObtained() const { return contextsObtained_; }
    int pensCreated() const { return pensCreated_; }

private:
    void fault(const char* what) {
        if (fault_ == nullptr) fault_ = what;
    }

    CanvasOps canvas_;
    const char* fault_ = nullptr;
    int contextsObtained_ = 0;
    int pensCreated_ = 0;
    Handle dc_ = nullptr;         // the context held, if any
    Handle window_ = nullptr;     // the window it belongs to
    Handle stockPen_ = nullptr;   // the context's own pen, once a select has shown it
    Handle pen_ = nullptr;        // the one pen alive, if any
    bool penSelected_ = false;
    int linesWithPen_ = 0;
};

static_assert(DrawingOps<CheckingOps>);

}  // namespace gyrotrail::fuzz
