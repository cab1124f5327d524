// Sound that arrives as it is made: a capture device, a FIFO, a pipe. A
// producer (the device's callback or a reader thread) converts what arrives
// to interleaved floats and puts it in a ring of a few seconds; the host
// takes it out as fast as it can. A host that falls behind never stalls the
// producer: once the ring is full the oldest sound is dropped and counted.
#pragma once

#include <array>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "lumhost/sound/audio_source.h"

namespace lumhost {

class LiveSource : public AudioSource {
public:
    // A paced source (a device) drops its oldest sound when the ring is full;
    // one that is not (a pipe) makes its producer wait, and so its writer.
    LiveSource(int rate, int channels, double ringSeconds, bool paced);
    ~LiveSource() override;

    int channels() const override { return channels_; }
    int sampleRate() const override { return rate_; }
    int64_t frames() const override { return 0; }  // unknown: it lasts until it stops
    bool live() const override { return true; }
    bool paced() const override { return paced_; }

    // Waits for `count` sample frames, or fewer once the sound has ended, the
    // device is lost or the run is interrupted.
    std::size_t read(float* interleaved, std::size_t count) override;
    // Sample frames waiting, without waiting.
    int64_t available() const override;
    // Sample frames the ring had to drop.
    int64_t dropped() const override;
    // Why the sound stopped, when it was not the source's own end.
    std::optional<std::string> failure() const override;
    // Closed and all read, or lost.
    bool stopped() const override;
    // Closed: what is waiting is all there will be.
    bool ended() const override;
    // When the sample frame with this index (counted from the first that
    // arrived) came in; nothing once it is too long ago to remember.
    std::optional<std::chrono::steady_clock::time_point> arrivalOf(int64_t frame) const override;

protected:
    // For the producer: puts converted samples in; when the ring is full a
    // paced source drops the oldest, another waits for room (false: it is
    // being destroyed and should stop).
    bool put(const float* interleaved, std::size_t frames);
    // For the producer's owner, before it stops the producer: no more waiting for room.
    void release();
    // For the producer: no more sound; `failure` says why, if it was not the end.
    void close(std::optional<std::string> failure = std::nullopt);
    // Called while read() waits, every few milliseconds, and by watch(); a
    // device checks it is still there.
    virtual void poll() {}
    // When sound last came in; nothing before the first.
    std::optional<std::chrono::steady_clock::time_point> lastArrival() const;

public:
    void watch() override { poll(); }

private:
    int rate_;
    int channels_;
    bool paced_;
    bool released_ = false;
    mutable std::mutex lock_;
    std::condition_variable arrived_;
    std::condition_variable room_;
    std::vector<float> ring_;
    std::size_t head_ = 0;   // index of the oldest sample frame
    std::size_t filled_ = 0; // sample frames in the ring
    int64_t dropped_ = 0;
    int64_t received_ = 0;  // sample frames put in since the start
    int64_t puts_ = 0;
    struct Arrival {
        int64_t end = 0;  // received_ after this put
        std::chrono::steady_clock::time_point at;
    };
    std::array<Arrival, 512> arrivals_{};  // the latest puts, oldest overwritten
    std::size_t nextArrival_ = 0;
    bool closed_ = false;
    std::optional<std::string> failure_;
};

}  // namespace lumhost
