// The drawing operations on Windows: the real USER and GDI functions, called
// straight through the module's import table.
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <cstdint>

#include "render/drawing_ops.h"

namespace gyrotrail {

class Win32Ops {
public:
    Handle getDC(Handle window) { return ::GetDC(static_cast<HWND>(window)); }

    bool getClientRect(Handle window, ClientRect* rect) {
        RECT r{};
        if (!::GetClientRect(static_cast<HWND>(window), &r)) return false;
        *rect = ClientRect{static_cast<int32_t>(r.left), static_cast<int32_t>(r.top), static_cast<int32_t>(r.right),
                           static_cast<int32_t>(r.bottom)};
        return true;
    }

    Handle createPen(int32_t style, int32_t width, uint32_t colour) {
        return ::CreatePen(style, width, static_cast<COLORREF>(colour));
    }

    Handle selectObject(Handle dc, Handle object) {
        return ::SelectObject(static_cast<HDC>(dc), static_cast<HGDIOBJ>(object));
    }

    bool moveToEx(Handle dc, int32_t x, int32_t y) { return ::MoveToEx(static_cast<HDC>(dc), x, y, nullptr) != FALSE; }

    bool lineTo(Handle dc, int32_t x, int32_t y) { return ::LineTo(static_cast<HDC>(dc), x, y) != FALSE; }

    bool deleteObject(Handle object) { return ::DeleteObject(static_cast<HGDIOBJ>(object)) != FALSE; }

    int releaseDC(Handle window, Handle dc) { return ::ReleaseDC(static_cast<HWND>(window), static_cast<HDC>(dc)); }
};

static_assert(DrawingOps<Win32Ops>);
static_assert(kPenSolid == PS_SOLID);

}  // namespace gyrotrail
