#include "recording_ops.h"

#include <algorithm>
#include <cstdio>

namespace gyrotrail::testing {

namespace {
constexpr uintptr_t kContext = 0xDC;
constexpr uintptr_t kPenBase = 0x1000;

Handle penHandle(int64_t id) { return reinterpret_cast<Handle>(kPenBase + static_cast<uintptr_t>(id)); }
int64_t penId(Handle h) { return static_cast<int64_t>(reinterpret_cast<uintptr_t>(h)) - static_cast<int64_t>(kPenBase); }
}  // namespace

Handle RecordingOps::getDC(Handle) {
    calls.push_back({Op::GetDC});
    if (!giveContext) return nullptr;
    ++openContexts_;
    selected_ = 0;
    return reinterpret_cast<Handle>(kContext);
}

bool RecordingOps::getClientRect(Handle, ClientRect* rect) {
    calls.push_back({Op::GetClientRect, client.right, client.bottom});
    *rect = client;
    return true;
}

Handle RecordingOps::createPen(int32_t style, int32_t width, uint32_t colour) {
    calls.push_back({Op::CreatePen, style, width, colour});
    const int64_t id = nextPen_++;
    alive_.push_back(id);
    ++livePens_;
    mostPens_ = std::max(mostPens_, livePens_);
    return penHandle(id);
}

Handle RecordingOps::selectObject(Handle dc, Handle object) {
    const int64_t id = penId(object);
    calls.push_back({Op::SelectObject, id});
    if (reinterpret_cast<uintptr_t>(dc) != kContext) faults_.push_back("SelectObject on an unknown context");
    if (id != 0 && std::find(alive_.begin(), alive_.end(), id) == alive_.end())
        faults_.push_back("SelectObject of a pen that does not exist");
    const int64_t previous = selected_;
    selected_ = id;
    return penHandle(previous);
}

bool RecordingOps::moveToEx(Handle, int32_t x, int32_t y) {
    calls.push_back({Op::MoveToEx, x, y});
    return true;
}

bool RecordingOps::lineTo(Handle, int32_t x, int32_t y) {
    calls.push_back({Op::LineTo, x, y});
    if (selected_ == 0) faults_.push_back("LineTo with the stock pen");
    return true;
}

bool RecordingOps::deleteObject(Handle object) {
    const int64_t id = penId(object);
    calls.push_back({Op::DeleteObject, id});
    auto it = std::find(alive_.begin(), alive_.end(), id);
    if (it == alive_.end()) {
        faults_.push_back("DeleteObject of a pen that does not exist");
        return false;
    }
    if (id == selected_) faults_.push_back("DeleteObject of a selected pen");
    alive_.erase(it);
    --livePens_;
    return true;
}

int RecordingOps::releaseDC(Handle, Handle dc) {
    calls.push_back({Op::ReleaseDC});
    if (reinterpret_cast<uintptr_t>(dc) != kContext) faults_.push_back("ReleaseDC of an unknown context");
    if (selected_ != 0) faults_.push_back("ReleaseDC with a pen still selected");
    --openContexts_;
    return 1;
}

void RecordingOps::clear() {
    calls.clear();
    faults_.clear();
    mostPens_ = livePens_;
}

std::string formatCall(const DrawCall& call) {
    char line[96];
    switch (call.op) {
        case Op::GetDC: return "GetDC";
        case Op::GetClientRect:
            std::snprintf(line, sizeof line, "GetClientRect %lld %lld", static_cast<long long>(call.a),
                          static_cast<long long>(call.b));
            return line;
        case Op::CreatePen:
            std::snprintf(line, sizeof line, "CreatePen %lld %lld 0x%08llx", static_cast<long long>(call.a),
                          static_cast<long long>(call.b), static_cast<unsigned long long>(call.c));
            return line;
        case Op::SelectObject:
            return call.a == 0 ? "SelectObject stock" : "SelectObject pen";
        case Op::MoveToEx:
            std::snprintf(line, sizeof line, "MoveToEx %lld %lld", static_cast<long long>(call.a),
                          static_cast<long long>(call.b));
            return line;
        case Op::LineTo:
            std::snprintf(line, sizeof line, "LineTo %lld %lld", static_cast<long long>(call.a),
                          static_cast<long long>(call.b));
            return line;
        case Op::DeleteObject: return "DeleteObject pen";
        case Op::ReleaseDC: return "ReleaseDC";
    }
    return "?";
}

std::string RecordingOps::trace() const {
    std::string out;
    for (const DrawCall& call : calls) {
        out += formatCall(call);
        out += '\n';
    }
    return out;
}

}  // namespace gyrotrail::testing
