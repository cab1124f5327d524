// The sound of a live run, played through SDL's audio queue as it is
// decoded, and the clock the frames follow: sample frames heard so far.
// Without a sound device the wall clock stands in, so the figure still
// moves in real time.
#pragma once

#include <SDL2/SDL.h>

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace lumhost {

class SoundOutput {
public:
    SoundOutput(int rate, int channels);
    ~SoundOutput();
    SoundOutput(const SoundOutput&) = delete;
    SoundOutput& operator=(const SoundOutput&) = delete;

    // Queues interleaved samples (the source's channels) to be heard next.
    void queue(const float* interleaved, std::size_t frames);
    // Sample frames heard since the last restart.
    int64_t position() const;
    // Silence, an empty queue and the clock back at 0.
    void restart();

private:
    int rate_;
    int channels_;
    SDL_AudioDeviceID device_ = 0;
    int64_t queued_ = 0;  // sample frames handed to the device since the restart
    std::vector<float> stereo_;
    std::chrono::steady_clock::time_point started_ = std::chrono::steady_clock::now();
};

}  // namespace lumhost
