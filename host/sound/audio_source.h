// Where the sound comes from: a decoded file or the built-in demo signal,
// read front to back as interleaved float samples in -1..1.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace lumhost {

class AudioSource {
public:
    virtual ~AudioSource() = default;
    virtual int channels() const = 0;
    virtual int sampleRate() const = 0;
    // Sample frames in the whole source, as far as the decoder knows them.
    virtual int64_t frames() const = 0;
    // Reads up to `count` sample frames into `interleaved` (count x channels
    // floats); 0 at the end. Throws HostError if the data cannot be decoded.
    virtual std::size_t read(float* interleaved, std::size_t count) = 0;
    // A name for messages.
    virtual std::string name() const = 0;
};

// Opens an audio file with libsndfile (WAV, FLAC, Ogg Vorbis/Opus, MP3, ...);
// throws HostError if it is missing, unreadable, corrupt, unsupported or empty.
std::unique_ptr<AudioSource> openAudioFile(const std::string& path);

}  // namespace lumhost
