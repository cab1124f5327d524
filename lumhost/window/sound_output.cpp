#include "lumhost/window/sound_output.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

#include "lumhost/base/host_error.h"

namespace lumhost {

SoundOutput::SoundOutput(int rate, int channels) : rate_(rate), channels_(channels) {
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
        std::fprintf(stderr, "lumhost: no sound (%s); the wall clock paces the frames\n", SDL_GetError());
        return;
    }
    SDL_AudioSpec wanted{}, obtained{};
    wanted.freq = rate;
    wanted.format = AUDIO_F32SYS;
    wanted.channels = 2;
    wanted.samples = 1024;
    device_ = SDL_OpenAudioDevice(nullptr, 0, &wanted, &obtained, 0);
    if (device_ == 0) {
        std::fprintf(stderr, "lumhost: no sound (%s); the wall clock paces the frames\n", SDL_GetError());
    } else {
        // SDL takes one buffer of obtained.samples from the queue at a time.
        // Disk and dummy output consume it as they go; a sound server (or
        // ALSA's own ring) holds about one more buffer before it is heard.
        const char* driver = SDL_GetCurrentAudioDriver();
        const bool virtualOutput = driver != nullptr && (std::strcmp(driver, "disk") == 0 || std::strcmp(driver, "dummy") == 0);
        buffer_ = obtained.samples;
        latency_ = obtained.samples * (virtualOutput ? 1 : 2);
    }
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
        stereo_[2 * i] = interleaved[i * width] * gain_;
        stereo_[2 * i + 1] = interleaved[i * width + (width > 1 ? 1 : 0)] * gain_;
    }
    if (SDL_QueueAudio(device_, stereo_.data(), static_cast<Uint32>(stereo_.size() * sizeof(float))) != 0)
        throw HostError(std::string("cannot play the sound: ") + SDL_GetError());
    queued_ += static_cast<int64_t>(frames);
}

int64_t SoundOutput::position() const {
    if (device_ != 0) {
        const auto waiting = static_cast<int64_t>(SDL_GetQueuedAudioSize(device_) / (2 * sizeof(float)));
        // What left the queue is heard once the device has played what it
        // holds. SDL takes a whole buffer at a time, so between two takes
        // the clock runs on by the wall clock, up to one buffer. After the
        // last of the sound has left, it runs on to its end.
        const auto now = std::chrono::steady_clock::now();
        const int64_t taken = queued_ - waiting;
        if (taken != lastTaken_) {
            lastTaken_ = taken;
            lastTakenAt_ = now;
        }
        const auto since = static_cast<int64_t>(std::chrono::duration<double>(now - lastTakenAt_).count() * rate_);
        int64_t heard = taken - latency_ + (paused_ ? 0 : std::min<int64_t>(since, buffer_));
        if (waiting == 0 && !paused_ && queued_ > start_) {
            if (!drained_) {
                drained_ = true;
                drainedAt_ = now;
                drainedFrom_ = heard;
            }
            heard = std::min(queued_, drainedFrom_ + static_cast<int64_t>(std::chrono::duration<double>(now - drainedAt_).count() * rate_));
        } else {
            drained_ = false;
        }
        return std::max(heard, start_);
    }
    double seconds = before_;
    if (!paused_) seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - started_).count();
    return static_cast<int64_t>(seconds * rate_);
}

void SoundOutput::restart(int64_t frame) {
    started_ = std::chrono::steady_clock::now();
    before_ = static_cast<double>(frame) / rate_;
    queued_ = frame;
    start_ = frame;
    drained_ = false;
    if (device_ == 0) return;
    SDL_ClearQueuedAudio(device_);
    SDL_PauseAudioDevice(device_, paused_ ? 1 : 0);
}

void SoundOutput::pause(bool paused) {
    if (paused == paused_) return;
    if (paused) before_ += std::chrono::duration<double>(std::chrono::steady_clock::now() - started_).count();
    started_ = std::chrono::steady_clock::now();
    lastTakenAt_ = started_;  // the wall clock between takes counts from the resume
    paused_ = paused;
    if (device_ != 0) SDL_PauseAudioDevice(device_, paused ? 1 : 0);
}

}  // namespace lumhost
