// Audio and video files read through libavformat and libavcodec: one audio
// stream decoded packet by packet and converted by libswresample to
// interleaved floats in the usual channel order for their count, mono as it
// is and anything wider mixed down to stereo by the downmix every front end
// shares. Only a packet's worth of sound is held
// at a time, so memory stays the same whatever the length.
extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/opt.h>
#include <libswresample/swresample.h>
}

#include <sys/stat.h>

#include <cerrno>
#include <cmath>
#include <cstring>

#include "lumhost/base/host_error.h"
#include "lumhost/base/interrupt.h"
#include "lumhost/base/time_text.h"
#include "lumhost/media/media_handles.h"
#include "lumhost/media/media_log.h"
#include "lumhost/sound/audio_source.h"
#include "rules/samples.h"

namespace lumhost {
namespace {

// An early end is worth a word only when it is more than a few packets short.
constexpr double earlyEndTolerance = 0.25;

class MediaSource final : public AudioSource {
public:
    MediaSource(const std::string& path, const MediaRequest& request) : path_(path) {
        quietMediaLibraries();
        open(request);
        prime(request.start);
    }
    ~MediaSource() override { av_channel_layout_uninit(&inLayout_); }
    MediaSource(const MediaSource&) = delete;
    MediaSource& operator=(const MediaSource&) = delete;

    int channels() const override { return channels_; }
    int sampleRate() const override { return rate_; }
    int64_t frames() const override { return std::max<int64_t>(expectedFrames_ - position_ + buffered(), 0); }
    std::string name() const override { return path_; }

    std::size_t read(float* interleaved, std::size_t count) override {
        std::size_t done = 0;
        while (done < count) {
            if (buffered() == 0 && !decodeMore()) break;
            const std::size_t take = std::min(count - done, static_cast<std::size_t>(buffered()));
            const auto width = static_cast<std::size_t>(channels_);
            std::memcpy(interleaved + done * width, pending_.data() + taken_ * width, take * width * sizeof(float));
            taken_ += take;
            done += take;
        }
        return done;
    }

    std::vector<std::string> warnings() const override {
        std::vector<std::string> lines;
        if (damaged_ > 0)
            lines.push_back(std::to_string(damaged_) + (damaged_ == 1 ? " damaged packet" : " damaged packets") +
                            " skipped, first at " + formatTime(firstDamage_));
        if (endedEarly_) lines.push_back("the file ends early at " + formatTime(endSeconds_));
        return lines;
    }

private:
    int64_t buffered() const { return static_cast<int64_t>(pending_.size()) / channels_ - static_cast<int64_t>(taken_); }

    void fail(const std::string& what) const { throw HostError("cannot open audio " + path_ + ": " + what); }

    void open(const MediaRequest& request) {
        struct stat status {};
        if (::stat(path_.c_str(), &status) != 0) fail(std::strerror(errno));
        if (S_ISDIR(status.st_mode)) fail("is a folder");
        AVFormatContext* format = nullptr;
        // "file:" keeps a name with a colon from being read as a protocol.
        if (const int error = avformat_open_input(&format, ("file:" + path_).c_str(), nullptr, nullptr); error < 0)
            fail(error == AVERROR_INVALIDDATA ? "not a sound or video file this build can read" : mediaErrorText(error));
        format_.reset(format);
        if (const int error = avformat_find_stream_info(format, nullptr); error < 0) fail(mediaErrorText(error));

        std::vector<int> audioStreams;
        for (unsigned i = 0; i < format->nb_streams; ++i)
            if (format->streams[i]->codecpar->codec_type == AVMEDIA_TYPE_AUDIO) audioStreams.push_back(static_cast<int>(i));
        if (audioStreams.empty()) throw HostError(path_ + " has no audio stream");
        if (request.audioStream) {
            const int wanted = *request.audioStream;
            if (wanted < 0 || wanted >= static_cast<int>(audioStreams.size()))
                throw HostError("--audio-stream " + std::to_string(wanted) + ": " + path_ + " has " +
                                std::to_string(audioStreams.size()) + " audio stream" + (audioStreams.size() == 1 ? "" : "s") +
                                ", numbered from 0");
            streamIndex_ = audioStreams[static_cast<std::size_t>(wanted)];
        } else {
            streamIndex_ = av_find_best_stream(format, AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0);
            if (streamIndex_ < 0) streamIndex_ = audioStreams.front();
        }
        stream_ = format->streams[streamIndex_];
        for (unsigned i = 0; i < format->nb_streams; ++i)
            if (static_cast<int>(i) != streamIndex_) format->streams[i]->discard = AVDISCARD_ALL;

        const AVCodecParameters* parameters = stream_->codecpar;
        const AVCodec* codec = avcodec_find_decoder(parameters->codec_id);
        if (codec == nullptr)
            throw HostError(path_ + ": no decoder for its audio (" + avcodec_get_name(parameters->codec_id) + ")");
        decoder_.reset(avcodec_alloc_context3(codec));
        if (!decoder_ || avcodec_parameters_to_context(decoder_.get(), parameters) < 0) fail("out of memory");
        decoder_->pkt_timebase = stream_->time_base;
        if (const int error = avcodec_open2(decoder_.get(), codec, nullptr); error < 0)
            throw HostError(path_ + ": cannot decode its audio (" + codec->name + "): " + mediaErrorText(error));
        rate_ = decoder_->sample_rate;
        channels_ = lumrules::mixedChannels(decoder_->ch_layout.nb_channels);
        if (rate_ < 1 || decoder_->ch_layout.nb_channels < 1) fail("no channels or no sample rate");

        // What the container says the length is, for progress and to notice an early end.
        if (stream_->duration != AV_NOPTS_VALUE && stream_->duration > 0)
            expectedSeconds_ = static_cast<double>(stream_->duration) * av_q2d(stream_->time_base);
        else if (format->duration > 0)
            expectedSeconds_ = static_cast<double>(format->duration) / AV_TIME_BASE;
        // A length guessed from the bit rate says nothing about an early end.
        lengthIsKnown_ = expectedSeconds_ > 0 && format->duration_estimation_method != AVFMT_DURATION_FROM_BITRATE;
        expectedFrames_ = static_cast<int64_t>(std::llround(expectedSeconds_ * rate_));
        packet_.reset(av_packet_alloc());
        frame_.reset(av_frame_alloc());
        if (!packet_ || !frame_) fail("out of memory");
    }

    // Seeks near `start`, then decodes up to the first sound at or after it,
    // so that every failure to find sound shows before any output exists.
    void prime(double start) {
        startFrame_ = static_cast<int64_t>(std::llround(start * rate_));
        if (start > 0) {
            if (lengthIsKnown_ && start >= expectedSeconds_)
                throw HostError("--start " + formatTime(start) + " is past the end of " + path_ + " (" +
                                formatTime(expectedSeconds_) + ")");
            const auto target = static_cast<int64_t>(start / av_q2d(stream_->time_base)) +
                                (stream_->start_time != AV_NOPTS_VALUE ? stream_->start_time : 0);
            // Not every file seeks; those decode from the beginning instead.
            seeked_ = avformat_seek_file(format_.get(), streamIndex_, INT64_MIN, target, target, 0) >= 0;
        }
        if (buffered() == 0 && !decodeMore()) {
            if (start > 0 && reachedSound_)
                throw HostError("--start " + formatTime(start) + " is past the end of " + path_ + " (" +
                                formatTime(static_cast<double>(position_) / rate_) + ")");
            if (packets_ == 0 && damaged_ == 0) throw HostError("audio " + path_ + " holds no sound");
            throw HostError(path_ + " yields no decodable sound" +
                            (damaged_ > 0 ? " (" + std::to_string(damaged_) + " damaged packets)" : std::string()));
        }
    }

    // Decodes until there is sound past the start point; false at the end.
    bool decodeMore() {
        pending_.clear();
        taken_ = 0;
        while (pending_.empty()) {
            throwIfInterrupted();
            const int received = avcodec_receive_frame(decoder_.get(), frame_.get());
            if (received == 0) {
                convertFrame();
                continue;
            }
            if (received == AVERROR_EOF) {
                noteEnd();
                return false;
            }
            if (received != AVERROR(EAGAIN)) {
                noteDamage(AV_NOPTS_VALUE);
                continue;
            }
            if (draining_) {
                noteEnd();
                return false;
            }
            feedPacket();
        }
        return true;
    }

    void feedPacket() {
        const int result = av_read_frame(format_.get(), packet_.get());
        if (result < 0) {
            // Anything but a clean end of file is a file cut short or unreadable.
            if (result != AVERROR_EOF) readFailed_ = true;
            draining_ = true;
            avcodec_send_packet(decoder_.get(), nullptr);
            return;
        }
        if (packet_->stream_index == streamIndex_) {
            ++packets_;
            if (packet_->pts != AV_NOPTS_VALUE) {
                const int64_t origin = stream_->start_time != AV_NOPTS_VALUE ? stream_->start_time : 0;
                streamReached_ = std::max(streamReached_, static_cast<double>(packet_->pts + packet_->duration - origin) *
                                                              av_q2d(stream_->time_base));
            }
            const int sent = avcodec_send_packet(decoder_.get(), packet_.get());
            if (sent < 0 && sent != AVERROR(EAGAIN)) noteDamage(packet_->pts);
        }
        av_packet_unref(packet_.get());
    }

    void convertFrame() {
        reachedSound_ = true;
        if (frame_->nb_samples <= 0) return;
        configureResampler();
        if (position_ == 0 && seeked_ && frame_->best_effort_timestamp != AV_NOPTS_VALUE) {
            // After a seek the first frame's time places us in the file.
            const int64_t origin = stream_->start_time != AV_NOPTS_VALUE ? stream_->start_time : 0;
            const double seconds = static_cast<double>(frame_->best_effort_timestamp - origin) * av_q2d(stream_->time_base);
            position_ = std::max<int64_t>(static_cast<int64_t>(std::llround(seconds * rate_)), 0);
            seeked_ = false;
        }
        const int room = swr_get_out_samples(resampler_.get(), frame_->nb_samples);
        converted_.resize(static_cast<std::size_t>(std::max(room, 0)) * static_cast<std::size_t>(convertedChannels_));
        uint8_t* out[] = {reinterpret_cast<uint8_t*>(converted_.data())};
        const int got = swr_convert(resampler_.get(), out, room, const_cast<const uint8_t**>(frame_->extended_data),
                                    frame_->nb_samples);
        av_frame_unref(frame_.get());
        if (got < 0) throw HostError("cannot convert the sound of " + path_ + ": " + mediaErrorText(got));
        // Drop what lies before the start point.
        int64_t first = 0;
        if (position_ < startFrame_) first = std::min<int64_t>(startFrame_ - position_, got);
        position_ += got;
        lumrules::mixDown(converted_.data() + first * convertedChannels_, static_cast<std::size_t>(got - first), convertedChannels_,
                          pending_);
    }

    // The resampler follows the stream: set up on the first frame and again
    // whenever the decoder's layout, format or rate changes.
    void configureResampler() {
        if (resampler_ && av_channel_layout_compare(&frame_->ch_layout, &inLayout_) == 0 && frame_->format == inFormat_ &&
            frame_->sample_rate == inRate_)
            return;
        av_channel_layout_uninit(&inLayout_);
        if (frame_->ch_layout.order == AV_CHANNEL_ORDER_UNSPEC)
            av_channel_layout_default(&inLayout_, frame_->ch_layout.nb_channels);
        else
            av_channel_layout_copy(&inLayout_, &frame_->ch_layout);
        inFormat_ = frame_->format;
        inRate_ = frame_->sample_rate;
        // The usual order for the count (swr maps the file's own layout onto
        // it), which the shared downmix reads wider sound in.
        AVChannelLayout outLayout{};
        convertedChannels_ = inLayout_.nb_channels;
        av_channel_layout_default(&outLayout, convertedChannels_);
        SwrContext* resampler = nullptr;
        const int made = swr_alloc_set_opts2(&resampler, &outLayout, AV_SAMPLE_FMT_FLT, rate_, &inLayout_,
                                             static_cast<AVSampleFormat>(inFormat_), inRate_, 0, nullptr);
        resampler_.reset(resampler);
        if (made < 0 || swr_init(resampler) < 0) throw HostError("cannot convert the sound of " + path_);
    }

    void noteDamage(int64_t pts) {
        if (damaged_++ == 0) {
            const int64_t origin = stream_->start_time != AV_NOPTS_VALUE ? stream_->start_time : 0;
            firstDamage_ = pts != AV_NOPTS_VALUE ? static_cast<double>(pts - origin) * av_q2d(stream_->time_base)
                                                 : static_cast<double>(position_) / rate_;
        }
    }

    // The file's own timestamps say how far it goes: sound lost to damaged
    // packets in the middle is not an early end.
    void noteEnd() {
        const double reached = std::max(streamReached_, static_cast<double>(position_) / rate_);
        if (readFailed_ || (lengthIsKnown_ && expectedSeconds_ - reached > earlyEndTolerance)) {
            endedEarly_ = position_ > 0;
            endSeconds_ = reached;
        }
    }

    std::string path_;
    DemuxerPtr format_;
    CodecPtr decoder_;
    PacketPtr packet_;
    FramePtr frame_;
    ResamplerPtr resampler_;
    AVStream* stream_ = nullptr;
    int streamIndex_ = -1;
    AVChannelLayout inLayout_{};
    int inFormat_ = -1;
    int inRate_ = 0;
    int rate_ = 0;
    int channels_ = 0;
    int convertedChannels_ = 0;  // as the resampler gives them, before the downmix
    double expectedSeconds_ = 0;
    bool lengthIsKnown_ = false;
    int64_t expectedFrames_ = 0;
    int64_t startFrame_ = 0;
    int64_t position_ = 0;  // sample frames of the file decoded so far, counted from its beginning
    bool seeked_ = false;
    bool draining_ = false;
    bool readFailed_ = false;
    bool reachedSound_ = false;
    bool endedEarly_ = false;
    double streamReached_ = 0;  // seconds: the end of the latest packet read
    double endSeconds_ = 0;
    int64_t packets_ = 0;
    int damaged_ = 0;
    double firstDamage_ = 0;
    std::vector<float> converted_;
    std::vector<float> pending_;
    std::size_t taken_ = 0;
};

}  // namespace

std::unique_ptr<AudioSource> openMediaFile(const std::string& path, const MediaRequest& request) {
    return std::make_unique<MediaSource>(path, request);
}

}  // namespace lumhost
