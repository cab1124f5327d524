#include "lumhost/sound/capture_source.h"

#include <SDL2/SDL.h>

#include <chrono>

#include "lumhost/base/host_error.h"
#include "lumhost/sound/live_source.h"

namespace lumhost {
namespace {

constexpr int captureRate = 48000;
// A short device buffer keeps the figure close behind the sound.
constexpr Uint16 captureBufferFrames = 512;

class CaptureSource final : public LiveSource {
public:
    explicit CaptureSource(const SoundDevice& device) : LiveSource(captureRate, 2, 4.0, true), audio_(), name_(device.name) {
        SDL_AudioSpec wanted{};
        wanted.freq = captureRate;
        wanted.format = AUDIO_F32SYS;
        wanted.channels = 2;
        wanted.samples = captureBufferFrames;
        wanted.callback = &CaptureSource::arrived;
        wanted.userdata = this;
        device_ = SDL_OpenAudioDevice(device.name.c_str(), 1, &wanted, nullptr, 0);
        if (device_ == 0) throw HostError("--capture: cannot open '" + device.name + "': " + SDL_GetError());
        SDL_PauseAudioDevice(device_, 0);
    }
    ~CaptureSource() override { SDL_CloseAudioDevice(device_); }
    CaptureSource(const CaptureSource&) = delete;
    CaptureSource& operator=(const CaptureSource&) = delete;

    std::string name() const override { return name_; }

private:
    static void SDLCALL arrived(void* self, Uint8* stream, int bytes) {
        static_cast<CaptureSource*>(self)->put(reinterpret_cast<const float*>(stream),
                                               static_cast<std::size_t>(bytes) / (2 * sizeof(float)));
    }

    // SDL stops a device whose server or hardware has gone away in order;
    // one that has stopped delivering sound without a word (a server that
    // crashed) is gone too: a capture device sends silence, never nothing.
    void poll() override {
        const auto last = lastArrival();
        const bool silent = last && std::chrono::steady_clock::now() - *last > std::chrono::seconds(2);
        if (SDL_GetAudioDeviceStatus(device_) == SDL_AUDIO_STOPPED || silent) close("the capture device '" + name_ + "' is gone");
    }

    SdlAudio audio_;
    std::string name_;
    SDL_AudioDeviceID device_ = 0;
};

}  // namespace

std::unique_ptr<AudioSource> openCapture(const SoundDevice& device) { return std::make_unique<CaptureSource>(device); }

}  // namespace lumhost
