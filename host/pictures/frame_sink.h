// Where rendered frames go: a video through ffmpeg, a PNG still, a y4m
// stream, raw bytes on standard output, or nowhere.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "lum_plugin.h"

namespace lumhost {

class FrameSink {
public:
    virtual ~FrameSink() = default;
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
    std::optional<std::string> audio; // sound to mux into .mp4 and .webm
    std::string ffmpeg = "ffmpeg";    // the ffmpeg program
};

// Chooses the sink by the output's extension; throws HostError for an
// unknown one or a size the format cannot take.
std::unique_ptr<FrameSink> makeFrameSink(const SinkRequest& request);

// Whether the output needs the audio as a file (the formats ffmpeg muxes it into).
bool sinkMuxesAudio(const std::string& output);

// Writes the canvas's rows as bgr0 bytes to `fd` (see writeAll).
void writeCanvas(int fd, const LumCanvas& canvas, const char* what);

std::unique_ptr<FrameSink> makeFfmpegSink(const SinkRequest& request, const std::string& extension);
std::unique_ptr<FrameSink> makePngSink(const SinkRequest& request);
std::unique_ptr<FrameSink> makeY4mSink(const SinkRequest& request);
std::unique_ptr<FrameSink> makeRawSink();
std::unique_ptr<FrameSink> makeNullSink();

}  // namespace lumhost
