// A video's sound track: the sound encoder, with the frames' samples
// converted to its format and rate (libswresample) and queued until they
// fill its frames; at the end the track is made as long as the video, so
// players see sound and pictures end together.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "lumhost/media/media_handles.h"
#include "lumhost/pictures/encode/video_settings.h"
#include "lumhost/pictures/frame_sink.h"

namespace lumhost {

class SoundTrack {
public:
    // Takes each frame the track gives the encoder; null is the end.
    using Send = std::function<void(const AVFrame*)>;

    // Opens the encoder at the settings' rate, else at the sound's if the
    // encoder takes it, else at the nearest it takes (above first); throws
    // HostError for settings it refuses.
    SoundTrack(const SoundFormat& sound, const VideoSettings& settings, bool globalHeader);

    AVCodecContext* codec() const { return codec_.get(); }
    int channels() const { return channels_; }

    // One video frame's interleaved samples in; whole encoder frames out.
    void take(const std::vector<float>& sound, const Send& send);

    // The rest of the track, to the length of `videoFrames` at `fps`: what
    // the resampler still holds, silence where the sound ran short, the
    // short last frame, then the encoder's end. Sound still held past that
    // length (a sample or two of rounding) is dropped.
    void finish(int64_t videoFrames, int fps, const Send& send);

    // Samples given to the encoder so far, at its rate.
    int64_t samplesSent() const { return samplesSent_; }

private:
    void resample(const uint8_t** input, int frames);
    // Sends whole frames from the queue, no more than `wanted` samples in
    // all; at the end also the short last one.
    void drain(int64_t wanted, bool end, const Send& send);
    void queueSilence(int64_t samples);

    CodecPtr codec_;
    ResamplerPtr resampler_;
    FifoPtr fifo_;
    int channels_ = 0;
    int frameSize_ = 0;
    int64_t samplesSent_ = 0;
};

}  // namespace lumhost
