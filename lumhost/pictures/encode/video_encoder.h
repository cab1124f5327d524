// The picture encoder (H.264 or VP9 from BT.601 limited-range YUV 4:2:0, or
// GIF from palette indexes) and the one picture the caller's thread keeps:
// each canvas is converted into it where it changed since the frame before,
// and the worker is handed references to it.
#pragma once

#include <memory>

#include "lumhost/media/media_handles.h"
#include "lumhost/pictures/encode/gif_palette.h"
#include "lumhost/pictures/encode/video_settings.h"
#include "lumhost/pictures/frame_sink.h"
#include "lumhost/pictures/yuv_convert.h"

namespace lumhost {

class VideoEncoder {
public:
    // Opens the encoder at the request's size and rate; throws HostError for
    // settings it refuses. A stream gets a key frame every two seconds;
    // `globalHeader` is for muxers that keep the codec's headers apart.
    VideoEncoder(VideoKind kind, const SinkRequest& request, const VideoSettings& settings, bool streaming, bool globalHeader);

    AVCodecContext* codec() const { return codec_.get(); }
    // The latest picture; its pts is the caller's to set.
    AVFrame* picture() const { return picture_.get(); }

    // Converts the canvas (of the encoder's size) into the picture. The
    // encoder may still hold the picture before: then it is copied first.
    void draw(const LumCanvas& canvas);

    // A new reference to the picture as it is now.
    FramePtr reference() const;

private:
    void open(const SinkRequest& request, const VideoSettings& settings, bool streaming, bool globalHeader);
    void makePicture();
    void convertToYuv(const LumCanvas& canvas);
    void convertToPalette(const LumCanvas& canvas);

    VideoKind kind_;
    CodecPtr codec_;
    FramePtr picture_;
    std::unique_ptr<ChangedSpans> spans_;
    GifPalette palette_;
};

}  // namespace lumhost
