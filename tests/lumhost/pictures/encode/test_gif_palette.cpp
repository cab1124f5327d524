// The GIF palette: exact entries for the first 256 colours, in the order
// they appear, and the nearest entry after that.
#include <gtest/gtest.h>

#include <array>

#include "lumhost/pictures/encode/gif_palette.h"

namespace lumhost {
namespace {

std::array<uint32_t, 256> entries(const GifPalette& palette) {
    std::array<uint32_t, 256> out{};
    palette.copyTo(reinterpret_cast<uint8_t*>(out.data()));
    return out;
}

TEST(GifPalette, NewColoursTakeTheNextEntryAndKeepIt) {
    GifPalette palette;
    EXPECT_EQ(palette.indexOf(0x000000), 0) << "black, the empty canvas, is there from the start";
    EXPECT_EQ(palette.indexOf(0x30A0F0), 1);
    EXPECT_EQ(palette.indexOf(0x30A0F0), 1);
    EXPECT_EQ(palette.indexOf(0x183850), 2);
    EXPECT_EQ(palette.indexOf(0xFF30A0F0), 1) << "the top byte is no part of the colour";
    EXPECT_EQ(palette.indexOf(0x000000), 0);
    EXPECT_EQ(palette.indexOf(0x183850), 2);

    const auto shown = entries(palette);
    EXPECT_EQ(shown[0], 0xFF000000u);
    EXPECT_EQ(shown[1], 0xFF30A0F0u);
    EXPECT_EQ(shown[2], 0xFF183850u);
    EXPECT_EQ(shown[3], 0xFF000000u) << "entries not yet used are opaque black";
}

// Around a grey: one entry a little greener, one a little redder, one
// bluer by twice as much. Counted plainly the greener is nearest; as the
// eye sees it (green most, blue least) the bluer.
TEST(GifPalette, AFullPaletteGivesTheNearestEntryAndStaysAsItWas) {
    GifPalette palette;
    const uint32_t greener = 0x808A80, redder = 0x8C8080, bluer = 0x808094;
    EXPECT_EQ(palette.indexOf(greener), 1);
    EXPECT_EQ(palette.indexOf(redder), 2);
    EXPECT_EQ(palette.indexOf(bluer), 3);
    for (uint32_t blue = 1; blue <= 252; ++blue) palette.indexOf(blue);  // far from the grey
    EXPECT_EQ(palette.indexOf(252), 255) << "the 256th colour still has an entry of its own";
    const auto full = entries(palette);

    EXPECT_EQ(palette.indexOf(0x808080), 3);
    EXPECT_EQ(palette.indexOf(0x808080), 3);
    EXPECT_EQ(palette.indexOf(0x000000), 0) << "black keeps its entry";
    EXPECT_EQ(palette.indexOf(0x010100), 0) << "a new colour by black";
    EXPECT_EQ(palette.indexOf(0x808080), 3) << "the grey, no longer the last colour asked for";
    EXPECT_EQ(entries(palette), full);
}

}  // namespace
}  // namespace lumhost
