// Where the encoded packets go: muxed by libavformat into a file, written
// under a temporary name and put in place only when complete, or streamed
// to a server (rtmp, rtmps: FLV; srt, udp: MPEG-TS).
#pragma once

#include <atomic>
#include <chrono>
#include <memory>
#include <string>

extern "C" {
#include <libavformat/avformat.h>
}

#include "lumhost/media/media_handles.h"
#include "lumhost/pictures/encode/video_settings.h"
#include "lumhost/pictures/output_file.h"

namespace lumhost {

// How long a streaming server may take to answer before it counts as unreachable.
constexpr auto connectTimeout = std::chrono::seconds(10);

// The muxer for a stream's scheme, or for the kind of video when the scheme is empty.
const AVOutputFormat* findMuxer(VideoKind kind, const std::string& scheme);

class Muxer {
public:
    // Opens `target`: a file path, or with `streaming` a server's URL, to
    // which it connects. Throws HostError if that fails, or a server does
    // not answer within connectTimeout.
    Muxer(const AVOutputFormat* format, const std::string& target, bool streaming);
    ~Muxer();
    Muxer(const Muxer&) = delete;
    Muxer& operator=(const Muxer&) = delete;

    // A stream of the encoder's packets; all are added before the header.
    AVStream* addStream(AVCodecContext* encoder);
    // Writes the header with the muxer's options (freed here); a server
    // that does not take it fails here, before any frame.
    void writeHeader(AVDictionary* options);

    // Sends a frame to the encoder (null: the end) and writes every packet that comes out.
    void encode(AVCodecContext* encoder, AVStream* stream, const AVFrame* frame);

    // Writes the trailer and closes the output.
    void close();
    // Puts a finished file in place.
    void commit();
    // Writes the trailer of an output given up before close(), for muxers
    // that free what they hold only there; the file is removed all the same.
    void abandon();

private:
    struct ContextFree {
        void operator()(AVFormatContext* context) const {
            if (context->pb != nullptr) avio_closep(&context->pb);
            avformat_free_context(context);
        }
    };

    void openFile(const AVOutputFormat* format);
    void openStream(const AVOutputFormat* format);
    // libavformat's wait for the network ends on Ctrl-C, or while
    // connecting when the server has not answered in time.
    static int stopWaiting(void* self);
    std::string streamFailure(int code);
    std::string writeReason(int code);

    std::string target_;
    bool streaming_;
    std::atomic<bool> connected_{false};
    std::chrono::steady_clock::time_point connectDeadline_;
    // Declared before the context, so the file is removed only after it is closed.
    std::unique_ptr<OutputFile> file_;
    std::unique_ptr<AVFormatContext, ContextFree> context_;
    PacketPtr packet_;
    bool headerWritten_ = false;
    bool closed_ = false;
};

}  // namespace lumhost
