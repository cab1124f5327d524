#include "lumhost/pictures/encode/video_encoder.h"

#include <cstring>

#include "lumhost/base/host_error.h"
#include "lumhost/pictures/encode/encoder_setup.h"

namespace lumhost {

VideoEncoder::VideoEncoder(VideoKind kind, const SinkRequest& request, const VideoSettings& settings, bool streaming,
                           bool globalHeader)
    : kind_(kind) {
    open(request, settings, streaming, globalHeader);
    makePicture();
}

void VideoEncoder::open(const SinkRequest& request, const VideoSettings& settings, bool streaming, bool globalHeader) {
    const AVCodec* codec = findEncoder(settings.videoEncoder);
    codec_.reset(avcodec_alloc_context3(codec));
    if (!codec_) throw HostError("out of memory for the video encoder");
    AVCodecContext* v = codec_.get();
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
        if (streaming) v->gop_size = 2 * request.fps;
        if (settings.bitRate > 0) v->bit_rate = settings.bitRate;
        for (const auto& [key, value] : settings.videoOptions) setOption(&options, key.c_str(), value);
    }
    openEncoder(v, codec, options, settings.videoEncoder);
}

void VideoEncoder::makePicture() {
    picture_ = newFrame();
    picture_->format = codec_->pix_fmt;
    picture_->width = codec_->width;
    picture_->height = codec_->height;
    if (av_frame_get_buffer(picture_.get(), 0) < 0) throw HostError("out of memory for a video frame");
    // Black, as the canvas the changes are measured from.
    if (kind_ == VideoKind::Gif) {
        for (int y = 0; y < picture_->height; ++y)
            std::memset(picture_->data[0] + static_cast<std::ptrdiff_t>(y) * picture_->linesize[0], 0,
                        static_cast<std::size_t>(picture_->width));
        palette_.copyTo(picture_->data[1]);
        spans_ = std::make_unique<ChangedSpans>(codec_->width, codec_->height, 1);
    } else {
        picture_->color_range = codec_->color_range;
        picture_->colorspace = codec_->colorspace;
        picture_->color_primaries = codec_->color_primaries;
        picture_->color_trc = codec_->color_trc;
        picture_->chroma_location = codec_->chroma_sample_location;
        for (int plane = 0; plane < 3; ++plane) {
            const int rows = plane == 0 ? picture_->height : picture_->height / 2;
            const auto columns = static_cast<std::size_t>(plane == 0 ? picture_->width : picture_->width / 2);
            for (int y = 0; y < rows; ++y)
                std::memset(picture_->data[plane] + static_cast<std::ptrdiff_t>(y) * picture_->linesize[plane],
                            plane == 0 ? 16 : 128, columns);
        }
        spans_ = std::make_unique<ChangedSpans>(codec_->width, codec_->height, 2);
    }
}

void VideoEncoder::draw(const LumCanvas& canvas) {
    const int result = av_frame_make_writable(picture_.get());
    if (result < 0) throw HostError("out of memory for a video frame");
    if (kind_ == VideoKind::Gif) convertToPalette(canvas);
    else convertToYuv(canvas);
}

FramePtr VideoEncoder::reference() const {
    FramePtr frame = newFrame();
    const int result = av_frame_ref(frame.get(), picture_.get());
    if (result < 0) throw HostError("out of memory for a video frame");
    return frame;
}

void VideoEncoder::convertToYuv(const LumCanvas& canvas) {
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

void VideoEncoder::convertToPalette(const LumCanvas& canvas) {
    spans_->update(canvas, [&](int row, int x0, int x1) {
        const auto* pixels = reinterpret_cast<const uint32_t*>(reinterpret_cast<const char*>(canvas.pixels) +
                                                               static_cast<std::ptrdiff_t>(row) * canvas.stride);
        uint8_t* indexes = picture_->data[0] + static_cast<std::ptrdiff_t>(row) * picture_->linesize[0];
        for (int x = x0; x < x1; ++x) indexes[x] = palette_.indexOf(pixels[x]);
    });
    palette_.copyTo(picture_->data[1]);
}

}  // namespace lumhost
