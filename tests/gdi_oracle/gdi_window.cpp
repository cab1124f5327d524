#include "gdi_window.h"

#include <cstring>

namespace gyrotrail::oracle {

namespace {

const char kClassName[] = "GyrotrailGdiOracle";

void settle() {
    MSG message;
    for (int round = 0; round < 3; ++round) {
        while (::PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            ::TranslateMessage(&message);
            ::DispatchMessageA(&message);
        }
        ::Sleep(10);
    }
}

}  // namespace

GdiWindow::GdiWindow() {
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = ::DefWindowProcA;
    windowClass.hInstance = ::GetModuleHandleA(nullptr);
    windowClass.hbrBackground = static_cast<HBRUSH>(::GetStockObject(BLACK_BRUSH));
    windowClass.lpszClassName = kClassName;
    ::RegisterClassA(&windowClass);
    window_ = ::CreateWindowExA(0, kClassName, "gyrotrail oracle", WS_POPUP | WS_VISIBLE, 0, 0, 16, 16, nullptr,
                                nullptr, ::GetModuleHandleA(nullptr), nullptr);
    settle();
}

GdiWindow::~GdiWindow() {
    if (copyDc_ != nullptr) ::DeleteDC(copyDc_);
    if (copy_ != nullptr) ::DeleteObject(copy_);
    if (window_ != nullptr) ::DestroyWindow(window_);
}

bool GdiWindow::prepare(int32_t width, int32_t height) {
    if (window_ == nullptr) return false;
    if (width != width_ || height != height_) {
        ::SetWindowPos(window_, nullptr, 0, 0, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
        settle();
        RECT client{};
        ::GetClientRect(window_, &client);
        if (client.right != width || client.bottom != height) return false;
        if (copyDc_ != nullptr) ::DeleteDC(copyDc_);
        if (copy_ != nullptr) ::DeleteObject(copy_);
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof(info.bmiHeader);
        info.bmiHeader.biWidth = width;
        info.bmiHeader.biHeight = -height;  // top-down
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        copyDc_ = ::CreateCompatibleDC(nullptr);
        copy_ = ::CreateDIBSection(copyDc_, &info, DIB_RGB_COLORS, &bits_, nullptr, 0);
        if (copyDc_ == nullptr || copy_ == nullptr) return false;
        ::SelectObject(copyDc_, copy_);
        width_ = width;
        height_ = height;
        pixels_.assign(static_cast<size_t>(width) * height, 0);
    }
    HDC dc = ::GetDC(window_);
    RECT client{0, 0, width_, height_};
    ::FillRect(dc, &client, static_cast<HBRUSH>(::GetStockObject(BLACK_BRUSH)));
    ::ReleaseDC(window_, dc);
    return true;
}

void GdiWindow::draw(const Stroke& s, COLORREF colour) {
    HDC dc = ::GetDC(window_);
    RECT client{0, 0, width_, height_};
    ::FillRect(dc, &client, static_cast<HBRUSH>(::GetStockObject(BLACK_BRUSH)));
    HPEN pen = ::CreatePen(PS_SOLID, s.pen, colour);
    HGDIOBJ previous = ::SelectObject(dc, pen);
    ::MoveToEx(dc, s.x0, s.y0, nullptr);
    ::LineTo(dc, s.x1, s.y1);
    ::SelectObject(dc, previous);
    ::DeleteObject(pen);
    ::ReleaseDC(window_, dc);
}

const std::vector<uint32_t>& GdiWindow::read() {
    HDC dc = ::GetDC(window_);
    ::BitBlt(copyDc_, 0, 0, width_, height_, dc, 0, 0, SRCCOPY);
    ::ReleaseDC(window_, dc);
    ::GdiFlush();
    std::memcpy(pixels_.data(), bits_, pixels_.size() * sizeof(uint32_t));
    return pixels_;
}

}  // namespace gyrotrail::oracle
