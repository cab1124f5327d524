#include "host/live/live_window.h"

#include <algorithm>
#include <cstring>

#include "host/base/host_error.h"

namespace lumhost {

SdlVideo::SdlVideo() {
    if (SDL_Init(SDL_INIT_VIDEO) != 0) throw HostError(std::string("cannot open a window: ") + SDL_GetError());
}

SdlVideo::~SdlVideo() { SDL_Quit(); }

LiveWindow::LiveWindow(const std::string& title, int width, int height) {
    window_ = SDL_CreateWindow(title.c_str(), SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, width, height, SDL_WINDOW_RESIZABLE);
    if (window_ == nullptr) throw HostError(std::string("cannot open a window: ") + SDL_GetError());
    renderer_ = SDL_CreateRenderer(window_, -1, 0);
    if (renderer_ == nullptr) renderer_ = SDL_CreateRenderer(window_, -1, SDL_RENDERER_SOFTWARE);
    if (renderer_ == nullptr) {
        SDL_DestroyWindow(window_);
        throw HostError(std::string("cannot draw into the window: ") + SDL_GetError());
    }
    resize(width, height);
}

LiveWindow::~LiveWindow() {
    if (texture_ != nullptr) SDL_DestroyTexture(texture_);
    if (renderer_ != nullptr) SDL_DestroyRenderer(renderer_);
    SDL_DestroyWindow(window_);
}

void LiveWindow::resize(int width, int height) {
    width = std::max(width, 1);
    height = std::max(height, 1);
    std::vector<uint32_t> pixels(static_cast<std::size_t>(width) * static_cast<std::size_t>(height), 0);
    const int keepWidth = std::min(width, canvas_.width), keepHeight = std::min(height, canvas_.height);
    for (int y = 0; y < keepHeight; ++y)
        std::memcpy(&pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(width)],
                    &pixels_[static_cast<std::size_t>(y) * static_cast<std::size_t>(canvas_.width)],
                    static_cast<std::size_t>(keepWidth) * 4);
    pixels_ = std::move(pixels);
    canvas_ = LumCanvas{width, height, width * 4, pixels_.data()};
    if (texture_ != nullptr) SDL_DestroyTexture(texture_);
    texture_ = SDL_CreateTexture(renderer_, SDL_PIXELFORMAT_RGB888, SDL_TEXTUREACCESS_STREAMING, width, height);
    if (texture_ == nullptr) throw HostError(std::string("cannot draw into the window: ") + SDL_GetError());
}

void LiveWindow::clear() { std::fill(pixels_.begin(), pixels_.end(), 0u); }

void LiveWindow::present() {
    SDL_UpdateTexture(texture_, nullptr, canvas_.pixels, canvas_.stride);
    SDL_RenderClear(renderer_);
    SDL_RenderCopy(renderer_, texture_, nullptr, nullptr);
    SDL_RenderPresent(renderer_);
}

}  // namespace lumhost
