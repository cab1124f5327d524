// Raw frames on standard output: bgr0, bytes B, G, R, 0 per pixel, rows
// top-down, no header, frame after frame.
#include <unistd.h>

#include "host/frame_sink.h"
#include "host/host_error.h"
#include "host/output_file.h"

namespace lumhost {
namespace {

class RawSink final : public FrameSink {
public:
    RawSink() {
        if (::isatty(STDOUT_FILENO)) throw HostError("-o -: standard output is a terminal; pipe it into a program");
    }
    void writeFrame(const LumCanvas& canvas) override {
        const auto* bytes = reinterpret_cast<const char*>(canvas.pixels);
        const auto rowBytes = static_cast<std::size_t>(canvas.width) * 4;
        for (int32_t y = 0; y < canvas.height; ++y)
            writeAll(STDOUT_FILENO, bytes + static_cast<std::size_t>(y) * static_cast<std::size_t>(canvas.stride), rowBytes,
                     "standard output");
    }
    void finish() override {}
};

}  // namespace

std::unique_ptr<FrameSink> makeRawSink() { return std::make_unique<RawSink>(); }

}  // namespace lumhost
