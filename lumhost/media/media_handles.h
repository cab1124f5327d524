// The media libraries' objects held by unique_ptr, each freed its own way.
#pragma once

#include <memory>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/audio_fifo.h>
#include <libswresample/swresample.h>
}

namespace lumhost {

struct FrameFree {
    void operator()(AVFrame* frame) const { av_frame_free(&frame); }
};
struct PacketFree {
    void operator()(AVPacket* packet) const { av_packet_free(&packet); }
};
struct CodecFree {
    void operator()(AVCodecContext* context) const { avcodec_free_context(&context); }
};
struct ResamplerFree {
    void operator()(SwrContext* context) const { swr_free(&context); }
};
struct FifoFree {
    void operator()(AVAudioFifo* fifo) const { av_audio_fifo_free(fifo); }
};
struct DemuxerFree {
    void operator()(AVFormatContext* context) const { avformat_close_input(&context); }
};

using FramePtr = std::unique_ptr<AVFrame, FrameFree>;
using PacketPtr = std::unique_ptr<AVPacket, PacketFree>;
using CodecPtr = std::unique_ptr<AVCodecContext, CodecFree>;
using ResamplerPtr = std::unique_ptr<SwrContext, ResamplerFree>;
using FifoPtr = std::unique_ptr<AVAudioFifo, FifoFree>;
using DemuxerPtr = std::unique_ptr<AVFormatContext, DemuxerFree>;

}  // namespace lumhost
