// The element's own pieces: property names from setting names, element
// names from file names, and the sample formats it takes.
#include <gtest/gtest.h>

#include "gst/plugin_catalogue.h"
#include "gst/sample_format.h"

namespace lumgst {
namespace {

TEST(PropertyNames, LowerCaseWordsJoinedByDashes) {
    EXPECT_EQ(propertyName("Line width", 11, {}), "line-width");
    EXPECT_EQ(propertyName("Zoom factor", 15, {}), "zoom-factor");
    EXPECT_EQ(propertyName("  Fade   out! ", 14, {}), "fade-out");
    EXPECT_EQ(propertyName("Colour_Mode (A/B)", 20, {}), "colour-mode-a-b");
}

TEST(PropertyNames, StartWithALetterAndNeverClash) {
    EXPECT_EQ(propertyName("", 7, {}), "setting-7");
    EXPECT_EQ(propertyName("3D depth", 8, {}), "setting-8-3d-depth");
    EXPECT_EQ(propertyName("Größe", 9, {}), "gr-e");
    // GstObject's own properties, and a name already taken, get the id.
    EXPECT_EQ(propertyName("Name", 3, {}), "name-3");
    EXPECT_EQ(propertyName("Parent", 4, {}), "parent-4");
    EXPECT_EQ(propertyName("Line width", 12, {"line-width"}), "line-width-12");
}

TEST(ElementNames, OnlyLettersDigitsAndUnderscores) {
    EXPECT_EQ(identifierPart("gyrotrail"), "gyrotrail");
    EXPECT_EQ(identifierPart("my scope-2.0"), "my_scope_2_0");
}

TEST(SampleFormats, TheFormatsTheElementTakes) {
    EXPECT_EQ(sampleFormatOf(GST_AUDIO_FORMAT_S24LE), lumrules::SampleFormat::s24);
    EXPECT_EQ(sampleFormatOf(GST_AUDIO_FORMAT_F64LE), lumrules::SampleFormat::f64);
    EXPECT_FALSE(sampleFormatOf(GST_AUDIO_FORMAT_S16BE));
    EXPECT_FALSE(sampleFormatOf(GST_AUDIO_FORMAT_S20LE));
}

}  // namespace
}  // namespace lumgst
