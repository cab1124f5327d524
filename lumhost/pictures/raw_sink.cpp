// Raw frames on standard output: bgr0, bytes B, G, R, 0 per pixel, rows
// top-down, no header, frame after frame.
#include <unistd.h>

#include "lumhost/base/host_error.h"
#include "lumhost/pictures/frame_sink.h"

namespace lumhost {
namespace {

class RawSink final : public FrameSink {
public:
    RawSink() {
        if (::isatty(STDOUT_FILENO)) throw HostError("-o -: standard output is a terminal; pipe it into a program");
    }
    void writeFrame(const LumCanvas& canvas) override { writeCanvas(STDOUT_FILENO, canvas, "standard output"); }
    void finish() override {}
};

}  // namespace

std::unique_ptr<FrameSink> makeRawSink() { return std::make_unique<RawSink>(); }

}  // namespace lumhost
