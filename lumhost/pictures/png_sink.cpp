// The last frame as a PNG still, written with libpng.
#include <png.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

#include "lumhost/base/host_error.h"
#include "lumhost/pictures/frame_sink.h"
#include "lumhost/pictures/output_file.h"

namespace lumhost {
namespace {

class PngSink final : public FrameSink {
public:
    explicit PngSink(const SinkRequest& request) : file_(request.output) {}

    // Only the last frame is kept; the canvas stays the host's until finish().
    void writeFrame(const LumCanvas& canvas) override { last_ = canvas; }

    void finish() override {
        if (last_.pixels == nullptr) throw HostError("no frame to write to " + file_.target().string());
        convertLastFrame();
        FILE* stream = fdopen(file_.fd(), "wb");
        if (stream == nullptr) throw HostError("cannot write " + file_.target().string() + ": " + std::strerror(errno));
        file_.releaseDescriptor();  // the stream owns it now
        png_image image{};
        image.version = PNG_IMAGE_VERSION;
        image.width = static_cast<png_uint_32>(width_);
        image.height = static_cast<png_uint_32>(height_);
        image.format = PNG_FORMAT_RGB;
        const int written = png_image_write_to_stdio(&image, stream, 0, rgb_.data(), 0, nullptr);
        const std::string message = image.message;
        png_image_free(&image);
        const bool flushed = std::fflush(stream) == 0;
        const bool closed = std::fclose(stream) == 0;
        if (!written || !flushed || !closed)
            throw HostError("cannot write " + file_.target().string() + ": " + (written ? std::strerror(errno) : message));
        file_.commit();
    }

private:
    void convertLastFrame() {
        width_ = last_.width;
        height_ = last_.height;
        rgb_.resize(static_cast<std::size_t>(width_) * static_cast<std::size_t>(height_) * 3);
        auto* out = rgb_.data();
        for (int32_t y = 0; y < height_; ++y) {
            const auto* row = reinterpret_cast<const uint32_t*>(reinterpret_cast<const char*>(last_.pixels) +
                                                                static_cast<std::size_t>(y) * static_cast<std::size_t>(last_.stride));
            for (int32_t x = 0; x < width_; ++x) {
                *out++ = static_cast<png_byte>(row[x] >> 16);
                *out++ = static_cast<png_byte>(row[x] >> 8);
                *out++ = static_cast<png_byte>(row[x]);
            }
        }
    }

    OutputFile file_;
    LumCanvas last_{0, 0, 0, nullptr};
    int32_t width_ = 0;
    int32_t height_ = 0;
    std::vector<png_byte> rgb_;
};

}  // namespace

std::unique_ptr<FrameSink> makePngSink(const SinkRequest& request) { return std::make_unique<PngSink>(request); }

}  // namespace lumhost
