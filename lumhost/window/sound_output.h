// The sound of a play run, played through SDL's audio queue as it is
// decoded, and the clock the frames follow: sample frames heard so far,
// counting what the device still holds after taking it from the queue.
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
    // Sample frames heard since the last restart: queued, less what waits
    // in the queue and what the device has taken but not yet played.
    int64_t position() const;
    // Silence, an empty queue and the clock at `frame`.
    void restart(int64_t frame = 0);
    // Holds the clock and the sound where they are, or lets them run on.
    void pause(bool paused);
    bool paused() const { return paused_; }
    // Gain for what is queued from now on, 0 to 1.
    void setGain(float gain) { gain_ = gain; }
    // Sample frames between leaving SDL's queue and being heard.
    int deviceLatency() const { return latency_; }
    bool hasDevice() const { return device_ != 0; }

private:
    int rate_;
    int channels_;
    SDL_AudioDeviceID device_ = 0;
    int latency_ = 0;
    int buffer_ = 0;  // sample frames SDL takes from the queue at a time
    int64_t queued_ = 0;  // the sample frame after the last one handed to the device
    int64_t start_ = 0;   // the frame the clock was restarted at
    // The moment the queue ran dry, and the position then.
    mutable bool drained_ = false;
    mutable std::chrono::steady_clock::time_point drainedAt_;
    mutable int64_t drainedFrom_ = 0;
    // When SDL last took a buffer, and what it had taken then.
    mutable int64_t lastTaken_ = -1;
    mutable std::chrono::steady_clock::time_point lastTakenAt_;
    float gain_ = 1;
    bool paused_ = false;
    std::vector<float> stereo_;
    // The wall clock without a device: time run before the last pause, and since.
    std::chrono::steady_clock::time_point started_ = std::chrono::steady_clock::now();
    double before_ = 0;
};

}  // namespace lumhost
