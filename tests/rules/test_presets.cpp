// Preset text as lumhost, the page and the other front ends read and write
// it, against the plug-in itself.
#include <gtest/gtest.h>

#include <set>

#include "lum_plugin.h"
#include "rules/entry_point_params.h"
#include "rules/presets.h"

namespace lumrules {
namespace {

class PresetText : public ::testing::Test {
protected:
    void SetUp() override {
        LumPluginInfo info{};
        lumInit(&info);
    }
    EntryPointParams plugin{&lumGetParamInfo, &lumSetParamInfo};
};

TEST_F(PresetText, CommentsBlankLinesAndSpacesDoNotCount) {
    const auto lines = parsePreset("# bold\n\n  Line width = 20 \r\nzoom-factor=95\n   # note\ncolor=#20C0FF", "bold.preset");
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0].line, 3);
    EXPECT_EQ(lines[0].name, "Line width");
    EXPECT_EQ(lines[0].value, "20");
    EXPECT_EQ(lines[2].line, 6) << "a last line without a line break still counts";
    EXPECT_TRUE(parsePreset("", "empty.preset").empty());
}

TEST_F(PresetText, BadLinesAreNamedByFileAndLineAndChangeNothing) {
    struct Case {
        const char* text;
        const char* error;
    };
    for (const Case c : {Case{"line width=20\nlinewidth 3\n", "p.preset:2: expected NAME=VALUE, got 'linewidth 3'"},
                         Case{"line width=\n", "p.preset:1: expected NAME=VALUE, got 'line width='"},
                         Case{"# x\ndepth=3\n", "p.preset:2: the plug-in has no parameter named 'depth'"},
                         Case{"zoom factor=95\nfade out=maybe\n",
                              "p.preset:2: Fade out: bad parameter value 'maybe' (expected on, off or an integer)"}}) {
        try {
            applyPreset(plugin, c.text, "p.preset");
            ADD_FAILURE() << c.text;
        } catch (const RuleError& error) {
            EXPECT_STREQ(error.what(), c.error);
        }
        EXPECT_EQ(plugin.describe(PARAM_ZOOM_FACTOR)->value, 90) << "a bad preset applies none of its lines";
    }
}

TEST_F(PresetText, WrittenSettingsReadBackToTheSameSettings) {
    const auto notes = applyPreset(plugin, "line width=80\ncolor=0x7F000001\nfade out=7\nrotation speed=0\n", "x.preset");
    EXPECT_EQ(notes, (std::vector<std::string>{"Line width: 80 is out of range, applied 50"}));
    const auto text = presetText(plugin);
    EXPECT_EQ(text, "Color=0x7F000001\nLine width=50\nLine length=5\nRotation speed=0\nFade out=7\nZoom factor=90\n");
    LumPluginInfo info{};
    lumInit(&info);
    EXPECT_TRUE(applyPreset(plugin, text, "saved.preset").empty());
    EXPECT_EQ(presetText(plugin), text);
}

TEST_F(PresetText, RandomSettingsStayWithinTheClampedRanges) {
    std::mt19937 random(7);
    std::set<int32_t> widths;
    for (int i = 0; i < 50; ++i) {
        const auto changes = randomiseSettings(plugin, random);
        EXPECT_EQ(changes.size(), 6u);
        const auto width = plugin.describe(PARAM_LINE_WIDTH)->value;
        EXPECT_GE(width, 1);
        EXPECT_LE(width, 50);
        const auto zoom = plugin.describe(PARAM_ZOOM_FACTOR)->value;
        EXPECT_GE(zoom, 1);
        EXPECT_LE(zoom, 99);
        EXPECT_EQ(plugin.describe(PARAM_COLOR)->value & 0xFF000000, 0);
        widths.insert(width);
    }
    EXPECT_GT(widths.size(), 10u) << "the values vary";
}

TEST(PresetNames, NextAndFreeNamesAndWhatANameMayBe) {
    EXPECT_EQ(nextPreset(3, 3), 0u) << "none chosen yet: the first";
    EXPECT_EQ(nextPreset(0, 3), 1u);
    EXPECT_EQ(nextPreset(2, 3), 0u) << "after the last, the first again";
    EXPECT_EQ(nextPreset(0, 0), 0u);
    const std::set<std::string> taken{"saved-1", "saved-2"};
    EXPECT_EQ(freePresetName("saved", [&](const std::string& name) { return taken.count(name) > 0; }), "saved-3");
    EXPECT_NO_THROW(checkPresetName("bold"));
    for (const char* bad : {"", ".hidden", "a/b", "a\\b", "two\nlines"}) EXPECT_THROW(checkPresetName(bad), RuleError) << bad;
}

}  // namespace
}  // namespace lumrules
