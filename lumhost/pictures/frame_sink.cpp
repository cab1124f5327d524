#include "lumhost/pictures/frame_sink.h"

#include <algorithm>
#include <filesystem>

#include "lumhost/base/host_error.h"
#include "lumhost/pictures/output_file.h"

namespace lumhost {
namespace {

std::string extensionOf(const std::string& output) {
    auto extension = std::filesystem::path(output).extension().string();
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return extension;
}

class NullSink final : public FrameSink {
public:
    void writeFrame(const LumCanvas&) override {}
    void finish() override {}
};

}  // namespace

std::string streamScheme(const std::string& output) {
    const auto colon = output.find("://");
    if (colon == std::string::npos) return "";
    auto scheme = output.substr(0, colon);
    std::transform(scheme.begin(), scheme.end(), scheme.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return scheme;
}

std::unique_ptr<FrameSink> makeFrameSink(const SinkRequest& request) {
    if (request.discard) return makeNullSink();
    if (request.output == "-") return makeRawSink();
    if (const auto scheme = streamScheme(request.output); !scheme.empty()) {
        if (scheme != "rtmp" && scheme != "rtmps" && scheme != "srt" && scheme != "udp")
            throw HostError("cannot stream to " + request.output + " (use rtmp://, rtmps://, srt:// or udp://)");
        if (request.width % 2 != 0 || request.height % 2 != 0)
            throw HostError("--size: a stream needs an even width and height, got " + std::to_string(request.width) + "x" +
                            std::to_string(request.height));
        return makeStreamSink(request, scheme);
    }
    const auto extension = extensionOf(request.output);
    if (extension == ".mp4" || extension == ".mkv" || extension == ".webm" || extension == ".gif") {
        if (extension != ".gif" && (request.width % 2 != 0 || request.height % 2 != 0))
            throw HostError("--size: " + extension + " video needs an even width and height, got " +
                            std::to_string(request.width) + "x" + std::to_string(request.height));
        return makeVideoSink(request, extension);
    }
    if (extension == ".png") return makePngSink(request);
    if (extension == ".y4m") return makeY4mSink(request);
    throw HostError("unknown output type '" + (extension.empty() ? request.output : extension) +
                    "' (use .mp4, .mkv, .webm, .gif, .png, .y4m, - or --null)");
}

void writeCanvas(int fd, const LumCanvas& canvas, const char* what) {
    const auto* bytes = reinterpret_cast<const char*>(canvas.pixels);
    const auto rowBytes = static_cast<std::size_t>(canvas.width) * 4;
    if (static_cast<std::size_t>(canvas.stride) == rowBytes) {
        writeAll(fd, bytes, rowBytes * static_cast<std::size_t>(canvas.height), what);
        return;
    }
    for (int32_t y = 0; y < canvas.height; ++y)
        writeAll(fd, bytes + static_cast<std::size_t>(y) * static_cast<std::size_t>(canvas.stride), rowBytes, what);
}

std::unique_ptr<FrameSink> makeNullSink() { return std::make_unique<NullSink>(); }

}  // namespace lumhost
