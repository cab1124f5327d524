// The encoders and their settings for each kind of video, from the defaults
// and the user's --crf, --preset and --audio-bitrate; checked before anything
// is opened.
#pragma once

#include <string>
#include <utility>
#include <vector>

extern "C" {
#include <libavutil/samplefmt.h>
}

#include "lumhost/pictures/frame_sink.h"

namespace lumhost {

enum class VideoKind { Mp4, Mkv, Webm, Gif };

// ".mp4", ".mkv", ".webm" or ".gif" (lower case).
VideoKind videoKindFor(const std::string& extension);

struct VideoSettings {
    const char* videoEncoder = nullptr;                       // libavcodec's name
    std::vector<std::pair<std::string, std::string>> videoOptions;  // the encoder's private options
    int64_t bitRate = 0;                                      // video, bits per second; 0: constant quality
    const char* audioEncoder = nullptr;                       // none for GIF
    AVSampleFormat sampleFormat = AV_SAMPLE_FMT_NONE;
    int sampleRate = 0;                                       // 0: the sound's own
    int64_t audioBitRate = 0;                                 // 0: lossless
};

// Throws HostError naming the option for an unknown preset, a crf out of
// range or an audio bit rate below 1.
VideoSettings resolveVideoSettings(VideoKind kind, const EncoderSettings& settings);

}  // namespace lumhost
