// lumhost play: a live SDL2 window. The sound plays through SDL's audio
// queue, and each block is handed to the plug-in when the audio clock
// reaches the start of its frame.
#include <SDL2/SDL.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <vector>

#include "host/cli/commands.h"
#include "host/cli/sound_input.h"
#include "host/base/host_error.h"
#include "host/base/interrupt.h"
#include "host/live/play_keys.h"
#include "host/plugins/plugin_run.h"

namespace lumhost {
namespace {

struct DecodedSound {
    int rate = 0;
    int channels = 0;
    std::vector<float> samples;  // interleaved
    int64_t frames() const { return static_cast<int64_t>(samples.size()) / channels; }
};

DecodedSound decodeAll(AudioSource& source) {
    DecodedSound sound{source.sampleRate(), source.channels(), {}};
    std::vector<float> chunk(static_cast<std::size_t>(8192 * sound.channels));
    while (const std::size_t got = source.read(chunk.data(), 8192)) {
        throwIfInterrupted();
        sound.samples.insert(sound.samples.end(), chunk.begin(), chunk.begin() + static_cast<std::ptrdiff_t>(got) * sound.channels);
    }
    return sound;
}

// SDL set-up and tear-down in one place.
struct SdlSession {
    SdlSession() {
        if (SDL_Init(SDL_INIT_VIDEO) != 0) throw HostError(std::string("cannot open a window: ") + SDL_GetError());
    }
    ~SdlSession() { SDL_Quit(); }
};

// The audio clock: sample frames played so far. Without an audio device the
// wall clock stands in, so the figure still moves in real time.
class AudioClock {
public:
    AudioClock(const DecodedSound& sound) : rate_(sound.rate) {
        // The playback buffer: left and right as the plug-in's block sees them.
        const auto width = static_cast<std::size_t>(sound.channels);
        stereo_.resize(2 * static_cast<std::size_t>(sound.frames()));
        for (std::size_t i = 0; i < stereo_.size() / 2; ++i) {
            stereo_[2 * i] = sound.samples[i * width];
            stereo_[2 * i + 1] = sound.samples[i * width + (width > 1 ? 1 : 0)];
        }
        if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
            std::fprintf(stderr, "lumhost: no sound (%s); the wall clock paces the frames\n", SDL_GetError());
            return;
        }
        SDL_AudioSpec wanted{};
        wanted.freq = sound.rate;
        wanted.format = AUDIO_F32SYS;
        wanted.channels = 2;
        wanted.samples = 1024;
        device_ = SDL_OpenAudioDevice(nullptr, 0, &wanted, nullptr, 0);
        if (device_ == 0)
            std::fprintf(stderr, "lumhost: no sound (%s); the wall clock paces the frames\n", SDL_GetError());
    }
    ~AudioClock() {
        if (device_ != 0) SDL_CloseAudioDevice(device_);
    }

    void start() {
        started_ = std::chrono::steady_clock::now();
        if (device_ == 0) return;
        SDL_PauseAudioDevice(device_, 1);
        SDL_ClearQueuedAudio(device_);
        if (SDL_QueueAudio(device_, stereo_.data(), static_cast<Uint32>(stereo_.size() * sizeof(float))) != 0)
            throw HostError(std::string("cannot play the sound: ") + SDL_GetError());
        SDL_PauseAudioDevice(device_, 0);
    }

    int64_t position() const {
        if (device_ != 0) {
            const auto queued = static_cast<int64_t>(SDL_GetQueuedAudioSize(device_) / (2 * sizeof(float)));
            return static_cast<int64_t>(stereo_.size() / 2) - queued;
        }
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started_).count();
        return static_cast<int64_t>(seconds * rate_);
    }

private:
    int rate_;
    std::vector<float> stereo_;
    SDL_AudioDeviceID device_ = 0;
    std::chrono::steady_clock::time_point started_;
};

// The window, its renderer and a texture the size of the canvas.
class LiveWindow {
public:
    LiveWindow(const std::string& title, int width, int height) {
        window_ = SDL_CreateWindow(title.c_str(), SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, width, height,
                                   SDL_WINDOW_RESIZABLE);
        if (window_ == nullptr) throw HostError(std::string("cannot open a window: ") + SDL_GetError());
        renderer_ = SDL_CreateRenderer(window_, -1, 0);
        if (renderer_ == nullptr) renderer_ = SDL_CreateRenderer(window_, -1, SDL_RENDERER_SOFTWARE);
        if (renderer_ == nullptr) throw HostError(std::string("cannot draw into the window: ") + SDL_GetError());
        resize(width, height);
    }
    ~LiveWindow() {
        if (texture_ != nullptr) SDL_DestroyTexture(texture_);
        if (renderer_ != nullptr) SDL_DestroyRenderer(renderer_);
        SDL_DestroyWindow(window_);
    }

    LumCanvas& canvas() { return canvas_; }
    SDL_Window* window() { return window_; }

    // A new canvas of the new size keeps what overlaps of the old picture.
    void resize(int width, int height) {
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

    void clear() { std::fill(pixels_.begin(), pixels_.end(), 0u); }

    void present() {
        SDL_UpdateTexture(texture_, nullptr, canvas_.pixels, canvas_.stride);
        SDL_RenderClear(renderer_);
        SDL_RenderCopy(renderer_, texture_, nullptr, nullptr);
        SDL_RenderPresent(renderer_);
    }

private:
    SDL_Window* window_ = nullptr;
    SDL_Renderer* renderer_ = nullptr;
    SDL_Texture* texture_ = nullptr;
    std::vector<uint32_t> pixels_;
    LumCanvas canvas_{0, 0, 0, nullptr};
};

// Applies a key's change to its setting and says what the plug-in applied.
void changeSetting(const PluginModule& plugin, const KeyBinding& binding, SDL_Window* window) {
    const auto current = describeParam(plugin, binding.paramId);
    if (!current) return;
    int32_t value = current->value + binding.step;
    if (current->type == PARAMTYPE_TOGGLE) value = current->value != 0 ? 0 : 1;
    if (current->type == PARAMTYPE_COLOR) {
        const auto colours = playColours();
        const auto at = std::find(colours.begin(), colours.end(), current->value);
        value = (at == colours.end() || at + 1 == colours.end()) ? colours.front() : *(at + 1);
    }
    const auto applied = setParam(plugin, binding.paramId, value);
    if (!applied) return;
    const std::string text = current->name + ": " + formatParamValue(current->type, *applied);
    std::fprintf(stderr, "lumhost: %s\n", text.c_str());
    SDL_SetWindowTitle(window, ("lumhost - " + text).c_str());
}

}  // namespace

int runPlay(const PlayOptions& options) {
    const auto& frames = options.frames;
    PluginModule plugin(frames.plugin.plugin);
    auto source = openSound(frames);
    const auto info = initWithSettings(plugin, frames.plugin);
    const auto sound = decodeAll(*source);
    if (sound.frames() == 0) throw HostError("audio " + source->name() + " holds no sound");
    reportSoundWarnings(*source);
    const int64_t totalFrames = framesFor(sound.frames(), sound.rate, frames.fps);

    SdlSession sdl;
    AudioClock clock(sound);
    LiveWindow live("lumhost - " + fieldText(info.info.longName, sizeof info.info.longName), frames.width, frames.height);
    PluginRun run(plugin);
    std::vector<int8_t> block;
    int64_t next = 0;
    clock.start();
    for (bool open = true; open && !interrupted();) {
        bool changed = false;
        SDL_Event event;
        if (SDL_WaitEventTimeout(&event, 4) != 0) {
            do {
                if (event.type == SDL_QUIT) open = false;
                if (event.type == SDL_WINDOWEVENT && event.window.event == SDL_WINDOWEVENT_SIZE_CHANGED) {
                    live.resize(event.window.data1, event.window.data2);
                    changed = true;
                }
                if (event.type != SDL_KEYDOWN) continue;
                const auto* binding = findKey(event.key.keysym.sym);
                if (binding == nullptr) continue;
                if (binding->action == KeyAction::quit) open = false;
                if (binding->action == KeyAction::step) changeSetting(plugin, *binding, live.window());
                if (binding->action == KeyAction::restart) {
                    run.restart();
                    live.clear();
                    next = 0;
                    clock.start();
                    changed = true;
                }
            } while (SDL_PollEvent(&event) != 0);
        }
        // Every block whose frame has begun on the audio clock, in order.
        const int64_t played = clock.position();
        while (next < totalFrames && frameStart(next, sound.rate, frames.fps) <= played) {
            const int64_t first = frameStart(next, sound.rate, frames.fps);
            const int64_t last = std::min(frameStart(next + 1, sound.rate, frames.fps), sound.frames());
            makeSoundBlock(&sound.samples[static_cast<std::size_t>(first * sound.channels)], static_cast<std::size_t>(last - first),
                           sound.channels, frames.layout, block);
            plugin.displaySoundData(&live.canvas(), block.data(), static_cast<uint32_t>(block.size()));
            ++next;
            changed = true;
        }
        if (changed) live.present();
        if (next >= totalFrames && played >= sound.frames()) open = false;
    }
    return 0;
}

}  // namespace lumhost
