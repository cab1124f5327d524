#include "lumhost/pictures/encode/muxer.h"

#include <unistd.h>

#include <csignal>

#include "lumhost/base/host_error.h"
#include "lumhost/base/interrupt.h"
#include "lumhost/media/media_log.h"
#include "lumhost/pictures/encode/encoder_setup.h"

namespace lumhost {

const AVOutputFormat* findMuxer(VideoKind kind, const std::string& scheme) {
    const char* name = !scheme.empty() ? (scheme.rfind("rtmp", 0) == 0 ? "flv" : "mpegts")
                       : kind == VideoKind::Mp4 ? "mp4" : kind == VideoKind::Mkv ? "matroska"
                       : kind == VideoKind::Webm ? "webm" : "gif";
    const AVOutputFormat* muxer = av_guess_format(name, nullptr, nullptr);
    if (muxer == nullptr) throw HostError(std::string("libavformat has no ") + name + " muxer");
    return muxer;
}

Muxer::Muxer(const AVOutputFormat* format, const std::string& target, bool streaming) : target_(target), streaming_(streaming) {
    packet_.reset(av_packet_alloc());
    if (!packet_) throw HostError("out of memory for the encoder's output");
    if (streaming_) openStream(format);
    else openFile(format);
}

Muxer::~Muxer() = default;

void Muxer::openFile(const AVOutputFormat* format) {
    file_ = std::make_unique<OutputFile>(target_);
    ::close(file_->releaseDescriptor());
    // "file:" keeps a name with a colon from being read as a protocol.
    const std::string url = "file:" + file_->temporaryPath().string();
    AVFormatContext* context = nullptr;
    int result = avformat_alloc_output_context2(&context, format, nullptr, url.c_str());
    if (result < 0) throw HostError("cannot write " + target_ + ": " + mediaFailure(result));
    context_.reset(context);
    result = avio_open(&context_->pb, url.c_str(), AVIO_FLAG_WRITE);
    if (result < 0) throw HostError("cannot write " + target_ + ": " + mediaErrorText(result));
}

void Muxer::openStream(const AVOutputFormat* format) {
    // A server that closes the connection must fail a write, not end lumhost.
    std::signal(SIGPIPE, SIG_IGN);
    AVFormatContext* context = nullptr;
    int result = avformat_alloc_output_context2(&context, format, nullptr, target_.c_str());
    if (result < 0) throw HostError("cannot stream to " + target_ + ": " + mediaFailure(result));
    context_.reset(context);
    connectDeadline_ = std::chrono::steady_clock::now() + connectTimeout;
    const AVIOInterruptCB callback{&Muxer::stopWaiting, this};
    context_->interrupt_callback = callback;
    AVDictionary* options = nullptr;
    // SRT's live mode drops what is still in flight when the caller closes:
    // wait up to two seconds for the last of the stream to be taken.
    if (target_.rfind("srt:", 0) == 0 && target_.find("linger=") == std::string::npos) setOption(&options, "linger", "2");
    result = avio_open2(&context_->pb, target_.c_str(), AVIO_FLAG_WRITE, &context_->interrupt_callback, &options);
    av_dict_free(&options);
    if (result < 0) throw HostError("cannot reach " + target_ + ": " + streamFailure(result));
}

int Muxer::stopWaiting(void* self) {
    const auto* muxer = static_cast<const Muxer*>(self);
    if (interrupted()) return 1;
    return !muxer->connected_ && std::chrono::steady_clock::now() > muxer->connectDeadline_ ? 1 : 0;
}

std::string Muxer::streamFailure(int code) {
    if (code == AVERROR_EXIT && !interrupted()) return "no answer within " + std::to_string(connectTimeout.count()) + " s";
    return writeReason(code);
}

std::string Muxer::writeReason(int code) {
    takeMediaMessage();  // the muxer's own words add nothing to the system's
    return mediaErrorText(code);
}

AVStream* Muxer::addStream(AVCodecContext* encoder) {
    AVStream* stream = avformat_new_stream(context_.get(), nullptr);
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

void Muxer::writeHeader(AVDictionary* options) {
    const int result = avformat_write_header(context_.get(), &options);
    av_dict_free(&options);
    if (result < 0) {
        if (streaming_) throw HostError("cannot reach " + target_ + ": " + streamFailure(result));
        throw HostError("cannot write " + target_ + ": " + mediaFailure(result));
    }
    headerWritten_ = true;
    connected_ = true;
}

void Muxer::encode(AVCodecContext* encoder, AVStream* stream, const AVFrame* frame) {
    int result = avcodec_send_frame(encoder, frame);
    if (result < 0) throw HostError("cannot encode " + target_ + ": " + mediaFailure(result));
    for (;;) {
        result = avcodec_receive_packet(encoder, packet_.get());
        if (result == AVERROR(EAGAIN) || result == AVERROR_EOF) return;
        if (result < 0) throw HostError("cannot encode " + target_ + ": " + mediaFailure(result));
        AVPacket* packet = packet_.get();
        if (encoder->codec_type == AVMEDIA_TYPE_VIDEO) {
            // Whole frames in the encoder's time base; the muxer's may be coarser (GIF).
            packet->duration = av_rescale_q(packet->pts + 1, encoder->time_base, stream->time_base) -
                               av_rescale_q(packet->pts, encoder->time_base, stream->time_base);
            packet->pts = av_rescale_q(packet->pts, encoder->time_base, stream->time_base);
            packet->dts = av_rescale_q(packet->dts, encoder->time_base, stream->time_base);
        } else {
            av_packet_rescale_ts(packet, encoder->time_base, stream->time_base);
        }
        packet->stream_index = stream->index;
        result = av_interleaved_write_frame(context_.get(), packet);
        if (result < 0) throw HostError("cannot write " + target_ + ": " + writeReason(result));
    }
}

void Muxer::close() {
    closed_ = true;  // whatever the trailer gives, it is not written twice
    int result = av_write_trailer(context_.get());
    if (result < 0) throw HostError("cannot write " + target_ + ": " + writeReason(result));
    result = avio_closep(&context_->pb);
    if (result < 0) throw HostError("cannot write " + target_ + ": " + mediaErrorText(result));
}

void Muxer::commit() {
    if (file_) file_->commit();
}

void Muxer::abandon() {
    if (headerWritten_ && !closed_) av_write_trailer(context_.get());
}

}  // namespace lumhost
