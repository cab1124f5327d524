// The play window: an SDL2 window, its renderer and a texture the size of the
// canvas the plug-in draws on, with an on-screen display drawn over the
// window's picture only (never into the canvas).
#pragma once

#include <SDL2/SDL.h>
#include <SDL2/SDL_ttf.h>

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "lum_plugin.h"

namespace lumhost {

// SDL's video set-up and tear-down in one place. Fails when no display can
// be reached: SDL would otherwise settle for a driver that shows nothing
// (offscreen, dummy) and the run would go on unseen. Such a driver is taken
// only when asked for by name in SDL_VIDEODRIVER.
struct SdlVideo {
    SdlVideo();
    ~SdlVideo();
    SdlVideo(const SdlVideo&) = delete;
    SdlVideo& operator=(const SdlVideo&) = delete;
};

// Whether SDL's video driver `driver` shows no window to anyone.
bool showsNothing(const std::string& driver);

// Whether `setting` (SDL_VIDEODRIVER's value: one driver or a comma-separated
// list, any case; null when unset) names `driver`.
bool driverNamed(const char* setting, const std::string& driver);

// Why no window could be shown, and what to use instead, in the words of
// the person's environment: `display` and `wayland` are the values of
// DISPLAY and WAYLAND_DISPLAY (null when unset).
std::string noDisplayReason(const char* display, const char* wayland);

// Text over the picture: a few lines on a dark box in the window's top left
// corner, shown until a time or for good.
class Overlay {
public:
    explicit Overlay(SDL_Renderer* renderer);
    ~Overlay();
    Overlay(const Overlay&) = delete;
    Overlay& operator=(const Overlay&) = delete;

    bool available() const { return font_ != nullptr; }
    // A font size for the window's height, for what is shown next.
    void fitTo(int windowHeight);
    // Shows the lines for `seconds`; 0 keeps them until the next show or hide.
    void show(const std::vector<std::string>& lines, double seconds);
    void hide();
    bool visible() const { return texture_ != nullptr; }
    // Whether a timed text has just run out (the window must be drawn again without it).
    bool expired() const;
    void draw();

private:
    SDL_Renderer* renderer_;
    TTF_Font* font_ = nullptr;
    int size_ = 0;
    SDL_Texture* texture_ = nullptr;
    int width_ = 0, height_ = 0;
    bool timed_ = false;
    std::chrono::steady_clock::time_point until_;
};

class LiveWindow {
public:
    LiveWindow(const std::string& title, int width, int height, bool fullscreen = false);
    ~LiveWindow();
    LiveWindow(const LiveWindow&) = delete;
    LiveWindow& operator=(const LiveWindow&) = delete;

    LumCanvas& canvas() { return canvas_; }
    SDL_Window* window() { return window_; }
    Overlay& overlay() { return *overlay_; }

    // A new canvas of the new size keeps what overlaps of the old picture.
    void resize(int width, int height);
    void clear();
    // A picture drawn elsewhere (rows top-down, no gaps) into the canvas,
    // when it has the canvas's size; false (and nothing changed) if not.
    bool showPicture(const uint32_t* pixels, int width, int height);
    // The canvas, then the overlay over it.
    void present();
    void setFullscreen(bool on);
    bool fullscreen() const;

private:
    SDL_Window* window_ = nullptr;
    SDL_Renderer* renderer_ = nullptr;
    SDL_Texture* texture_ = nullptr;
    std::unique_ptr<Overlay> overlay_;
    bool fullscreen_ = false;
    bool laidOver_ = false;  // fullscreen made by hand: a borderless window over the screen
    SDL_Rect windowed_{0, 0, 0, 0};
    std::vector<uint32_t> pixels_;
    LumCanvas canvas_{0, 0, 0, nullptr};
};

}  // namespace lumhost
