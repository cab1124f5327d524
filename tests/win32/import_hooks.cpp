#include "import_hooks.h"

#include <algorithm>
#include <cstring>

namespace gyrotrail::testing {

namespace {

ImportHooks* active = nullptr;

// The real functions, as the module's import table held them.
decltype(&::GetDC) realGetDC;
decltype(&::GetClientRect) realGetClientRect;
decltype(&::CreatePen) realCreatePen;
decltype(&::SelectObject) realSelectObject;
decltype(&::MoveToEx) realMoveToEx;
decltype(&::LineTo) realLineTo;
decltype(&::DeleteObject) realDeleteObject;
decltype(&::ReleaseDC) realReleaseDC;

// Pens the module made and has not deleted, and the one selected into its context.
std::vector<HGDIOBJ> livePens;
HGDIOBJ selectedPen = nullptr;
HDC openContext = nullptr;

bool isLivePen(HGDIOBJ object) { return std::find(livePens.begin(), livePens.end(), object) != livePens.end(); }

void record(Op op, int64_t a = 0, int64_t b = 0, int64_t c = 0) { active->calls.push_back(DrawCall{op, a, b, c}); }
void fault(const char* what) { active->faults.emplace_back(what); }

HDC WINAPI hookGetDC(HWND window) {
    record(Op::GetDC);
    HDC dc = realGetDC(window);
    if (dc != nullptr) {
        if (openContext != nullptr) fault("GetDC while a context is open");
        ++active->contextsObtained;
        openContext = dc;
        selectedPen = nullptr;
    }
    return dc;
}

BOOL WINAPI hookGetClientRect(HWND window, LPRECT rect) {
    const BOOL ok = realGetClientRect(window, rect);
    record(Op::GetClientRect, ok ? rect->right : -1, ok ? rect->bottom : -1);
    return ok;
}

HPEN WINAPI hookCreatePen(int style, int width, COLORREF colour) {
    record(Op::CreatePen, style, width, colour);
    HPEN pen = realCreatePen(style, width, colour);
    if (pen != nullptr) {
        if (!livePens.empty()) fault("CreatePen while another pen exists");
        livePens.push_back(pen);
        active->pensMade.push_back(pen);
        ++active->pensCreated;
        active->mostPensAtOnce = std::max(active->mostPensAtOnce, static_cast<int>(livePens.size()));
    }
    return pen;
}

HGDIOBJ WINAPI hookSelectObject(HDC dc, HGDIOBJ object) {
    const bool ours = isLivePen(object);
    record(Op::SelectObject, ours ? 1 : 0);
    if (dc != openContext) fault("SelectObject on a context not obtained");
    HGDIOBJ previous = realSelectObject(dc, object);
    if (previous != nullptr) selectedPen = ours ? object : nullptr;
    return previous;
}

BOOL WINAPI hookMoveToEx(HDC dc, int x, int y, LPPOINT previous) {
    record(Op::MoveToEx, x, y);
    if (previous != nullptr) fault("MoveToEx asks for the previous position");
    return realMoveToEx(dc, x, y, previous);
}

BOOL WINAPI hookLineTo(HDC dc, int x, int y) {
    record(Op::LineTo, x, y);
    if (selectedPen == nullptr) fault("LineTo without one of the module's pens selected");
    return realLineTo(dc, x, y);
}

BOOL WINAPI hookDeleteObject(HGDIOBJ object) {
    record(Op::DeleteObject, isLivePen(object) ? 1 : 0);
    if (object == selectedPen && object != nullptr) fault("DeleteObject of a selected pen");
    const BOOL ok = realDeleteObject(object);
    if (ok && isLivePen(object)) {
        livePens.erase(std::find(livePens.begin(), livePens.end(), object));
        ++active->pensDeleted;
    } else if (!ok) {
        fault("DeleteObject failed");
    }
    return ok;
}

int WINAPI hookReleaseDC(HWND window, HDC dc) {
    record(Op::ReleaseDC);
    if (selectedPen != nullptr) fault("ReleaseDC with the module's pen still selected");
    const int released = realReleaseDC(window, dc);
    if (released == 1 && dc == openContext) {
        ++active->contextsReleased;
        openContext = nullptr;
    }
    return released;
}

struct Hook {
    const char* name;
    void* replacement;
    void** real;
};

const Hook kHooks[] = {
    {"GetDC", reinterpret_cast<void*>(&hookGetDC), reinterpret_cast<void**>(&realGetDC)},
    {"GetClientRect", reinterpret_cast<void*>(&hookGetClientRect), reinterpret_cast<void**>(&realGetClientRect)},
    {"CreatePen", reinterpret_cast<void*>(&hookCreatePen), reinterpret_cast<void**>(&realCreatePen)},
    {"SelectObject", reinterpret_cast<void*>(&hookSelectObject), reinterpret_cast<void**>(&realSelectObject)},
    {"MoveToEx", reinterpret_cast<void*>(&hookMoveToEx), reinterpret_cast<void**>(&realMoveToEx)},
    {"LineTo", reinterpret_cast<void*>(&hookLineTo), reinterpret_cast<void**>(&realLineTo)},
    {"DeleteObject", reinterpret_cast<void*>(&hookDeleteObject), reinterpret_cast<void**>(&realDeleteObject)},
    {"ReleaseDC", reinterpret_cast<void*>(&hookReleaseDC), reinterpret_cast<void**>(&realReleaseDC)},
};

void writeSlot(void** slot, void* value) {
    DWORD protection = 0;
    ::VirtualProtect(slot, sizeof *slot, PAGE_READWRITE, &protection);
    *slot = value;
    ::VirtualProtect(slot, sizeof *slot, protection, &protection);
}

}  // namespace

ImportHooks::ImportHooks(HMODULE module) {
    active = this;
    livePens.clear();
    selectedPen = nullptr;
    openContext = nullptr;
    auto* base = reinterpret_cast<BYTE*>(module);
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& imports = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    if (imports.VirtualAddress == 0) return;
    for (auto* dll = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(base + imports.VirtualAddress); dll->Name != 0;
         ++dll) {
        const auto* names = reinterpret_cast<const IMAGE_THUNK_DATA*>(
            base + (dll->OriginalFirstThunk != 0 ? dll->OriginalFirstThunk : dll->FirstThunk));
        auto* slots = reinterpret_cast<IMAGE_THUNK_DATA*>(base + dll->FirstThunk);
        for (; names->u1.AddressOfData != 0; ++names, ++slots) {
            if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)) continue;
            const auto* byName = reinterpret_cast<const IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
            for (const Hook& hook : kHooks) {
                if (std::strcmp(reinterpret_cast<const char*>(byName->Name), hook.name) != 0) continue;
                void** slot = reinterpret_cast<void**>(&slots->u1.Function);
                *hook.real = *slot;
                patches_.push_back(Patch{slot, *slot});
                writeSlot(slot, hook.replacement);
            }
        }
    }
}

ImportHooks::~ImportHooks() {
    for (const Patch& patch : patches_) writeSlot(patch.slot, patch.original);
    active = nullptr;
}

int ImportHooks::pensStillAlive() const {
    int alive = 0;
    for (HGDIOBJ pen : pensMade)
        if (::GetObjectType(pen) != 0) ++alive;
    return alive;
}

std::string ImportHooks::takeTrace() {
    std::string text;
    for (const DrawCall& call : calls) {
        text += formatCall(call);
        text += '\n';
    }
    calls.clear();
    return text;
}

}  // namespace gyrotrail::testing
