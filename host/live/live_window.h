// The live window: an SDL2 window, its renderer and a texture the size of the
// canvas the plug-in draws on.
#pragma once

#include <SDL2/SDL.h>

#include <cstdint>
#include <string>
#include <vector>

#include "lum_plugin.h"

namespace lumhost {

// SDL's video set-up and tear-down in one place.
struct SdlVideo {
    SdlVideo();
    ~SdlVideo();
    SdlVideo(const SdlVideo&) = delete;
    SdlVideo& operator=(const SdlVideo&) = delete;
};

class LiveWindow {
public:
    LiveWindow(const std::string& title, int width, int height);
    ~LiveWindow();
    LiveWindow(const LiveWindow&) = delete;
    LiveWindow& operator=(const LiveWindow&) = delete;

    LumCanvas& canvas() { return canvas_; }
    SDL_Window* window() { return window_; }

    // A new canvas of the new size keeps what overlaps of the old picture.
    void resize(int width, int height);
    void clear();
    void present();

private:
    SDL_Window* window_ = nullptr;
    SDL_Renderer* renderer_ = nullptr;
    SDL_Texture* texture_ = nullptr;
    std::vector<uint32_t> pixels_;
    LumCanvas canvas_{0, 0, 0, nullptr};
};

}  // namespace lumhost
