// Where rendered frames go: a video encoded in-process (with its sound), a
// PNG still, a y4m stream, raw bytes on standard output, or nowhere.
#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <string>

#include "lum_plugin.h"

namespace lumhost {

// The sound that goes with the frames: interleaved float samples in -1..1.
struct SoundFormat {
    int rate = 0;
    int channels = 0;  // 1 or 2
};

// Quality and speed of the encoders; nothing means the output's default.
struct EncoderSettings {
    std::optional<int> crf;                 // H.264 and VP9 constant quality
    std::optional<std::string> preset;      // H.264 (x264) preset, VP9 deadline
    std::optional<int64_t> audioBitrate;    // bits per second
};

class FrameSink {
public:
    virtual ~FrameSink() = default;
    // The sound of the next frame, before that frame; sinks without sound ignore it.
    virtual void writeSound(const float* /*interleaved*/, std::size_t /*frames*/) {}
    // Takes one frame; the canvas is 0x00RRGGBB pixels, read as bytes B, G, R, 0.
    // The canvas must stay valid until finish() (a still reads it only then).
    virtual void writeFrame(const LumCanvas& canvas) = 0;
    // Completes the output: only now does the target file appear.
    virtual void finish() = 0;
};

struct SinkRequest {
    std::string output;               // a file path, "-" for standard output, empty with discard
    bool discard = false;             // --null
    int width = 0;
    int height = 0;
    int fps = 0;
    std::optional<SoundFormat> sound; // the sound, for outputs that carry it
    EncoderSettings encoder;
    bool paceRealTime = false;        // a stream of a recording: frames no faster than they play
};

// Chooses the sink by the output's extension; throws HostError for an
// unknown one, a size the format cannot take or settings its encoder
// refuses, before any output exists.
std::unique_ptr<FrameSink> makeFrameSink(const SinkRequest& request);

// The streaming protocol an output names (rtmp, rtmps, srt, udp), or empty for a file.
std::string streamScheme(const std::string& output);

// Writes the canvas's rows as bgr0 bytes to `fd` (see writeAll).
void writeCanvas(int fd, const LumCanvas& canvas, const char* what);

std::unique_ptr<FrameSink> makeVideoSink(const SinkRequest& request, const std::string& extension);
// A live stream to a server: FLV over RTMP, MPEG-TS over SRT or UDP, H.264 + AAC.
std::unique_ptr<FrameSink> makeStreamSink(const SinkRequest& request, const std::string& scheme);
std::unique_ptr<FrameSink> makePngSink(const SinkRequest& request);
std::unique_ptr<FrameSink> makeY4mSink(const SinkRequest& request);
std::unique_ptr<FrameSink> makeRawSink();
std::unique_ptr<FrameSink> makeNullSink();

}  // namespace lumhost
