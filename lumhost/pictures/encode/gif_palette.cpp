#include "lumhost/pictures/encode/gif_palette.h"

namespace lumhost {

GifPalette::GifPalette() { indexOf(0); }

uint8_t GifPalette::indexOf(uint32_t rgb) {
    rgb &= 0xFFFFFF;
    if (rgb == lastColour_) return lastIndex_;
    auto found = known_.find(rgb);
    uint8_t index;
    if (found != known_.end()) {
        index = found->second;
    } else {
        if (count_ < 256) {
            index = static_cast<uint8_t>(count_++);
            entries_[index] = rgb;
        } else {
            index = nearest(rgb);
        }
        known_.emplace(rgb, index);
    }
    lastColour_ = rgb;
    lastIndex_ = index;
    return index;
}

void GifPalette::copyTo(uint8_t* data) const {
    auto* out = reinterpret_cast<uint32_t*>(data);
    for (int i = 0; i < 256; ++i) out[i] = 0xFF000000u | entries_[static_cast<std::size_t>(i)];
}

uint8_t GifPalette::nearest(uint32_t rgb) const {
    int best = 0;
    long bestDistance = -1;
    for (int i = 0; i < count_; ++i) {
        const uint32_t entry = entries_[static_cast<std::size_t>(i)];
        const long dr = static_cast<long>((rgb >> 16) & 0xFF) - static_cast<long>((entry >> 16) & 0xFF);
        const long dg = static_cast<long>((rgb >> 8) & 0xFF) - static_cast<long>((entry >> 8) & 0xFF);
        const long db = static_cast<long>(rgb & 0xFF) - static_cast<long>(entry & 0xFF);
        const long distance = 3 * dr * dr + 6 * dg * dg + db * db;
        if (bestDistance < 0 || distance < bestDistance) {
            bestDistance = distance;
            best = i;
        }
    }
    return static_cast<uint8_t>(best);
}

}  // namespace lumhost
