#include "host/live/sound_output.h"

#include <cstdio>
#include <string>

#include "host/base/host_error.h"

namespace lumhost {

SoundOutput::SoundOutput(int rate, int channels) : rate_(rate), channels_(channels) {
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
        std::fprintf(stderr, "lumhost: no sound (%s); the wall clock paces the frames\n", SDL_GetError());
        return;
    }
    SDL_AudioSpec wanted{};
    wanted.freq = rate;
    wanted.format = AUDIO_F32SYS;
    wanted.channels = 2;
    wanted.samples = 1024;
    device_ = SDL_OpenAudioDevice(nullptr, 0, &wanted, nullptr, 0);
    if (device_ == 0) std::fprintf(stderr, "lumhost: no sound (%s); the wall clock paces the frames\n", SDL_GetError());
    restart();
}

SoundOutput::~SoundOutput() {
    if (device_ != 0) SDL_CloseAudioDevice(device_);
}

void SoundOutput::queue(const float* interleaved, std::size_t frames) {
    if (device_ == 0) return;
    // Left and right as the plug-in's block sees them; mono goes to both.
    stereo_.resize(2 * frames);
    const auto width = static_cast<std::size_t>(channels_);
    for (std::size_t i = 0; i < frames; ++i) {
        stereo_[2 * i] = interleaved[i * width];
        stereo_[2 * i + 1] = interleaved[i * width + (width > 1 ? 1 : 0)];
    }
    if (SDL_QueueAudio(device_, stereo_.data(), static_cast<Uint32>(stereo_.size() * sizeof(float))) != 0)
        throw HostError(std::string("cannot play the sound: ") + SDL_GetError());
    queued_ += static_cast<int64_t>(frames);
}

int64_t SoundOutput::position() const {
    if (device_ != 0) return queued_ - static_cast<int64_t>(SDL_GetQueuedAudioSize(device_) / (2 * sizeof(float)));
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started_).count();
    return static_cast<int64_t>(seconds * rate_);
}

void SoundOutput::restart() {
    started_ = std::chrono::steady_clock::now();
    queued_ = 0;
    if (device_ == 0) return;
    SDL_ClearQueuedAudio(device_);
    SDL_PauseAudioDevice(device_, 0);
}

}  // namespace lumhost
