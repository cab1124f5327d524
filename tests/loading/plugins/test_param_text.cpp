// Parameter values and names as a person types them.
#include <gtest/gtest.h>

#include "loading/load_error.h"
#include "loading/plugins/plugin_params.h"

namespace lumhost {
namespace {

TEST(ParamValues, ParsesIntegersColoursAndToggles) {
    EXPECT_EQ(parseParamValue("42", PARAMTYPE_INTEGER), 42);
    EXPECT_EQ(parseParamValue("-5", PARAMTYPE_INTEGER), -5);
    EXPECT_EQ(parseParamValue("+7", PARAMTYPE_INTEGER), 7);
    EXPECT_EQ(parseParamValue("0x10", PARAMTYPE_INTEGER), 16);
    EXPECT_EQ(parseParamValue("0xFFFFFFFF", 0), -1) << "hex gives all 32 bits";
    EXPECT_EQ(parseParamValue("-2147483648", 0), INT32_MIN);
    EXPECT_EQ(parseParamValue("#FF8000", PARAMTYPE_COLOR), 0x000080FF) << "stored 0x00BBGGRR";
    EXPECT_EQ(parseParamValue("#0000ff", PARAMTYPE_COLOR), 0x00FF0000);
    EXPECT_EQ(parseParamValue("0x00FF0000", PARAMTYPE_COLOR), 0x00FF0000) << "raw values pass as they are";
    EXPECT_EQ(parseParamValue("On", PARAMTYPE_TOGGLE), 1);
    EXPECT_EQ(parseParamValue("off", PARAMTYPE_TOGGLE), 0);
    EXPECT_EQ(parseParamValue("7", PARAMTYPE_TOGGLE), 7);
    for (const char* bad : {"", "abc", "1.5", "2147483648", "-2147483649", "0x1FFFFFFFF", "0x", "--5", "+", "12 ", "#FF8000"})
        EXPECT_THROW(parseParamValue(bad, PARAMTYPE_INTEGER), lumload::LoadError) << bad;
    EXPECT_THROW(parseParamValue("on", PARAMTYPE_INTEGER), lumload::LoadError);
    EXPECT_THROW(parseParamValue("#FF80", PARAMTYPE_COLOR), lumload::LoadError);
}

TEST(ParamValues, FormatsAsAPersonReadsThem) {
    EXPECT_EQ(lumrules::formatValue(PARAMTYPE_COLOR, 0x000080FF), "0x000080FF (#FF8000)");
    EXPECT_EQ(lumrules::formatValue(PARAMTYPE_TOGGLE, 0), "off");
    EXPECT_EQ(lumrules::formatValue(PARAMTYPE_TOGGLE, 1), "on");
    EXPECT_EQ(lumrules::formatValue(PARAMTYPE_TOGGLE, 7), "on (7)");
    EXPECT_EQ(lumrules::formatValue(PARAMTYPE_INTEGER, -3), "-3");
}

TEST(ParamNames, MatchIgnoringCaseWithDashesForSpaces) {
    EXPECT_TRUE(lumrules::namesMatch("line width", "Line width"));
    EXPECT_TRUE(lumrules::namesMatch("LINE-WIDTH", "Line width"));
    EXPECT_TRUE(lumrules::namesMatch("zoom_factor", "Zoom factor"));
    EXPECT_FALSE(lumrules::namesMatch("line", "Line width"));
    EXPECT_FALSE(lumrules::namesMatch("linewidth", "Line width"));
    EXPECT_FALSE(lumrules::namesMatch("", ""));
}

TEST(ParamNames, AssignmentsNeedKeyAndValue) {
    const auto assignment = parseAssignment("line width=a=b", true);
    EXPECT_EQ(assignment.key, "line width");
    EXPECT_EQ(assignment.value, "a=b");
    EXPECT_THROW(parseAssignment("color", true), lumload::LoadError);
    EXPECT_THROW(parseAssignment("=3", false), lumload::LoadError);
    EXPECT_THROW(parseAssignment("11=", false), lumload::LoadError);
}

}  // namespace
}  // namespace lumhost
