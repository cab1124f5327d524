#include "checking_ops.h"

namespace gyrotrail::fuzz {

Handle CheckingOps::getDC(Handle window) {
    if (dc_ != nullptr) fault("GetDC while a context is still held");
    Handle dc = canvas_.getDC(window);
    if (dc == nullptr) return nullptr;
    ++contextsObtained_;
    dc_ = dc;
    window_ = window;
    stockPen_ = nullptr;
    penSelected_ = false;
    return dc;
}

bool CheckingOps::getClientRect(Handle window, ClientRect* rect) {
    if (dc_ == nullptr || window != window_) fault("GetClientRect of a window without a held context");
    return canvas_.getClientRect(window, rect);
}

Handle CheckingOps::createPen(int32_t style, int32_t width, uint32_t colour) {
    if (pen_ != nullptr) fault("CreatePen while another pen is alive");
    if (style != kPenSolid) fault("CreatePen with a style other than solid");
    Handle pen = canvas_.createPen(style, width, colour);
    if (pen == nullptr) {
        fault("CreatePen failed: pens have leaked");
        return nullptr;
    }
    ++pensCreated_;
    pen_ = pen;
    linesWithPen_ = 0;
    return pen;
}

Handle CheckingOps::selectObject(Handle dc, Handle object) {
    if (dc == nullptr || dc != dc_) fault("SelectObject on a context not held");
    if (object == pen_ && pen_ != nullptr) {
        if (penSelected_) fault("SelectObject of a pen already selected");
        Handle previous = canvas_.selectObject(dc, object);
        if (stockPen_ == nullptr) stockPen_ = previous;
        if (previous != stockPen_) fault("SelectObject replaced something other than the context's own pen");
        penSelected_ = true;
        return previous;
    }
    if (object != nullptr && object == stockPen_) {
        if (!penSelected_) fault("SelectObject of the context's own pen while it is selected");
        penSelected_ = false;
        return canvas_.selectObject(dc, object);
    }
    fault("SelectObject of an object that is neither the live pen nor the one it replaced");
    return canvas_.selectObject(dc, object);
}

bool CheckingOps::moveToEx(Handle dc, int32_t x, int32_t y) {
    if (dc == nullptr || dc != dc_) fault("MoveToEx on a context not held");
    return canvas_.moveToEx(dc, x, y);
}

bool CheckingOps::lineTo(Handle dc, int32_t x, int32_t y) {
    if (dc == nullptr || dc != dc_) fault("LineTo on a context not held");
    if (!penSelected_) fault("LineTo with the context's own pen");
    if (++linesWithPen_ > 1) fault("LineTo a second time with one pen");
    return canvas_.lineTo(dc, x, y);
}

bool CheckingOps::deleteObject(Handle object) {
    if (object == nullptr || object != pen_) fault("DeleteObject of an object that is not the live pen");
    if (penSelected_) fault("DeleteObject of a pen still selected");
    if (linesWithPen_ != 1) fault("DeleteObject of a pen that drew other than one line");
    const bool deleted = canvas_.deleteObject(object);
    if (!deleted) fault("DeleteObject refused");
    if (object == pen_) pen_ = nullptr;
    return deleted;
}

int CheckingOps::releaseDC(Handle window, Handle dc) {
    if (dc == nullptr || dc != dc_ || window != window_) fault("ReleaseDC of a context not held");
    if (penSelected_) fault("ReleaseDC with a pen still selected");
    const int released = canvas_.releaseDC(window, dc);
    if (released != 1) fault("ReleaseDC refused");
    if (dc == dc_) dc_ = nullptr;
    return released;
}

void CheckingOps::begin() {
    fault_ = nullptr;
    contextsObtained_ = 0;
    pensCreated_ = 0;
}

const char* CheckingOps::end() {
    if (dc_ != nullptr) fault("a drawing context outlives the call");
    if (pen_ != nullptr) fault("a pen outlives the call");
    if (CanvasOps::livePens() != 0) fault("the canvas holds pens after the call");
    if (CanvasOps::liveContexts() != 0) fault("the canvas holds contexts after the call");
    return fault_;
}

}  // namespace gyrotrail::fuzz
