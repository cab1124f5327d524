// The bridge's one window: a borderless popup at the display's corner whose
// client area is the canvas, with a 32-bit top-down DIB section of the same
// size to carry pixels between the shared canvas and the window.
#pragma once

#include <windows.h>

#include <cstdint>

namespace lumbridge {

class BridgeWindow {
public:
    BridgeWindow() = default;
    ~BridgeWindow();
    BridgeWindow(const BridgeWindow&) = delete;
    BridgeWindow& operator=(const BridgeWindow&) = delete;

    // Makes the window (first call) or resizes it; false if Windows refused.
    // True in `fresh` when the window's pixels are not the last ones read.
    bool fit(int width, int height, bool& fresh);
    HWND handle() const { return window_; }

    // Tight rows of 0x00RRGGBB pixels into the client area, and back.
    void put(const uint32_t* pixels);
    void take(uint32_t* pixels);

private:
    bool makeBitmap();

    HWND window_ = nullptr;
    HDC memory_ = nullptr;
    HBITMAP bitmap_ = nullptr;
    HGDIOBJ previous_ = nullptr;
    uint32_t* bits_ = nullptr;
    int width_ = 0;
    int height_ = 0;
};

// Runs the window's pending messages, so Windows sees a live program.
void pumpMessages();

}  // namespace lumbridge
