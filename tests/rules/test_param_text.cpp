// Parameter text as every front end shares it, against the plug-in itself:
// values parsed and written back, names in each front end's convention,
// ranges found by clamping, lists of settings and the clamp note.
#include <gtest/gtest.h>

#include <climits>

#include "lum_plugin.h"
#include "rules/entry_point_params.h"
#include "rules/param_text.h"

namespace lumrules {
namespace {

class ParamText : public ::testing::Test {
protected:
    void SetUp() override {
        LumPluginInfo info{};
        char room[256]{};
        (void)room;
        lumInit(&info);
    }
    EntryPointParams plugin{&lumGetParamInfo, &lumSetParamInfo};
};

TEST_F(ParamText, ListsTheSettingsTheGetterAnswers) {
    const auto params = listParams(plugin);
    ASSERT_EQ(params.size(), 6u);
    EXPECT_EQ(params.front().id, 10u);
    EXPECT_EQ(params.front().name, "Color");
    EXPECT_EQ(params.back().name, "Zoom factor");
    EXPECT_EQ(params.back().value, 90);
    EXPECT_EQ(params[1].description, "Defines the line width in pixel (1-50).");
    EXPECT_EQ(findParam(plugin, "LINE_WIDTH")->id, 11u);
    EXPECT_FALSE(findParam(plugin, "width"));
}

TEST_F(ParamText, RangesComeFromClampingAndTheValueStays) {
    ASSERT_TRUE(plugin.set(PARAM_LINE_WIDTH, 7));
    const auto width = clampRange(plugin, PARAM_LINE_WIDTH);
    ASSERT_TRUE(width);
    EXPECT_EQ(width->low, 1);
    EXPECT_EQ(width->high, 50);
    EXPECT_EQ(plugin.describe(PARAM_LINE_WIDTH)->value, 7) << "asking for the range leaves the setting as it was";
    EXPECT_EQ(clampRange(plugin, PARAM_ZOOM_FACTOR)->high, 99);
    EXPECT_EQ(clampRange(plugin, PARAM_ROTATION_SPEED)->low, 0);
    EXPECT_FALSE(clampRange(plugin, PARAM_COLOR)) << "a colour takes every value";
    EXPECT_FALSE(clampRange(plugin, PARAM_FADE_OUT));
    EXPECT_FALSE(clampRange(plugin, 200)) << "an id the plug-in does not know";
}

TEST(ParamValues, ParseAndWriteBackToTheSameBits) {
    EXPECT_EQ(parseValue("42", PARAMTYPE_INTEGER), 42);
    EXPECT_EQ(parseValue("0xFFFFFFFF", 0), -1);
    EXPECT_EQ(parseValue("#FF8000", PARAMTYPE_COLOR), 0x000080FF);
    EXPECT_EQ(parseValue("Yes", PARAMTYPE_TOGGLE), 1);
    EXPECT_FALSE(parseValue("yes", PARAMTYPE_INTEGER));
    EXPECT_FALSE(parseValue(" 12", PARAMTYPE_INTEGER)) << "a value is the whole text";
    EXPECT_THROW(parseValueOrThrow("1.5", PARAMTYPE_INTEGER), RuleError);
    struct Case {
        int32_t type, value;
        const char* text;
    };
    for (const Case c : {Case{PARAMTYPE_COLOR, 0x00FFC000, "#00C0FF"}, Case{PARAMTYPE_COLOR, 0x7F000001, "0x7F000001"},
                         Case{PARAMTYPE_TOGGLE, 1, "on"}, Case{PARAMTYPE_TOGGLE, 0, "off"}, Case{PARAMTYPE_TOGGLE, 7, "7"},
                         Case{PARAMTYPE_INTEGER, INT32_MIN, "-2147483648"}}) {
        EXPECT_EQ(valueText(c.type, c.value), c.text);
        EXPECT_EQ(parseValue(valueText(c.type, c.value), c.type), c.value) << c.text;
    }
    EXPECT_EQ(formatValue(PARAMTYPE_COLOR, 0x000080FF), "0x000080FF (#FF8000)");
    EXPECT_EQ(formatValue(PARAMTYPE_TOGGLE, 3), "on (3)");
    EXPECT_EQ(colourHex(0x7F0080FF), "#ff8000") << "a picker's colour leaves the top byte out";
    EXPECT_EQ(colourFromHex("ff8000"), 0x000080FF);
    EXPECT_FALSE(colourFromHex("#ff80"));
}

TEST(ParamNames, EachFrontEndsConvention) {
    EXPECT_TRUE(namesMatch("zoom_factor", "Zoom factor"));
    EXPECT_TRUE(namesMatch("ZOOM-FACTOR", "Zoom factor"));
    EXPECT_FALSE(namesMatch("zoomfactor", "Zoom factor"));
    EXPECT_FALSE(namesMatch("", ""));
    EXPECT_EQ(paramName("Line width", NameStyle::option), "line-width");
    EXPECT_EQ(paramName("Line width", NameStyle::gstProperty), "line-width");
    EXPECT_EQ(paramName("Rotation speed", NameStyle::obsKey), "rotation_speed");
    EXPECT_EQ(paramName("Line width", NameStyle::label), "Line width");
    EXPECT_EQ(paramName("  Fade   out! ", NameStyle::obsKey), "fade_out");
    // Every style's key names the setting back.
    for (const char* name : {"Color", "Line width", "Zoom factor"})
        for (auto style : {NameStyle::option, NameStyle::gstProperty, NameStyle::obsKey, NameStyle::label})
            EXPECT_TRUE(namesMatch(paramName(name, style), name)) << name;
    EXPECT_EQ(uniqueParamKey("", 7, NameStyle::obsKey, {}), "setting_7");
    EXPECT_EQ(uniqueParamKey("3D depth", 8, NameStyle::gstProperty, {}), "setting-8-3d-depth");
    EXPECT_EQ(uniqueParamKey("Line width", 12, NameStyle::obsKey, {"line_width"}), "line_width_12");
}

TEST_F(ParamText, AssignmentsByNameByIdAndInLists) {
    const auto colour = resolveByName(plugin, "color", "#20c0ff");
    EXPECT_EQ(colour.id, 10u);
    EXPECT_EQ(colour.value, 0x00FFC020);
    EXPECT_EQ(colour.label, "Color");
    EXPECT_EQ(resolveById(plugin, 2, "5").label, "parameter 2") << "a host value the getter does not describe";
    try {
        resolveByName(plugin, "line width", "wide");
        FAIL();
    } catch (const RuleError& error) {
        EXPECT_STREQ(error.what(), "Line width: bad parameter value 'wide' (expected a 32-bit integer)");
    }
    EXPECT_THROW(resolveByName(plugin, "depth", "1"), RuleError);

    const auto list = resolveList(plugin, " zoom factor=80; line width = 3 ;;color=#20c0ff");
    ASSERT_EQ(list.size(), 3u);
    EXPECT_EQ(list[0].value, 80);
    EXPECT_EQ(list[1].value, 3);
    EXPECT_EQ(list[2].id, 10u);
    try {
        resolveList(plugin, "zoom factor=80;line width");
        FAIL();
    } catch (const RuleError& error) {
        EXPECT_STREQ(error.what(), "expected NAME=VALUE, got 'line width'");
    }
}

TEST_F(ParamText, TheClampNoteSaysWhatWasApplied) {
    const auto wide = resolveByName(plugin, "line width", "1000");
    EXPECT_EQ(apply(plugin, wide), "Line width: 1000 is out of range, applied 50");
    EXPECT_EQ(plugin.describe(PARAM_LINE_WIDTH)->value, 50);
    EXPECT_FALSE(apply(plugin, resolveByName(plugin, "line width", "20")));
    EXPECT_THROW(apply(plugin, Assignment{300, 0, "parameter 300", 1}), RuleError);
}

}  // namespace
}  // namespace lumrules
