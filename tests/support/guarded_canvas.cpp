#include "guarded_canvas.h"

#include <algorithm>

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
      columns_(wellFormed ? static_cast<std::size_t>(width) : 0),
      buffer_(2 * kMargin + stridePixels_ * rows_) {
    canvas_ = LumCanvas{width, height, strideBytes, withPixels ? buffer_.data() + kMargin : nullptr};
    reset();
}

void GuardedCanvas::reset() {
    std::fill(buffer_.begin(), buffer_.end(), kGuard);
    if (columns_ > 0)
        for (std::size_t y = 0; y < rows_; ++y) std::fill_n(row(y), columns_, kBlank);
}

uint32_t GuardedCanvas::pixel(int32_t x, int32_t y) const { return row(static_cast<std::size_t>(y))[x]; }

std::size_t GuardedCanvas::count(uint32_t value) const {
    std::size_t n = 0;
    if (columns_ > 0)
        for (std::size_t y = 0; y < rows_; ++y) n += static_cast<std::size_t>(std::count(row(y), row(y) + columns_, value));
    return n;
}

bool GuardedCanvas::guardsIntact() const {
    auto guards = [](const uint32_t* from, const uint32_t* to) {
        return std::all_of(from, to, [](uint32_t v) { return v == kGuard; });
    };
    const uint32_t* begin = buffer_.data();
    const uint32_t* end = begin + buffer_.size();
    if (!guards(begin, begin + kMargin) || !guards(end - kMargin, end)) return false;
    for (std::size_t y = 0; y < rows_; ++y)
        if (!guards(row(y) + columns_, row(y) + stridePixels_)) return false;
    return true;
}

bool GuardedCanvas::untouched() const {
    if (!guardsIntact()) return false;
    return count(kBlank) == columns_ * rows_;
}

}  // namespace gyrotrail::testing
