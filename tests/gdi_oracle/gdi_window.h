// A real window to stroke with GDI, and its pixels read back in one copy.
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <cstdint>
#include <vector>

#include "stroke_cases.h"

namespace gyrotrail::oracle {

class GdiWindow {
public:
    GdiWindow();
    ~GdiWindow();
    GdiWindow(const GdiWindow&) = delete;
    GdiWindow& operator=(const GdiWindow&) = delete;

    HWND handle() const { return window_; }
    // Gives the client area this size (a no-op when it has it) and paints it black.
    bool prepare(int32_t width, int32_t height);
    // Black, then one stroke with the calls the renderer makes: CreatePen,
    // SelectObject, MoveToEx, LineTo, SelectObject back, DeleteObject.
    void draw(const Stroke& s, COLORREF colour = 0x00FFFFFF);
    // The client area's pixels, 0x00RRGGBB, top-down rows of `width`.
    const std::vector<uint32_t>& read();
    int32_t width() const { return width_; }
    int32_t height() const { return height_; }

private:
    HWND window_ = nullptr;
    int32_t width_ = 0, height_ = 0;
    HDC copyDc_ = nullptr;
    HBITMAP copy_ = nullptr;
    void* bits_ = nullptr;
    std::vector<uint32_t> pixels_;
};

}  // namespace gyrotrail::oracle
