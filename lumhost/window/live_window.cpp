#include "lumhost/window/live_window.h"

#include <SDL2/SDL_syswm.h>
#include <SDL2/SDL_ttf.h>
#include <X11/Xlib.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "lumhost/base/host_error.h"

namespace lumhost {
namespace {

// DejaVu Sans Mono, from fonts-dejavu-core: fixed width keeps the help's columns.
constexpr const char* fontFiles[] = {
    "/usr/share/fonts/truetype/dejavu/DejaVuSansMono.ttf",
    "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf",
};

// Whether a window manager runs, to grant fullscreen: on X, one that says
// so on the root window (EWMH). Elsewhere (Wayland) the compositor does.
bool hasWindowManager(SDL_Window* window) {
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (SDL_GetWindowWMInfo(window, &info) != SDL_TRUE || info.subsystem != SDL_SYSWM_X11) return true;
    Display* display = info.info.x11.display;
    const Atom check = XInternAtom(display, "_NET_SUPPORTING_WM_CHECK", True);
    if (check == 0) return false;
    Atom type = 0;
    int format = 0;
    unsigned long items = 0, left = 0;
    unsigned char* data = nullptr;
    const int status = XGetWindowProperty(display, DefaultRootWindow(display), check, 0, 1, False, AnyPropertyType, &type, &format,
                                          &items, &left, &data);
    if (data != nullptr) XFree(data);
    return status == Success && items > 0;
}

// Standard error sent nowhere for a while. SDL tries each display system
// in turn, and their client libraries print as they fail (Wayland's
// "XDG_RUNTIME_DIR is invalid or not set" on a remote shell); SDL keeps
// the reason that matters for SDL_GetError, and lumhost says it in one line.
class StderrSilenced {
public:
    StderrSilenced() {
        std::fflush(stderr);
        const int nowhere = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
        if (nowhere < 0) return;
        saved_ = ::fcntl(STDERR_FILENO, F_DUPFD_CLOEXEC, 0);
        if (saved_ >= 0) ::dup2(nowhere, STDERR_FILENO);
        ::close(nowhere);
    }
    ~StderrSilenced() {
        if (saved_ < 0) return;
        std::fflush(stderr);
        ::dup2(saved_, STDERR_FILENO);
        ::close(saved_);
    }
    StderrSilenced(const StderrSilenced&) = delete;
    StderrSilenced& operator=(const StderrSilenced&) = delete;

private:
    int saved_ = -1;
};

bool isSet(const char* value) { return value != nullptr && *value != '\0'; }

}  // namespace

bool showsNothing(const std::string& driver) { return driver == "offscreen" || driver == "dummy" || driver == "evdev"; }

bool driverNamed(const char* setting, const std::string& driver) {
    if (setting == nullptr) return false;
    std::string names(setting);
    for (auto& c : names) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    for (std::size_t from = 0; from <= names.size();) {
        const auto comma = std::min(names.find(',', from), names.size());
        if (names.compare(from, comma - from, driver) == 0) return true;
        from = comma + 1;
    }
    return false;
}

std::string noDisplayReason(const char* display, const char* wayland) {
    const std::string way = "; use `lumhost render` to write a file";
    if (!isSet(display) && !isSet(wayland)) return "no display (DISPLAY and WAYLAND_DISPLAY are unset)" + way;
    std::string named;
    if (isSet(display)) named = std::string("DISPLAY=") + display;
    if (isSet(wayland)) named += (named.empty() ? "" : ", ") + std::string("WAYLAND_DISPLAY=") + wayland;
    return "no display can be reached (" + named + ")" + way;
}

SdlVideo::SdlVideo() {
    int started = 0;
    {
        StderrSilenced quiet;
        started = SDL_Init(SDL_INIT_VIDEO);
    }
    if (started != 0) throw HostError(std::string("cannot open a window: ") + SDL_GetError());
    const char* driver = SDL_GetCurrentVideoDriver();
    const std::string current = driver != nullptr ? driver : "";
    if (showsNothing(current) && !driverNamed(SDL_GetHint(SDL_HINT_VIDEODRIVER), current)) {
        SDL_Quit();
        throw HostError("cannot open a window: " + noDisplayReason(std::getenv("DISPLAY"), std::getenv("WAYLAND_DISPLAY")));
    }
}

SdlVideo::~SdlVideo() { SDL_Quit(); }

Overlay::Overlay(SDL_Renderer* renderer) : renderer_(renderer) {
    if (TTF_Init() != 0) {
        std::fprintf(stderr, "lumhost: no on-screen display (%s)\n", TTF_GetError());
        return;
    }
    fitTo(720);
    if (font_ == nullptr) std::fprintf(stderr, "lumhost: no on-screen display: no font (install fonts-dejavu-core)\n");
}

void Overlay::fitTo(int windowHeight) {
    // The help's thirty lines fit a window of any height down to about 300 pixels.
    const int size = std::clamp(windowHeight / 40, 8, 18);
    if (size == size_ && font_ != nullptr) return;
    TTF_Font* font = nullptr;
    for (const char* file : fontFiles)
        if ((font = TTF_OpenFont(file, size)) != nullptr) break;
    if (font == nullptr) return;
    if (font_ != nullptr) TTF_CloseFont(font_);
    font_ = font;
    size_ = size;
}

Overlay::~Overlay() {
    hide();
    if (font_ != nullptr) TTF_CloseFont(font_);
    TTF_Quit();
}

void Overlay::show(const std::vector<std::string>& lines, double seconds) {
    hide();
    if (font_ == nullptr || lines.empty()) return;
    const int lineHeight = TTF_FontLineSkip(font_);
    int width = 1;
    for (const auto& line : lines) {
        int w = 0, h = 0;
        if (!line.empty() && TTF_SizeUTF8(font_, line.c_str(), &w, &h) == 0) width = std::max(width, w);
    }
    const int pad = 6;
    SDL_Surface* board = SDL_CreateRGBSurfaceWithFormat(0, width + 2 * pad, lineHeight * static_cast<int>(lines.size()) + 2 * pad,
                                                        32, SDL_PIXELFORMAT_ARGB8888);
    if (board == nullptr) return;
    SDL_FillRect(board, nullptr, SDL_MapRGBA(board->format, 0, 0, 0, 176));
    SDL_SetSurfaceBlendMode(board, SDL_BLENDMODE_NONE);
    int y = pad;
    for (const auto& line : lines) {
        if (!line.empty()) {
            if (SDL_Surface* text = TTF_RenderUTF8_Blended(font_, line.c_str(), SDL_Color{255, 255, 160, 255})) {
                SDL_SetSurfaceBlendMode(text, SDL_BLENDMODE_BLEND);
                SDL_Rect at{pad, y, text->w, text->h};
                SDL_BlitSurface(text, nullptr, board, &at);
                SDL_FreeSurface(text);
            }
        }
        y += lineHeight;
    }
    texture_ = SDL_CreateTextureFromSurface(renderer_, board);
    width_ = board->w;
    height_ = board->h;
    SDL_FreeSurface(board);
    if (texture_ != nullptr) SDL_SetTextureBlendMode(texture_, SDL_BLENDMODE_BLEND);
    timed_ = seconds > 0;
    until_ = std::chrono::steady_clock::now() + std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                                                    std::chrono::duration<double>(seconds));
}

void Overlay::hide() {
    if (texture_ != nullptr) SDL_DestroyTexture(texture_);
    texture_ = nullptr;
}

bool Overlay::expired() const { return texture_ != nullptr && timed_ && std::chrono::steady_clock::now() >= until_; }

void Overlay::draw() {
    if (expired()) hide();
    if (texture_ == nullptr) return;
    SDL_Rect at{8, 8, width_, height_};
    SDL_RenderCopy(renderer_, texture_, nullptr, &at);
}

LiveWindow::LiveWindow(const std::string& title, int width, int height, bool fullscreen) {
    window_ = SDL_CreateWindow(title.c_str(), SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, width, height, SDL_WINDOW_RESIZABLE);
    if (window_ == nullptr) throw HostError(std::string("cannot open a window: ") + SDL_GetError());
    renderer_ = SDL_CreateRenderer(window_, -1, 0);
    if (renderer_ == nullptr) renderer_ = SDL_CreateRenderer(window_, -1, SDL_RENDERER_SOFTWARE);
    if (renderer_ == nullptr) {
        SDL_DestroyWindow(window_);
        throw HostError(std::string("cannot draw into the window: ") + SDL_GetError());
    }
    overlay_ = std::make_unique<Overlay>(renderer_);
    resize(width, height);
    if (fullscreen) setFullscreen(true);
}

LiveWindow::~LiveWindow() {
    overlay_.reset();
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
    if (overlay_) overlay_->fitTo(height);
    if (texture_ != nullptr) SDL_DestroyTexture(texture_);
    texture_ = SDL_CreateTexture(renderer_, SDL_PIXELFORMAT_RGB888, SDL_TEXTUREACCESS_STREAMING, width, height);
    if (texture_ == nullptr) throw HostError(std::string("cannot draw into the window: ") + SDL_GetError());
}

void LiveWindow::clear() { std::fill(pixels_.begin(), pixels_.end(), 0u); }

bool LiveWindow::showPicture(const uint32_t* pixels, int width, int height) {
    if (width != canvas_.width || height != canvas_.height) return false;
    std::copy_n(pixels, pixels_.size(), pixels_.begin());
    return true;
}

void LiveWindow::present() {
    SDL_UpdateTexture(texture_, nullptr, canvas_.pixels, canvas_.stride);
    SDL_RenderClear(renderer_);
    SDL_RenderCopy(renderer_, texture_, nullptr, nullptr);
    overlay_->draw();
    SDL_RenderPresent(renderer_);
}

void LiveWindow::setFullscreen(bool on) {
    if (on == fullscreen_) return;
    if (on) {
        SDL_GetWindowPosition(window_, &windowed_.x, &windowed_.y);
        SDL_GetWindowSize(window_, &windowed_.w, &windowed_.h);
        SDL_Rect screen{};
        SDL_GetDisplayBounds(std::max(SDL_GetWindowDisplayIndex(window_), 0), &screen);
        if (hasWindowManager(window_)) {
            if (SDL_SetWindowFullscreen(window_, SDL_WINDOW_FULLSCREEN_DESKTOP) != 0) {
                std::fprintf(stderr, "lumhost: cannot change fullscreen: %s\n", SDL_GetError());
                return;
            }
        } else {
            // A bare X server (no window manager to grant fullscreen): the
            // window is laid over the screen, without its border.
            SDL_SetWindowBordered(window_, SDL_FALSE);
            SDL_SetWindowPosition(window_, screen.x, screen.y);
            SDL_SetWindowSize(window_, screen.w, screen.h);
            laidOver_ = true;
        }
        SDL_ShowCursor(SDL_DISABLE);
    } else {
        if (laidOver_) {
            SDL_SetWindowBordered(window_, SDL_TRUE);
            SDL_SetWindowSize(window_, windowed_.w, windowed_.h);
            SDL_SetWindowPosition(window_, windowed_.x, windowed_.y);
            laidOver_ = false;
        } else {
            SDL_SetWindowFullscreen(window_, 0);
        }
        SDL_ShowCursor(SDL_ENABLE);
    }
    fullscreen_ = on;
}

bool LiveWindow::fullscreen() const { return fullscreen_; }

}  // namespace lumhost
