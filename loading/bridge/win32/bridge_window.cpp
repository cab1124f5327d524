#include "bridge_window.h"

#include <cstring>

namespace lumbridge {
namespace {

const wchar_t className[] = L"lumbridge canvas";

LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    // The picture is the module's and the host's: nothing is erased or painted here.
    if (message == WM_ERASEBKGND) return 1;
    if (message == WM_PAINT) {
        ValidateRect(window, nullptr);
        return 0;
    }
    if (message == WM_CLOSE) return 0;
    return DefWindowProcW(window, message, wParam, lParam);
}

bool registerClass() {
    static bool done = false;
    if (done) return true;
    WNDCLASSW windowClass{};
    windowClass.style = CS_OWNDC;
    windowClass.lpfnWndProc = windowProc;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = className;
    windowClass.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    done = RegisterClassW(&windowClass) != 0;
    return done;
}

}  // namespace

BridgeWindow::~BridgeWindow() {
    if (memory_ != nullptr) {
        SelectObject(memory_, previous_);
        DeleteDC(memory_);
    }
    if (bitmap_ != nullptr) DeleteObject(bitmap_);
    if (window_ != nullptr) DestroyWindow(window_);
}

bool BridgeWindow::fit(int width, int height, bool& fresh) {
    fresh = false;
    if (window_ != nullptr && width == width_ && height == height_) return true;
    if (window_ == nullptr) {
        if (!registerClass()) return false;
        // A popup has no frame, so the window is its client area; the display
        // is the bridge's own, so the window can stay shown at the corner.
        window_ = CreateWindowExW(WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE, className, L"lumbridge", WS_POPUP, 0, 0, width,
                                  height, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
        if (window_ == nullptr) return false;
        ShowWindow(window_, SW_SHOWNOACTIVATE);
    } else {
        SetWindowPos(window_, nullptr, 0, 0, width, height, SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOMOVE);
    }
    width_ = width;
    height_ = height;
    pumpMessages();
    fresh = true;
    return makeBitmap();
}

bool BridgeWindow::makeBitmap() {
    if (memory_ == nullptr) {
        memory_ = CreateCompatibleDC(nullptr);
        if (memory_ == nullptr) return false;
    }
    if (bitmap_ != nullptr) {
        SelectObject(memory_, previous_);
        DeleteObject(bitmap_);
        bitmap_ = nullptr;
    }
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width_;
    info.bmiHeader.biHeight = -height_;  // top-down rows
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    bitmap_ = CreateDIBSection(memory_, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (bitmap_ == nullptr) return false;
    bits_ = static_cast<uint32_t*>(bits);
    previous_ = SelectObject(memory_, bitmap_);
    return true;
}

void BridgeWindow::put(const uint32_t* pixels) {
    std::memcpy(bits_, pixels, static_cast<size_t>(width_) * static_cast<size_t>(height_) * 4);
    HDC screen = GetDC(window_);
    BitBlt(screen, 0, 0, width_, height_, memory_, 0, 0, SRCCOPY);
    ReleaseDC(window_, screen);
    GdiFlush();
}

void BridgeWindow::take(uint32_t* pixels) {
    HDC screen = GetDC(window_);
    BitBlt(memory_, 0, 0, width_, height_, screen, 0, 0, SRCCOPY);
    ReleaseDC(window_, screen);
    GdiFlush();
    // The fourth byte is not part of the picture: the canvas keeps it zero.
    const size_t count = static_cast<size_t>(width_) * static_cast<size_t>(height_);
    for (size_t i = 0; i < count; ++i) pixels[i] = bits_[i] & 0x00FFFFFFu;
}

void pumpMessages() {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

}  // namespace lumbridge
