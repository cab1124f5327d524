#include "test_window.h"

namespace gyrotrail::testing {

namespace {

const char kClassName[] = "GyrotrailTestWindow";

ATOM registerClass() {
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = ::DefWindowProcA;
    windowClass.hInstance = ::GetModuleHandleA(nullptr);
    windowClass.hbrBackground = static_cast<HBRUSH>(::GetStockObject(BLACK_BRUSH));
    windowClass.lpszClassName = kClassName;
    return ::RegisterClassA(&windowClass);
}

}  // namespace

TestWindow::TestWindow(int32_t width, int32_t height) {
    static const ATOM registered = registerClass();
    (void)registered;
    window_ = ::CreateWindowExA(0, kClassName, "gyrotrail", WS_POPUP | WS_VISIBLE, 0, 0, width, height, nullptr,
                                nullptr, ::GetModuleHandleA(nullptr), nullptr);
    settle();
    clear();
}

TestWindow::~TestWindow() { destroy(); }

void TestWindow::destroy() {
    if (window_ != nullptr) ::DestroyWindow(window_);
    window_ = nullptr;
    settle();
}

void TestWindow::resize(int32_t width, int32_t height) {
    ::SetWindowPos(window_, nullptr, 0, 0, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
    settle();
    clear();
}

void TestWindow::clear() {
    RECT client{};
    ::GetClientRect(window_, &client);
    HDC dc = ::GetDC(window_);
    ::FillRect(dc, &client, static_cast<HBRUSH>(::GetStockObject(BLACK_BRUSH)));
    ::ReleaseDC(window_, dc);
    ::GdiFlush();
}

COLORREF TestWindow::pixel(int32_t x, int32_t y) const {
    ::GdiFlush();
    HDC dc = ::GetDC(window_);
    const COLORREF colour = ::GetPixel(dc, x, y);
    ::ReleaseDC(window_, dc);
    return colour;
}

void TestWindow::settle() {
    MSG message;
    for (int round = 0; round < 3; ++round) {
        while (::PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            ::TranslateMessage(&message);
            ::DispatchMessageA(&message);
        }
        ::Sleep(20);
    }
}

}  // namespace gyrotrail::testing
