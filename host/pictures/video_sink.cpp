// Video encoded in-process with libavcodec and written with libavformat:
// .mp4 (H.264 + AAC), .mkv (H.264 + FLAC), .webm (VP9 + Opus), .gif.
//
// The caller's thread turns each canvas into the encoder's picture, touching
// only what changed since the frame before, and hands a reference to it,
// with the frame's sound, through a short queue to one worker thread that
// feeds the encoders (which run threads of their own) and the muxer. The
// queue is bounded: a caller that runs ahead waits.
#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <csignal>
#include <chrono>
#include <condition_variable>
#include <cstdarg>
#include <cstring>
#include <deque>
#include <mutex>
#include <thread>
#include <unordered_map>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/audio_fifo.h>
#include <libavutil/channel_layout.h>
#include <libavutil/opt.h>
#include <libswresample/swresample.h>
}

#include "host/base/host_error.h"
#include "host/base/interrupt.h"
#include "host/media/media_handles.h"
#include "host/media/media_log.h"
#include "host/pictures/frame_sink.h"
#include "host/pictures/output_file.h"
#include "host/pictures/yuv_convert.h"
#include "host/pictures/video_settings.h"

namespace lumhost {
namespace {

struct MuxerFree {
    void operator()(AVFormatContext* context) const {
        if (context->pb != nullptr) avio_closep(&context->pb);
        avformat_free_context(context);
    }
};
using MuxerPtr = std::unique_ptr<AVFormatContext, MuxerFree>;

FramePtr newFrame() {
    FramePtr frame(av_frame_alloc());
    if (!frame) throw HostError("out of memory for a video frame");
    return frame;
}

const AVCodec* findEncoder(const char* name) {
    const AVCodec* codec = avcodec_find_encoder_by_name(name);
    if (codec == nullptr) throw HostError(std::string("libavcodec has no ") + name + " encoder");
    return codec;
}

void setOption(AVDictionary** options, const char* key, const std::string& value) {
    av_dict_set(options, key, value.c_str(), 0);
}

// Opens the encoder with its options; any it refuses or does not know is an error.
void openEncoder(AVCodecContext* context, const AVCodec* codec, AVDictionary* options, const char* what) {
    const int result = avcodec_open2(context, codec, &options);
    const AVDictionaryEntry* left = av_dict_get(options, "", nullptr, AV_DICT_IGNORE_SUFFIX);
    const std::string unknown = left != nullptr ? left->key : "";
    av_dict_free(&options);
    if (result < 0) throw HostError(std::string("the ") + what + " encoder refuses its settings: " + mediaFailure(result));
    if (!unknown.empty()) throw HostError(std::string("the ") + what + " encoder has no option " + unknown);
}

// Maps canvas colours to GIF palette indexes: every new colour gets an entry
// of its own while there is room (so a figure's few colours stay exact);
// after 256 a new colour takes the nearest entry.
class Palette {
public:
    Palette() { indexOf(0); }

    uint8_t indexOf(uint32_t rgb) {
        rgb &= 0xFFFFFF;
        if (rgb == lastColour_) return lastIndex_;
        auto found = known_.find(rgb);
        uint8_t index;
        if (found != known_.end()) {
            index = found->second;
        } else {
            if (count_ < 256) {
                index = static_cast<uint8_t>(count_++);
                entries_[index] = rgb;
            } else {
                index = nearest(rgb);
            }
            known_.emplace(rgb, index);
        }
        lastColour_ = rgb;
        lastIndex_ = index;
        return index;
    }

    // The palette as libavcodec takes it: 0xAARRGGBB, opaque.
    void copyTo(uint8_t* data) const {
        auto* out = reinterpret_cast<uint32_t*>(data);
        for (int i = 0; i < 256; ++i) out[i] = 0xFF000000u | entries_[i];
    }

private:
    uint8_t nearest(uint32_t rgb) const {
        int best = 0;
        long bestDistance = -1;
        for (int i = 0; i < count_; ++i) {
            const long dr = static_cast<long>((rgb >> 16) & 0xFF) - static_cast<long>((entries_[i] >> 16) & 0xFF);
            const long dg = static_cast<long>((rgb >> 8) & 0xFF) - static_cast<long>((entries_[i] >> 8) & 0xFF);
            const long db = static_cast<long>(rgb & 0xFF) - static_cast<long>(entries_[i] & 0xFF);
            const long distance = 3 * dr * dr + 6 * dg * dg + db * db;
            if (bestDistance < 0 || distance < bestDistance) {
                bestDistance = distance;
                best = i;
            }
        }
        return static_cast<uint8_t>(best);
    }

    std::array<uint32_t, 256> entries_{};
    int count_ = 0;
    std::unordered_map<uint32_t, uint8_t> known_;
    uint32_t lastColour_ = 0xFFFFFFFFu;
    uint8_t lastIndex_ = 0;
};

// One frame's worth of work for the worker: a reference to the picture (none
// for the closing job) and the sound that goes with it.
struct Job {
    FramePtr picture;
    std::vector<float> sound;
    bool last = false;
};

// How long a streaming server may take to answer before it counts as unreachable.
constexpr auto connectTimeout = std::chrono::seconds(10);

class VideoSink final : public FrameSink {
public:
    // `scheme` is empty for a file, else the streaming protocol of the URL
    // (rtmp, rtmps: FLV; srt, udp: MPEG-TS), all H.264 + AAC.
    VideoSink(const SinkRequest& request, const std::string& extension, const std::string& scheme = "")
        : kind_(scheme.empty() ? videoKindFor(extension) : VideoKind::Mp4), target_(request.output), fps_(request.fps),
          streaming_(!scheme.empty()), paced_(request.paceRealTime) {
        quietMediaLibraries();
        const auto settings = resolveVideoSettings(kind_, request.encoder);
        const char* muxerName = streaming_ ? (scheme.rfind("rtmp", 0) == 0 ? "flv" : "mpegts")
                                : kind_ == VideoKind::Mp4 ? "mp4" : kind_ == VideoKind::Mkv ? "matroska"
                                : kind_ == VideoKind::Webm ? "webm" : "gif";
        const AVOutputFormat* muxer = av_guess_format(muxerName, nullptr, nullptr);
        if (muxer == nullptr) throw HostError(std::string("libavformat has no ") + muxerName + " muxer");
        const bool globalHeader = (muxer->flags & AVFMT_GLOBALHEADER) != 0;

        // The encoders first: settings they refuse stop the run before any file exists.
        openVideo(request, settings, globalHeader);
        if (request.sound && kind_ != VideoKind::Gif) openAudio(*request.sound, settings, globalHeader);
        makePicture();
        if (streaming_) {
            openStream(muxer);
            startWorker();
            return;
        }

        file_ = std::make_unique<OutputFile>(request.output);
        ::close(file_->releaseDescriptor());
        // "file:" keeps a name with a colon from being read as a protocol.
        const std::string url = "file:" + file_->temporaryPath().string();
        AVFormatContext* context = nullptr;
        int result = avformat_alloc_output_context2(&context, muxer, nullptr, url.c_str());
        if (result < 0) throw HostError("cannot write " + target_ + ": " + mediaFailure(result));
        muxer_.reset(context);
        result = avio_open(&muxer_->pb, url.c_str(), AVIO_FLAG_WRITE);
        if (result < 0) throw HostError("cannot write " + target_ + ": " + mediaErrorText(result));
        addStreams();
        AVDictionary* options = nullptr;
        if (kind_ == VideoKind::Mp4) setOption(&options, "movflags", "+faststart");
        result = avformat_write_header(muxer_.get(), &options);
        av_dict_free(&options);
        if (result < 0) throw HostError("cannot write " + target_ + ": " + mediaFailure(result));
        headerWritten_ = true;

        startWorker();
    }

    ~VideoSink() override {
        stopWorker();
        // An output given up: libavformat 5.1's GIF muxer frees the frame it
        // holds back only in its trailer, written here to the temporary file
        // that is removed next.
        if (kind_ == VideoKind::Gif && headerWritten_ && !closed_) av_write_trailer(muxer_.get());
    }

    void writeSound(const float* interleaved, std::size_t frames) override {
        if (!audio_) return;
        pendingSound_.insert(pendingSound_.end(), interleaved, interleaved + frames * static_cast<std::size_t>(channels_));
    }

    void writeFrame(const LumCanvas& canvas) override {
        if (canvas.width != picture_->width || canvas.height != picture_->height)
            throw HostError("a frame of the wrong size reached the video encoder");
        if (paced_) waitForFrameTime();
        // The encoder may still hold the last picture: then this copies it first.
        int result = av_frame_make_writable(picture_.get());
        if (result < 0) throw HostError("out of memory for a video frame");
        if (kind_ == VideoKind::Gif) convertToPalette(canvas);
        else convertToYuv(canvas);
        picture_->pts = framesIn_++;
        if (kind_ == VideoKind::Gif && !gifFrameDue()) {
            gifHeld_ = true;  // shown with the next frame, or at the end
            return;
        }
        queuePicture();
    }

    void finish() override {
        if (gifHeld_) {
            // The last picture, at least two hundredths after the one before.
            picture_->pts = std::max<int64_t>(picture_->pts, av_rescale_rnd(gifShownAt_ + 2, fps_, 100, AV_ROUND_UP));
            queuePicture();
        }
        Job job;
        job.sound.swap(pendingSound_);
        job.last = true;
        push(std::move(job));
        {
            std::unique_lock<std::mutex> lock(mutex_);
            while (!done_ && failure_.empty()) {
                changed_.wait_for(lock, std::chrono::milliseconds(50));
                if (interrupted()) {
                    lock.unlock();
                    throwIfInterrupted();
                }
            }
            if (!failure_.empty()) throw HostError(failure_);
        }
        stopWorker();
        if (file_) file_->commit();
    }

private:
    // A server is sent a recording at the pace it plays: frame n no sooner
    // than n / fps after the first.
    void waitForFrameTime() {
        const auto now = std::chrono::steady_clock::now();
        if (framesIn_ == 0) firstFrameAt_ = now;
        const auto due = firstFrameAt_ + std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                                             std::chrono::duration<double>(static_cast<double>(framesIn_) / fps_));
        while (std::chrono::steady_clock::now() < due) {
            throwIfInterrupted();
            std::this_thread::sleep_for(std::min<std::chrono::steady_clock::duration>(due - std::chrono::steady_clock::now(),
                                                                                     std::chrono::milliseconds(50)));
        }
    }

    // Connects to the server and writes the stream's header; a server that
    // cannot be reached within the time limit fails here, before any frame.
    void openStream(const AVOutputFormat* muxer) {
        // A server that closes the connection must fail a write, not end lumhost.
        std::signal(SIGPIPE, SIG_IGN);
        AVFormatContext* context = nullptr;
        int result = avformat_alloc_output_context2(&context, muxer, nullptr, target_.c_str());
        if (result < 0) throw HostError("cannot stream to " + target_ + ": " + mediaFailure(result));
        muxer_.reset(context);
        connectDeadline_ = std::chrono::steady_clock::now() + connectTimeout;
        const AVIOInterruptCB callback{&VideoSink::stopWaiting, this};
        muxer_->interrupt_callback = callback;
        AVDictionary* options = nullptr;
        // SRT's live mode drops what is still in flight when the caller closes:
        // wait up to two seconds for the last of the stream to be taken.
        if (target_.rfind("srt:", 0) == 0 && target_.find("linger=") == std::string::npos) setOption(&options, "linger", "2");
        result = avio_open2(&muxer_->pb, target_.c_str(), AVIO_FLAG_WRITE, &muxer_->interrupt_callback, &options);
        av_dict_free(&options);
        if (result < 0) throw HostError("cannot reach " + target_ + ": " + streamFailure(result));
        addStreams();
        result = avformat_write_header(muxer_.get(), nullptr);
        if (result < 0) throw HostError("cannot reach " + target_ + ": " + streamFailure(result));
        headerWritten_ = true;
        connected_ = true;
    }

    // libavformat's wait for the network ends on Ctrl-C, or while
    // connecting when the server has not answered in time.
    static int stopWaiting(void* self) {
        const auto* sink = static_cast<const VideoSink*>(self);
        if (interrupted()) return 1;
        return !sink->connected_ && std::chrono::steady_clock::now() > sink->connectDeadline_ ? 1 : 0;
    }

    std::string streamFailure(int code) {
        if (code == AVERROR_EXIT && !interrupted()) return "no answer within " + std::to_string(connectTimeout.count()) + " s";
        return writeReason(code);
    }

    // A reference to the latest picture, with its sound, for the worker.
    void queuePicture() {
        gifHeld_ = false;
        Job job;
        job.picture = newFrame();
        const int result = av_frame_ref(job.picture.get(), picture_.get());
        if (result < 0) throw HostError("out of memory for a video frame");
        job.sound.swap(pendingSound_);
        push(std::move(job));
    }

    // GIF counts time in hundredths of a second, and players show a frame of
    // less than two for a tenth: at more than 50 fps some frames are left out.
    bool gifFrameDue() {
        const int64_t at = av_rescale(picture_->pts, 100, fps_);
        if (picture_->pts > 0 && at - gifShownAt_ < 2) return false;
        gifShownAt_ = at;
        return true;
    }

    // ---- setting up ----

    void openVideo(const SinkRequest& request, const VideoSettings& settings, bool globalHeader) {
        const AVCodec* codec = findEncoder(settings.videoEncoder);
        video_.reset(avcodec_alloc_context3(codec));
        if (!video_) throw HostError("out of memory for the video encoder");
        AVCodecContext* v = video_.get();
        v->width = request.width;
        v->height = request.height;
        v->time_base = AVRational{1, request.fps};
        v->framerate = AVRational{request.fps, 1};
        v->sample_aspect_ratio = AVRational{1, 1};
        if (globalHeader) v->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
        AVDictionary* options = nullptr;
        if (kind_ == VideoKind::Gif) {
            v->pix_fmt = AV_PIX_FMT_PAL8;
            // Each frame carries its own palette, which grows as colours appear (libavformat
            // 5.1 also writes a local one where a frame differs from the global; this does not rely on it).
            setOption(&options, "global_palette", "0");
            setOption(&options, "gifflags", "-transdiff");
        } else {
            v->pix_fmt = AV_PIX_FMT_YUV420P;
            v->color_range = AVCOL_RANGE_MPEG;
            v->colorspace = AVCOL_SPC_SMPTE170M;
            v->color_primaries = AVCOL_PRI_SMPTE170M;
            v->color_trc = AVCOL_TRC_SMPTE170M;
            v->chroma_sample_location = AVCHROMA_LOC_CENTER;
            v->thread_count = 0;  // as many as the encoder likes
            // A viewer joining a stream waits for the next key frame: one every two seconds.
            if (streaming_) v->gop_size = 2 * request.fps;
            if (settings.bitRate > 0) v->bit_rate = settings.bitRate;
            for (const auto& [key, value] : settings.videoOptions) setOption(&options, key.c_str(), value);
        }
        openEncoder(v, codec, options, settings.videoEncoder);
    }

    void openAudio(const SoundFormat& sound, const VideoSettings& settings, bool globalHeader) {
        const AVCodec* codec = findEncoder(settings.audioEncoder);
        audio_.reset(avcodec_alloc_context3(codec));
        if (!audio_) throw HostError("out of memory for the audio encoder");
        AVCodecContext* a = audio_.get();
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
        audioFrameSize_ = a->frame_size > 0 ? a->frame_size : 1024;
        fifo_.reset(av_audio_fifo_alloc(a->sample_fmt, channels_, audioFrameSize_ * 4));
        if (!fifo_) throw HostError("out of memory for the sound");
    }

    // The rate itself if the encoder takes it, else the lowest it takes above it, else its highest.
    static int supportedRate(const AVCodec* codec, int rate) {
        if (codec->supported_samplerates == nullptr) return rate;
        int above = 0, highest = 0;
        for (const int* r = codec->supported_samplerates; *r != 0; ++r) {
            if (*r == rate) return rate;
            if (*r > rate && (above == 0 || *r < above)) above = *r;
            highest = std::max(highest, *r);
        }
        return above != 0 ? above : highest;
    }

    void makePicture() {
        picture_ = newFrame();
        picture_->format = video_->pix_fmt;
        picture_->width = video_->width;
        picture_->height = video_->height;
        if (av_frame_get_buffer(picture_.get(), 0) < 0) throw HostError("out of memory for a video frame");
        // Black, as the canvas the changes are measured from.
        if (kind_ == VideoKind::Gif) {
            for (int y = 0; y < picture_->height; ++y)
                std::memset(picture_->data[0] + static_cast<std::ptrdiff_t>(y) * picture_->linesize[0], 0,
                            static_cast<std::size_t>(picture_->width));
            palette_.copyTo(picture_->data[1]);
            spans_ = std::make_unique<ChangedSpans>(video_->width, video_->height, 1);
        } else {
            picture_->color_range = video_->color_range;
            picture_->colorspace = video_->colorspace;
            picture_->color_primaries = video_->color_primaries;
            picture_->color_trc = video_->color_trc;
            picture_->chroma_location = video_->chroma_sample_location;
            for (int plane = 0; plane < 3; ++plane) {
                const int rows = plane == 0 ? picture_->height : picture_->height / 2;
                const auto columns = static_cast<std::size_t>(plane == 0 ? picture_->width : picture_->width / 2);
                for (int y = 0; y < rows; ++y)
                    std::memset(picture_->data[plane] + static_cast<std::ptrdiff_t>(y) * picture_->linesize[plane],
                                plane == 0 ? 16 : 128, columns);
            }
            spans_ = std::make_unique<ChangedSpans>(video_->width, video_->height, 2);
        }
    }

    void addStreams() {
        videoStream_ = addStream(video_.get());
        if (audio_) audioStream_ = addStream(audio_.get());
    }

    AVStream* addStream(AVCodecContext* encoder) {
        AVStream* stream = avformat_new_stream(muxer_.get(), nullptr);
        if (stream == nullptr) throw HostError("out of memory for the output's streams");
        const int result = avcodec_parameters_from_context(stream->codecpar, encoder);
        if (result < 0) throw HostError("cannot write " + target_ + ": " + mediaErrorText(result));
        stream->time_base = encoder->time_base;
        if (encoder->codec_type == AVMEDIA_TYPE_VIDEO) {
            stream->avg_frame_rate = encoder->framerate;
            stream->r_frame_rate = encoder->framerate;
            stream->sample_aspect_ratio = encoder->sample_aspect_ratio;
        }
        return stream;
    }

    // ---- the caller's side: pictures ----

    void convertToYuv(const LumCanvas& canvas) {
        uint8_t* const* planes = picture_->data;
        const int* lines = picture_->linesize;
        spans_->update(canvas, [&](int band, int x0, int x1) {
            const auto* top = reinterpret_cast<const uint32_t*>(reinterpret_cast<const char*>(canvas.pixels) +
                                                                static_cast<std::ptrdiff_t>(2 * band) * canvas.stride);
            const auto* bottom = reinterpret_cast<const uint32_t*>(reinterpret_cast<const char*>(top) + canvas.stride);
            uint8_t* yTop = planes[0] + static_cast<std::ptrdiff_t>(2 * band) * lines[0];
            bgr0ToYuv420(top, bottom, x0, x1, yTop, yTop + lines[0], planes[1] + static_cast<std::ptrdiff_t>(band) * lines[1],
                         planes[2] + static_cast<std::ptrdiff_t>(band) * lines[2]);
        });
    }

    void convertToPalette(const LumCanvas& canvas) {
        spans_->update(canvas, [&](int row, int x0, int x1) {
            const auto* pixels = reinterpret_cast<const uint32_t*>(reinterpret_cast<const char*>(canvas.pixels) +
                                                                   static_cast<std::ptrdiff_t>(row) * canvas.stride);
            uint8_t* indexes = picture_->data[0] + static_cast<std::ptrdiff_t>(row) * picture_->linesize[0];
            for (int x = x0; x < x1; ++x) indexes[x] = palette_.indexOf(pixels[x]);
        });
        palette_.copyTo(picture_->data[1]);
    }

    // ---- the queue ----

    void push(Job job) {
        std::unique_lock<std::mutex> lock(mutex_);
        while (queue_.size() >= queueLength && failure_.empty()) {
            changed_.wait_for(lock, std::chrono::milliseconds(50));
            if (interrupted()) {
                lock.unlock();
                throwIfInterrupted();
            }
        }
        if (!failure_.empty()) throw HostError(failure_);
        queue_.push_back(std::move(job));
        changed_.notify_all();
    }

    void startWorker() {
        // Signals are for the caller's thread, which polls for them.
        sigset_t blocked, previous;
        sigemptyset(&blocked);
        sigaddset(&blocked, SIGINT);
        sigaddset(&blocked, SIGTERM);
        sigaddset(&blocked, SIGPIPE);
        pthread_sigmask(SIG_BLOCK, &blocked, &previous);
        try {
            worker_ = std::thread([this] { work(); });
        } catch (...) {
            pthread_sigmask(SIG_SETMASK, &previous, nullptr);
            throw HostError("cannot start the encoding thread");
        }
        pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    }

    void stopWorker() {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            stopping_ = true;
            changed_.notify_all();
        }
        if (worker_.joinable()) worker_.join();
    }

    // ---- the worker ----

    void work() {
        try {
            packet_.reset(av_packet_alloc());
            if (!packet_) throw HostError("out of memory for the encoder's output");
            for (;;) {
                Job job;
                {
                    std::unique_lock<std::mutex> lock(mutex_);
                    changed_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
                    if (stopping_) return;
                    job = std::move(queue_.front());
                    queue_.pop_front();
                    changed_.notify_all();
                }
                if (!job.sound.empty()) takeSound(job.sound);
                if (job.picture) {
                    encode(video_.get(), videoStream_, job.picture.get());
                    ++framesOut_;
                }
                job.picture.reset();
                if (job.last) {
                    closeOutput();
                    std::lock_guard<std::mutex> lock(mutex_);
                    done_ = true;
                    changed_.notify_all();
                    return;
                }
            }
        } catch (const std::exception& error) {
            std::lock_guard<std::mutex> lock(mutex_);
            failure_ = error.what();
            changed_.notify_all();
        }
    }

    // Sends a frame (null: the end) and writes every packet that comes out.
    void encode(AVCodecContext* encoder, AVStream* stream, const AVFrame* frame) {
        int result = avcodec_send_frame(encoder, frame);
        if (result < 0) throw HostError("cannot encode " + target_ + ": " + mediaFailure(result));
        for (;;) {
            result = avcodec_receive_packet(encoder, packet_.get());
            if (result == AVERROR(EAGAIN) || result == AVERROR_EOF) return;
            if (result < 0) throw HostError("cannot encode " + target_ + ": " + mediaFailure(result));
            AVPacket* packet = packet_.get();
            if (encoder == video_.get()) {
                // Whole frames in the encoder's time base; the muxer's may be coarser (GIF).
                packet->duration = av_rescale_q(packet->pts + 1, encoder->time_base, stream->time_base) -
                                   av_rescale_q(packet->pts, encoder->time_base, stream->time_base);
                packet->pts = av_rescale_q(packet->pts, encoder->time_base, stream->time_base);
                packet->dts = av_rescale_q(packet->dts, encoder->time_base, stream->time_base);
            } else {
                av_packet_rescale_ts(packet, encoder->time_base, stream->time_base);
            }
            packet->stream_index = stream->index;
            result = av_interleaved_write_frame(muxer_.get(), packet);
            if (result < 0) throw HostError("cannot write " + target_ + ": " + writeReason(result));
        }
    }

    std::string writeReason(int code) {
        takeMediaMessage();  // the muxer's own words add nothing to the system's
        return mediaErrorText(code);
    }

    // The frame's samples into the encoder's format and rate, then whole encoder frames out.
    void takeSound(const std::vector<float>& sound) {
        if (!audio_) return;
        const auto frames = static_cast<int>(sound.size() / static_cast<std::size_t>(channels_));
        const auto* input = reinterpret_cast<const uint8_t*>(sound.data());
        resample(&input, frames);
        drainAudio(false);
    }

    void resample(const uint8_t** input, int frames) {
        const int room = swr_get_out_samples(resampler_.get(), frames);
        if (room <= 0) return;
        uint8_t** output = nullptr;
        int result = av_samples_alloc_array_and_samples(&output, nullptr, channels_, room, audio_->sample_fmt, 0);
        if (result < 0) throw HostError("out of memory for the sound");
        const int got = swr_convert(resampler_.get(), output, room, input, frames);
        if (got > 0) result = av_audio_fifo_write(fifo_.get(), reinterpret_cast<void**>(output), got);
        av_freep(&output[0]);
        av_freep(&output);
        if (got < 0) throw HostError("cannot convert the sound: " + mediaFailure(got));
        if (result < 0) throw HostError("out of memory for the sound");
    }

    // Encodes whole frames from the FIFO; at the end also the short last one.
    void drainAudio(bool end) {
        // At the end, no more than the video's length.
        const int64_t wanted = end ? av_rescale(framesOut_, audio_->sample_rate, fps_) : INT64_MAX;
        for (;;) {
            const int64_t left = wanted - samplesEncoded_;
            const int available = av_audio_fifo_size(fifo_.get());
            const int take = static_cast<int>(std::min<int64_t>({left, available, audioFrameSize_}));
            if (take <= 0) return;
            if (take < audioFrameSize_ && !end) return;
            FramePtr frame = newFrame();
            frame->format = audio_->sample_fmt;
            frame->sample_rate = audio_->sample_rate;
            frame->nb_samples = take;
            av_channel_layout_copy(&frame->ch_layout, &audio_->ch_layout);
            // An encoder that takes no short last frame gets silence after the sound.
            if (take < audioFrameSize_ && !(audio_->codec->capabilities & AV_CODEC_CAP_SMALL_LAST_FRAME))
                frame->nb_samples = audioFrameSize_;
            if (av_frame_get_buffer(frame.get(), 0) < 0) throw HostError("out of memory for the sound");
            av_samples_set_silence(frame->data, 0, frame->nb_samples, channels_, audio_->sample_fmt);
            if (av_audio_fifo_read(fifo_.get(), reinterpret_cast<void**>(frame->data), take) != take)
                throw HostError("lost sound in the audio queue");
            frame->pts = samplesEncoded_;
            samplesEncoded_ += take;
            encode(audio_.get(), audioStream_, frame.get());
        }
    }

    void closeOutput() {
        if (audio_) {
            // What the resampler still holds, then silence to the video's length.
            resample(nullptr, 0);
            const int64_t wanted = av_rescale(framesOut_, audio_->sample_rate, fps_);
            const int64_t missing = wanted - samplesEncoded_ - av_audio_fifo_size(fifo_.get());
            if (missing > 0) {
                uint8_t** silence = nullptr;
                if (av_samples_alloc_array_and_samples(&silence, nullptr, channels_, static_cast<int>(missing),
                                                       audio_->sample_fmt, 0) < 0)
                    throw HostError("out of memory for the sound");
                av_samples_set_silence(silence, 0, static_cast<int>(missing), channels_, audio_->sample_fmt);
                const int result = av_audio_fifo_write(fifo_.get(), reinterpret_cast<void**>(silence), static_cast<int>(missing));
                av_freep(&silence[0]);
                av_freep(&silence);
                if (result < 0) throw HostError("out of memory for the sound");
            }
            drainAudio(true);
            encode(audio_.get(), audioStream_, nullptr);
        }
        encode(video_.get(), videoStream_, nullptr);
        closed_ = true;  // whatever the trailer gives, it is not written twice
        int result = av_write_trailer(muxer_.get());
        if (result < 0) throw HostError("cannot write " + target_ + ": " + writeReason(result));
        result = avio_closep(&muxer_->pb);
        if (result < 0) throw HostError("cannot write " + target_ + ": " + mediaErrorText(result));
    }

    static constexpr std::size_t queueLength = 3;

    VideoKind kind_;
    std::string target_;
    int fps_;
    bool streaming_ = false;
    bool paced_ = false;
    std::atomic<bool> connected_{false};
    std::chrono::steady_clock::time_point connectDeadline_;
    std::chrono::steady_clock::time_point firstFrameAt_;
    CodecPtr video_, audio_;
    ResamplerPtr resampler_;
    FifoPtr fifo_;
    int channels_ = 0;
    int audioFrameSize_ = 0;
    FramePtr picture_;  // the caller's: always the latest frame
    std::unique_ptr<ChangedSpans> spans_;
    Palette palette_;
    std::vector<float> pendingSound_;
    int64_t framesIn_ = 0;
    int64_t gifShownAt_ = 0;  // hundredths of a second
    bool gifHeld_ = false;

    std::unique_ptr<OutputFile> file_;
    MuxerPtr muxer_;
    AVStream* videoStream_ = nullptr;
    AVStream* audioStream_ = nullptr;
    bool headerWritten_ = false;
    bool closed_ = false;  // the worker's, read after it is joined

    // The worker's own.
    PacketPtr packet_;
    int64_t framesOut_ = 0;
    int64_t samplesEncoded_ = 0;

    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<Job> queue_;
    bool stopping_ = false;
    bool done_ = false;
    std::string failure_;
    std::thread worker_;
};

}  // namespace

std::unique_ptr<FrameSink> makeVideoSink(const SinkRequest& request, const std::string& extension) {
    return std::make_unique<VideoSink>(request, extension);
}

std::unique_ptr<FrameSink> makeStreamSink(const SinkRequest& request, const std::string& scheme) {
    return std::make_unique<VideoSink>(request, "", scheme);
}

}  // namespace lumhost
