#include "lumhost/pictures/encode/sound_track.h"

#include <algorithm>

extern "C" {
#include <libavutil/audio_fifo.h>
#include <libavutil/channel_layout.h>
#include <libswresample/swresample.h>
}

#include "lumhost/base/host_error.h"
#include "lumhost/media/media_log.h"
#include "lumhost/pictures/encode/encoder_setup.h"

namespace lumhost {
namespace {

// The rate itself if the encoder takes it, else the lowest it takes above it, else its highest.
int supportedRate(const AVCodec* codec, int rate) {
    if (codec->supported_samplerates == nullptr) return rate;
    int above = 0, highest = 0;
    for (const int* r = codec->supported_samplerates; *r != 0; ++r) {
        if (*r == rate) return rate;
        if (*r > rate && (above == 0 || *r < above)) above = *r;
        highest = std::max(highest, *r);
    }
    return above != 0 ? above : highest;
}

}  // namespace

SoundTrack::SoundTrack(const SoundFormat& sound, const VideoSettings& settings, bool globalHeader) {
    const AVCodec* codec = findEncoder(settings.audioEncoder);
    codec_.reset(avcodec_alloc_context3(codec));
    if (!codec_) throw HostError("out of memory for the audio encoder");
    AVCodecContext* a = codec_.get();
    channels_ = sound.channels;
    a->sample_fmt = settings.sampleFormat;
    a->sample_rate = settings.sampleRate > 0 ? settings.sampleRate : supportedRate(codec, sound.rate);
    av_channel_layout_default(&a->ch_layout, sound.channels);
    a->time_base = AVRational{1, a->sample_rate};
    if (settings.audioBitRate > 0) a->bit_rate = settings.audioBitRate;
    if (globalHeader) a->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    openEncoder(a, codec, nullptr, settings.audioEncoder);

    AVChannelLayout inputLayout;
    av_channel_layout_default(&inputLayout, sound.channels);
    SwrContext* resampler = nullptr;
    int result = swr_alloc_set_opts2(&resampler, &a->ch_layout, a->sample_fmt, a->sample_rate, &inputLayout,
                                     AV_SAMPLE_FMT_FLT, sound.rate, 0, nullptr);
    av_channel_layout_uninit(&inputLayout);
    if (result < 0 || resampler == nullptr) throw HostError("cannot convert the sound: " + mediaFailure(result));
    resampler_.reset(resampler);
    result = swr_init(resampler_.get());
    if (result < 0) throw HostError("cannot convert the sound: " + mediaFailure(result));
    frameSize_ = a->frame_size > 0 ? a->frame_size : 1024;
    fifo_.reset(av_audio_fifo_alloc(a->sample_fmt, channels_, frameSize_ * 4));
    if (!fifo_) throw HostError("out of memory for the sound");
}

void SoundTrack::take(const std::vector<float>& sound, const Send& send) {
    const auto frames = static_cast<int>(sound.size() / static_cast<std::size_t>(channels_));
    const auto* input = reinterpret_cast<const uint8_t*>(sound.data());
    resample(&input, frames);
    drain(INT64_MAX, false, send);
}

void SoundTrack::finish(int64_t videoFrames, int fps, const Send& send) {
    resample(nullptr, 0);
    const int64_t wanted = av_rescale(videoFrames, codec_->sample_rate, fps);
    queueSilence(wanted - samplesSent_ - av_audio_fifo_size(fifo_.get()));
    drain(wanted, true, send);
    send(nullptr);
}

void SoundTrack::resample(const uint8_t** input, int frames) {
    const int room = swr_get_out_samples(resampler_.get(), frames);
    if (room <= 0) return;
    uint8_t** output = nullptr;
    int result = av_samples_alloc_array_and_samples(&output, nullptr, channels_, room, codec_->sample_fmt, 0);
    if (result < 0) throw HostError("out of memory for the sound");
    const int got = swr_convert(resampler_.get(), output, room, input, frames);
    if (got > 0) result = av_audio_fifo_write(fifo_.get(), reinterpret_cast<void**>(output), got);
    av_freep(&output[0]);
    av_freep(&output);
    if (got < 0) throw HostError("cannot convert the sound: " + mediaFailure(got));
    if (result < 0) throw HostError("out of memory for the sound");
}

void SoundTrack::queueSilence(int64_t samples) {
    if (samples <= 0) return;
    uint8_t** silence = nullptr;
    if (av_samples_alloc_array_and_samples(&silence, nullptr, channels_, static_cast<int>(samples), codec_->sample_fmt, 0) < 0)
        throw HostError("out of memory for the sound");
    av_samples_set_silence(silence, 0, static_cast<int>(samples), channels_, codec_->sample_fmt);
    const int result = av_audio_fifo_write(fifo_.get(), reinterpret_cast<void**>(silence), static_cast<int>(samples));
    av_freep(&silence[0]);
    av_freep(&silence);
    if (result < 0) throw HostError("out of memory for the sound");
}

void SoundTrack::drain(int64_t wanted, bool end, const Send& send) {
    for (;;) {
        const int64_t left = wanted - samplesSent_;
        const int available = av_audio_fifo_size(fifo_.get());
        const int take = static_cast<int>(std::min<int64_t>({left, available, frameSize_}));
        if (take <= 0) return;
        if (take < frameSize_ && !end) return;
        FramePtr frame = newFrame();
        frame->format = codec_->sample_fmt;
        frame->sample_rate = codec_->sample_rate;
        frame->nb_samples = take;
        av_channel_layout_copy(&frame->ch_layout, &codec_->ch_layout);
        // An encoder that takes no short last frame gets silence after the sound.
        if (take < frameSize_ && !(codec_->codec->capabilities & AV_CODEC_CAP_SMALL_LAST_FRAME))
            frame->nb_samples = frameSize_;
        if (av_frame_get_buffer(frame.get(), 0) < 0) throw HostError("out of memory for the sound");
        av_samples_set_silence(frame->data, 0, frame->nb_samples, channels_, codec_->sample_fmt);
        if (av_audio_fifo_read(fifo_.get(), reinterpret_cast<void**>(frame->data), take) != take)
            throw HostError("lost sound in the audio queue");
        frame->pts = samplesSent_;
        samplesSent_ += take;
        send(frame.get());
    }
}

}  // namespace lumhost
