// A real top-level window for the module to draw into, with its pixels read
// back through GDI. Its client area is the whole window (no frame).
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <cstdint>

namespace gyrotrail::testing {

class TestWindow {
public:
    TestWindow(int32_t width, int32_t height);
    ~TestWindow();
    TestWindow(const TestWindow&) = delete;
    TestWindow& operator=(const TestWindow&) = delete;

    HWND handle() const { return window_; }
    // Sets the client area's size and lets the window settle.
    void resize(int32_t width, int32_t height);
    // Paints the client area black.
    void clear();
    // The colour at (x, y) of the client area, 0x00BBGGRR.
    COLORREF pixel(int32_t x, int32_t y) const;
    // Handles the messages that are waiting.
    static void settle();
    // Destroys the window now; the handle then names no window.
    void destroy();

private:
    HWND window_ = nullptr;
};

}  // namespace gyrotrail::testing
