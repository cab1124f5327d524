// A YUV4MPEG2 stream: 4:4:4 so thin lines keep their colour, BT.601
// studio-range values, one FRAME per rendered frame.
#include <string>
#include <vector>

#include "lumhost/pictures/frame_sink.h"
#include "lumhost/pictures/output_file.h"

namespace lumhost {
namespace {

class Y4mSink final : public FrameSink {
public:
    explicit Y4mSink(const SinkRequest& request) : file_(request.output) {
        const std::string header = "YUV4MPEG2 W" + std::to_string(request.width) + " H" + std::to_string(request.height) +
                                   " F" + std::to_string(request.fps) + ":1 Ip A1:1 C444 XCOLORRANGE=LIMITED\n";
        writeAll(file_.fd(), header.data(), header.size(), file_.target().c_str());
        plane_ = static_cast<std::size_t>(request.width) * static_cast<std::size_t>(request.height);
        frame_.resize(6 + 3 * plane_);
        frame_.replace(0, 6, "FRAME\n");
    }

    void writeFrame(const LumCanvas& canvas) override {
        char* luma = frame_.data() + 6;
        char* blueDifference = luma + plane_;
        char* redDifference = blueDifference + plane_;
        std::size_t i = 0;
        for (int32_t y = 0; y < canvas.height; ++y) {
            const auto* row = reinterpret_cast<const uint32_t*>(reinterpret_cast<const char*>(canvas.pixels) +
                                                                static_cast<std::size_t>(y) * static_cast<std::size_t>(canvas.stride));
            for (int32_t x = 0; x < canvas.width; ++x, ++i) {
                const int r = (row[x] >> 16) & 0xFF, g = (row[x] >> 8) & 0xFF, b = row[x] & 0xFF;
                luma[i] = static_cast<char>(((66 * r + 129 * g + 25 * b + 128) >> 8) + 16);
                blueDifference[i] = static_cast<char>(((-38 * r - 74 * g + 112 * b + 128) >> 8) + 128);
                redDifference[i] = static_cast<char>(((112 * r - 94 * g - 18 * b + 128) >> 8) + 128);
            }
        }
        writeAll(file_.fd(), frame_.data(), frame_.size(), file_.target().c_str());
    }

    void finish() override { file_.commit(); }

private:
    OutputFile file_;
    std::size_t plane_ = 0;
    std::string frame_;
};

}  // namespace

std::unique_ptr<FrameSink> makeY4mSink(const SinkRequest& request) { return std::make_unique<Y4mSink>(request); }

}  // namespace lumhost
