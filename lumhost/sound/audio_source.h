// Where the sound comes from: a decoded file, the built-in demo signal, or
// live sound as it is made (a capture device, raw PCM from a FIFO or a pipe),
// read front to back as interleaved float samples in -1..1, one or two
// channels.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace lumhost {

class AudioSource {
public:
    virtual ~AudioSource() = default;
    virtual int channels() const = 0;
    virtual int sampleRate() const = 0;
    // Sample frames still to come, as far as the decoder knows them (for
    // progress; the sound may end sooner or later).
    virtual int64_t frames() const = 0;
    // Reads up to `count` sample frames into `interleaved` (count x channels
    // floats); 0 at the end. Throws HostError if the data cannot be read.
    virtual std::size_t read(float* interleaved, std::size_t count) = 0;
    // A name for messages.
    virtual std::string name() const = 0;
    // What went wrong on the way without stopping the sound (damaged
    // packets, an early end), one line each, once the end is reached.
    virtual std::vector<std::string> warnings() const { return {}; }

    // Live sources (a capture device, a FIFO) deliver sound as it is made:
    // read() waits for it, frames() is 0, and these say how it goes.
    virtual bool live() const { return false; }
    // Live and at its own pace (a device): it will not wait for a host that falls behind.
    virtual bool paced() const { return false; }
    virtual int64_t available() const { return 0; }
    virtual int64_t dropped() const { return 0; }
    virtual std::optional<std::string> failure() const { return std::nullopt; }
    virtual bool stopped() const { return false; }
    // No more sound will arrive (the writer finished, the device is gone):
    // what is waiting is all there is, and may be less than a block.
    virtual bool ended() const { return false; }
    // Lets a device notice it is gone, for hosts that do not wait in read().
    virtual void watch() {}
    virtual std::optional<std::chrono::steady_clock::time_point> arrivalOf(int64_t /*frame*/) const { return std::nullopt; }
};

// Prints what the source noticed on the way (damaged packets, an early end).
void reportSoundWarnings(const AudioSource& source);

// Which part of a file to decode.
struct MediaRequest {
    std::optional<int> audioStream;  // among the file's audio streams, from 0; nothing: the best one
    double start = 0;                // seconds from the beginning
};

// Opens any audio or video file that the media libraries demux and decode
// and reads its audio stream, more than two channels mixed down to stereo.
// Throws HostError, before any sound is read, if the file does not open,
// has no audio stream (or not the one asked for), yields no decodable sound,
// or ends before `start`.
std::unique_ptr<AudioSource> openMediaFile(const std::string& path, const MediaRequest& request = {});

// The part of `source` from `skip` sample frames on, at most `keep` of them.
std::unique_ptr<AudioSource> cutSound(std::unique_ptr<AudioSource> source, int64_t skip, std::optional<int64_t> keep);

}  // namespace lumhost
