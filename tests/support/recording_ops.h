// A drawing backend that draws nothing and writes down every call, with its
// arguments, so the renderer can be checked call by call.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "render/drawing_ops.h"

namespace gyrotrail::testing {

enum class Op { GetDC, GetClientRect, CreatePen, SelectObject, MoveToEx, LineTo, DeleteObject, ReleaseDC };

struct DrawCall {
    Op op;
    int64_t a = 0;  // CreatePen: style; MoveToEx/LineTo: x; SelectObject/DeleteObject: pen id
    int64_t b = 0;  // CreatePen: width; MoveToEx/LineTo: y
    int64_t c = 0;  // CreatePen: colour
};

class RecordingOps {
public:
    // What the backend answers with.
    ClientRect client{0, 0, 640, 480};
    bool giveContext = true;

    std::vector<DrawCall> calls;

    Handle getDC(Handle window);
    bool getClientRect(Handle window, ClientRect* rect);
    Handle createPen(int32_t style, int32_t width, uint32_t colour);
    Handle selectObject(Handle dc, Handle object);
    bool moveToEx(Handle dc, int32_t x, int32_t y);
    bool lineTo(Handle dc, int32_t x, int32_t y);
    bool deleteObject(Handle object);
    int releaseDC(Handle window, Handle dc);

    void clear();
    // Pens created and not yet deleted, and the most that were alive at once.
    int livePens() const { return livePens_; }
    int mostPensAtOnce() const { return mostPens_; }
    int openContexts() const { return openContexts_; }
    // Calls that broke the pen discipline (deleting a selected pen, selecting
    // an unknown handle, a line drawn with the stock pen, ...).
    const std::vector<std::string>& faults() const { return faults_; }

    // The calls as text, one line each, with pens named by their order of
    // creation: the form in which traces from different builds are compared.
    std::string trace() const;

private:
    int64_t nextPen_ = 1;
    int64_t selected_ = 0;  // 0 = the context's stock pen
    int livePens_ = 0;
    int mostPens_ = 0;
    int openContexts_ = 0;
    std::vector<int64_t> alive_;
    std::vector<std::string> faults_;
};

static_assert(DrawingOps<RecordingOps>);

std::string formatCall(const DrawCall& call);

}  // namespace gyrotrail::testing
