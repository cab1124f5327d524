// Video encoded in-process with libavcodec and written with libavformat:
// .mp4 (H.264 + AAC), .mkv (H.264 + FLAC), .webm (VP9 + Opus), .gif, and
// streams to a server (H.264 + AAC).
//
// The caller's thread turns each canvas into the encoder's picture, touching
// only what changed since the frame before, and hands a reference to it,
// with the frame's sound, through a short queue to one worker thread that
// feeds the encoders (which run threads of their own) and the muxer. The
// queue is bounded: a caller that runs ahead waits.
#include <algorithm>
#include <chrono>
#include <memory>
#include <thread>
#include <vector>

#include "lumhost/base/host_error.h"
#include "lumhost/base/interrupt.h"
#include "lumhost/media/media_log.h"
#include "lumhost/pictures/encode/encode_worker.h"
#include "lumhost/pictures/encode/encoder_setup.h"
#include "lumhost/pictures/encode/muxer.h"
#include "lumhost/pictures/encode/sound_track.h"
#include "lumhost/pictures/encode/video_encoder.h"
#include "lumhost/pictures/encode/video_settings.h"
#include "lumhost/pictures/frame_sink.h"

namespace lumhost {
namespace {

class VideoSink final : public FrameSink {
public:
    // `scheme` is empty for a file, else the streaming protocol of the URL
    // (rtmp, rtmps: FLV; srt, udp: MPEG-TS), all H.264 + AAC.
    VideoSink(const SinkRequest& request, const std::string& extension, const std::string& scheme = "")
        : kind_(scheme.empty() ? videoKindFor(extension) : VideoKind::Mp4), fps_(request.fps), paced_(request.paceRealTime) {
        quietMediaLibraries();
        const bool streaming = !scheme.empty();
        const auto settings = resolveVideoSettings(kind_, request.encoder);
        const AVOutputFormat* format = findMuxer(kind_, scheme);
        const bool globalHeader = (format->flags & AVFMT_GLOBALHEADER) != 0;

        // The encoders first: settings they refuse stop the run before any file exists.
        video_ = std::make_unique<VideoEncoder>(kind_, request, settings, streaming, globalHeader);
        if (request.sound && kind_ != VideoKind::Gif) sound_ = std::make_unique<SoundTrack>(*request.sound, settings, globalHeader);

        muxer_ = std::make_unique<Muxer>(format, request.output, streaming);
        videoStream_ = muxer_->addStream(video_->codec());
        if (sound_) soundStream_ = muxer_->addStream(sound_->codec());
        AVDictionary* options = nullptr;
        if (!streaming && kind_ == VideoKind::Mp4) setOption(&options, "movflags", "+faststart");
        muxer_->writeHeader(options);

        worker_ = std::make_unique<EncodeWorker>([this](EncodeJob& job) { handle(job); });
    }

    ~VideoSink() override {
        worker_.reset();
        // An output given up: libavformat 5.1's GIF muxer frees the frame it
        // holds back only in its trailer, written here to the temporary file
        // that is removed next.
        if (kind_ == VideoKind::Gif) muxer_->abandon();
    }

    void writeSound(const float* interleaved, std::size_t frames) override {
        if (!sound_) return;
        pendingSound_.insert(pendingSound_.end(), interleaved, interleaved + frames * static_cast<std::size_t>(sound_->channels()));
    }

    void writeFrame(const LumCanvas& canvas) override {
        AVFrame* picture = video_->picture();
        if (canvas.width != picture->width || canvas.height != picture->height)
            throw HostError("a frame of the wrong size reached the video encoder");
        if (paced_) waitForFrameTime();
        video_->draw(canvas);
        picture->pts = framesIn_++;
        if (kind_ == VideoKind::Gif && !gifFrameDue()) {
            gifHeld_ = true;  // shown with the next frame, or at the end
            return;
        }
        queuePicture();
    }

    void finish() override {
        if (gifHeld_) {
            // The last picture, at least two hundredths after the one before.
            AVFrame* picture = video_->picture();
            picture->pts = std::max<int64_t>(picture->pts, av_rescale_rnd(gifShownAt_ + 2, fps_, 100, AV_ROUND_UP));
            queuePicture();
        }
        EncodeJob job;
        job.sound.swap(pendingSound_);
        job.last = true;
        worker_->push(std::move(job));
        worker_->waitUntilDone();
        worker_->stop();
        muxer_->commit();
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

    // A reference to the latest picture, with its sound, for the worker.
    void queuePicture() {
        gifHeld_ = false;
        EncodeJob job;
        job.picture = video_->reference();
        job.sound.swap(pendingSound_);
        worker_->push(std::move(job));
    }

    // GIF counts time in hundredths of a second, and players show a frame of
    // less than two for a tenth: at more than 50 fps some frames are left out.
    bool gifFrameDue() {
        const int64_t at = av_rescale(video_->picture()->pts, 100, fps_);
        if (video_->picture()->pts > 0 && at - gifShownAt_ < 2) return false;
        gifShownAt_ = at;
        return true;
    }

    // ---- the worker ----

    void handle(EncodeJob& job) {
        if (!job.sound.empty() && sound_) sound_->take(job.sound, sendSound());
        if (job.picture) {
            muxer_->encode(video_->codec(), videoStream_, job.picture.get());
            ++framesOut_;
        }
        job.picture.reset();
        if (job.last) {
            if (sound_) sound_->finish(framesOut_, fps_, sendSound());
            muxer_->encode(video_->codec(), videoStream_, nullptr);
            muxer_->close();
        }
    }

    SoundTrack::Send sendSound() {
        return [this](const AVFrame* frame) { muxer_->encode(sound_->codec(), soundStream_, frame); };
    }

    VideoKind kind_;
    int fps_;
    bool paced_ = false;
    std::chrono::steady_clock::time_point firstFrameAt_;

    // The caller's.
    std::unique_ptr<VideoEncoder> video_;  // its picture is always the latest frame
    std::vector<float> pendingSound_;
    int64_t framesIn_ = 0;
    int64_t gifShownAt_ = 0;  // hundredths of a second
    bool gifHeld_ = false;

    // The worker's while it runs; the caller's before it starts and after it ends.
    std::unique_ptr<SoundTrack> sound_;
    std::unique_ptr<Muxer> muxer_;
    AVStream* videoStream_ = nullptr;
    AVStream* soundStream_ = nullptr;
    int64_t framesOut_ = 0;

    std::unique_ptr<EncodeWorker> worker_;
};

}  // namespace

std::unique_ptr<FrameSink> makeVideoSink(const SinkRequest& request, const std::string& extension) {
    return std::make_unique<VideoSink>(request, extension);
}

std::unique_ptr<FrameSink> makeStreamSink(const SinkRequest& request, const std::string& scheme) {
    return std::make_unique<VideoSink>(request, "", scheme);
}

}  // namespace lumhost
