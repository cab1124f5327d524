// The GIF encoder's palette, built as the colours appear: every new colour
// gets an entry of its own while there is room, so a figure's few colours
// stay exact; after 256 a new colour takes the nearest entry.
#pragma once

#include <array>
#include <cstdint>
#include <unordered_map>

namespace lumhost {

class GifPalette {
public:
    // Black is entry 0, as the canvas starts black.
    GifPalette();

    // The entry for a canvas colour (0x00RRGGBB; the top byte is ignored).
    uint8_t indexOf(uint32_t rgb);

    // The palette as libavcodec takes it: 256 entries of 0xAARRGGBB, opaque.
    void copyTo(uint8_t* data) const;

private:
    // Green counts most and blue least, as the eye sees a difference.
    uint8_t nearest(uint32_t rgb) const;

    std::array<uint32_t, 256> entries_{};
    int count_ = 0;
    std::unordered_map<uint32_t, uint8_t> known_;
    // Runs of one colour are the common case: they skip the map.
    uint32_t lastColour_ = 0xFFFFFFFFu;
    uint8_t lastIndex_ = 0;
};

}  // namespace lumhost
