// The module's pieces that need no OBS: the transparent frame made from the
// figure, the colour exchange with OBS's picker, and the settings keys.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <vector>

#include "lum_plugin.h"
#include "obs/frame_alpha.h"
#include "obs/source_catalogue.h"

namespace lumobs {
namespace {

// OBS blends a BGRA frame as colour x alpha + scene x (1 - alpha): over
// black, the transparent frame must give back the figure's own pixel, for
// every brightness, within the rounding of one 8-bit step.
TEST(FrameAlpha, BlendedOverBlackGivesTheFigureBack) {
    std::vector<uint32_t> canvas;
    for (uint32_t r = 0; r < 256; r += 5)
        for (uint32_t g = 0; g < 256; g += 15)
            for (uint32_t b = 0; b < 256; b += 17) canvas.push_back((r << 16) | (g << 8) | b | 0xAB000000u);
    const int width = 16;
    const int height = static_cast<int>(canvas.size()) / width;
    std::vector<uint32_t> out(canvas.size(), 0xDEADBEEF);
    alphaFromFigure(canvas.data(), out.data(), width, height, width * 4);
    for (std::size_t i = 0; i < static_cast<std::size_t>(width * height); ++i) {
        const uint32_t in = canvas[i], p = out[i];
        const unsigned alpha = p >> 24;
        for (int shift : {0, 8, 16}) {
            const unsigned original = (in >> shift) & 0xFF;
            const unsigned blended = (((p >> shift) & 0xFF) * alpha + 127) / 255;
            ASSERT_LE(std::max(original, blended) - std::min(original, blended), 1u) << std::hex << in << " gave " << p;
        }
        // The brightest channel sets the alpha: a pure colour is opaque where it is full, black is see-through.
        ASSERT_EQ(alpha, std::max({(in >> 16) & 0xFF, (in >> 8) & 0xFF, in & 0xFF})) << std::hex << in;
    }
}

// Rows are `stride` apart: padding between them is neither read nor written.
TEST(FrameAlpha, KeepsToTheRowsOfAStride) {
    const int width = 3, height = 2, stride = 5 * 4;
    std::vector<uint32_t> canvas(10, 0x00FFFFFF), out(10, 0x12345678);
    alphaFromFigure(canvas.data(), out.data(), width, height, stride);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < 5; ++x) EXPECT_EQ(out[static_cast<std::size_t>(y * 5 + x)], x < width ? 0xFFFFFFFFu : 0x12345678u) << x << "," << y;
}

TEST(Colours, PickerShowsThePluginsColourOpaqueAndGivesItBackWithoutAlpha) {
    for (const int32_t colour : {0x000000, 0x0000C0FF, 0x00FF8000, 0x00FFFFFF}) {
        const int64_t picked = obsColour(colour);
        EXPECT_EQ(static_cast<uint32_t>(picked) >> 24, 0xFFu);
        // Both are red in the low byte.
        EXPECT_EQ(picked & 0xFF, colour & 0xFF);
        EXPECT_EQ(pluginColour(picked), colour);
    }
    // A colour chosen with some transparency still reaches the plug-in as a colour.
    EXPECT_EQ(pluginColour(0x800000FF), 0x000000FF);
}

lumhost::ProbedParam param(uint32_t id, int32_t type, const std::string& name) {
    lumhost::ProbedParam p;
    p.param.id = id;
    p.param.type = type;
    p.param.name = name;
    return p;
}

// Keys follow the plug-in's names in OBS's style; one that would take a key of
// the source's own, or another setting's, is told apart by its id.
TEST(SettingKeys, NamedAsOBSKeysAndNeverTakingTheSourcesOwn) {
    lumhost::PluginProbe probe;
    probe.loaded = true;
    probe.displayName = "Zig";
    probe.params = {param(0, PARAMTYPE_INTEGER, "Line width"), param(1, PARAMTYPE_TOGGLE, "Fade out"), param(2, PARAMTYPE_INTEGER, "Width"),
                    param(3, PARAMTYPE_INTEGER, "Audio source"), param(4, PARAMTYPE_INTEGER, "line-width"), param(5, PARAMTYPE_COLOR, "")};
    const auto description = describeSource("zig zag", "/x/zig zag.lum", probe);
    EXPECT_EQ(description.id, "lum_zig_zag");
    EXPECT_EQ(description.displayName, "Zig");
    ASSERT_EQ(description.settings.size(), 6u);
    EXPECT_EQ(description.settings[0].key, "line_width");
    EXPECT_EQ(description.settings[1].key, "fade_out");
    std::set<std::string> keys = {audioSourceKey, widthKey, heightKey, transparentKey, presetKey, presetNameKey, savePresetKey};
    for (const auto& setting : description.settings) EXPECT_TRUE(keys.insert(setting.key).second) << setting.key << " is taken";
    // A plug-in without a long name is listed by its short one, then by its file.
    probe.displayName.clear();
    EXPECT_EQ(describeSource("zig zag", "/x/zig zag.lum", probe).displayName, "zig zag");
}

}  // namespace
}  // namespace lumobs
