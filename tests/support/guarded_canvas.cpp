#include "guarded_canvas.h"

namespace gyrotrail::testing {

namespace {
bool isWellFormed(int32_t width, int32_t height, int32_t strideBytes, bool withPixels) {
    return withPixels && width > 0 && height > 0 && strideBytes % 4 == 0 && strideBytes / 4 >= width;
}
}  // namespace

GuardedCanvas::GuardedCanvas(int32_t width, int32_t height, int32_t padding)
    : GuardedCanvas(width, height, (width + padding) * 4, true, isWellFormed(width, height, (width + padding) * 4, true)) {}

GuardedCanvas GuardedCanvas::declared(int32_t width, int32_t height, int32_t strideBytes, bool withPixels) {
    return GuardedCanvas(width, height, strideBytes, withPixels, isWellFormed(width, height, strideBytes, withPixels));
}

GuardedCanvas::GuardedCanvas(int32_t width, int32_t height, int32_t strideBytes, bool withPixels, bool wellFormed)
    : wellFormed_(wellFormed),
      stridePixels_(strideBytes > 0 ? static_cast<std::size_t>(strideBytes) / 4 : 0),
      rows_(height > 0 ? static_cast<std::size_t>(height) : 0),
      buffer_(2 * kMargin + stridePixels_ * rows_, kGuard) {
    canvas_ = LumCanvas{width, height, strideBytes, withPixels ? buffer_.data() + kMargin : nullptr};
    for (std::size_t i = 0; i < stridePixels_ * rows_; ++i)
        if (inCanvas(i)) buffer_[kMargin + i] = kBlank;
}

bool GuardedCanvas::inCanvas(std::size_t index) const {
    return wellFormed_ && index < stridePixels_ * rows_ &&
           index % stridePixels_ < static_cast<std::size_t>(canvas_.width > 0 ? canvas_.width : 0);
}

uint32_t GuardedCanvas::pixel(int32_t x, int32_t y) const {
    return buffer_[kMargin + static_cast<std::size_t>(y) * stridePixels_ + static_cast<std::size_t>(x)];
}

std::size_t GuardedCanvas::count(uint32_t value) const {
    std::size_t n = 0;
    for (std::size_t i = 0; i < stridePixels_ * rows_; ++i) n += inCanvas(i) && buffer_[kMargin + i] == value;
    return n;
}

bool GuardedCanvas::guardsIntact() const {
    for (std::size_t i = 0; i < buffer_.size(); ++i) {
        const bool canvasPixel = i >= kMargin && inCanvas(i - kMargin);
        if (!canvasPixel && buffer_[i] != kGuard) return false;
    }
    return true;
}

bool GuardedCanvas::untouched() const {
    if (!guardsIntact()) return false;
    for (std::size_t i = 0; i < stridePixels_ * rows_; ++i)
        if (inCanvas(i) && buffer_[kMargin + i] != kBlank) return false;
    return true;
}

}  // namespace gyrotrail::testing
