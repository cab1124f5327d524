// The element's own pieces: property names from setting names, element
// names from file names, the sample formats it takes and where its channels
// stand.
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

// GStreamer's own orders for a count are not the usual ones: its 3 channels
// are 2.1, its 4 quad, its 7 have the rear centre last.
TEST(ChannelPositions, TakenFromTheCapsInGStreamersOrder) {
    using enum lumrules::ChannelPosition;
    using Places = std::vector<lumrules::ChannelPosition>;
    auto defaultFor = [](int channels) {
        GstAudioChannelPosition positions[8];
        EXPECT_TRUE(gst_audio_channel_positions_from_mask(channels, gst_audio_channel_get_fallback_mask(channels), positions));
        if (channels == 1) positions[0] = GST_AUDIO_CHANNEL_POSITION_MONO;
        GstAudioInfo info;
        gst_audio_info_set_format(&info, GST_AUDIO_FORMAT_S16LE, 48000, channels, positions);
        return channelPositionsOf(info);
    };
    EXPECT_EQ(defaultFor(1), (Places{mono}));
    EXPECT_EQ(defaultFor(2), (Places{frontLeft, frontRight}));
    EXPECT_EQ(defaultFor(3), (Places{frontLeft, frontRight, lowFrequency}));
    EXPECT_EQ(defaultFor(4), (Places{frontLeft, frontRight, surroundLeft, surroundRight}));
    EXPECT_EQ(defaultFor(7), (Places{frontLeft, frontRight, frontCentre, lowFrequency, surroundLeft, surroundRight, backCentre}));
    EXPECT_EQ(defaultFor(8), lumrules::usualPositions(8));

    // Places the mix does not know are left out; unpositioned channels take the usual order.
    const GstAudioChannelPosition odd[] = {GST_AUDIO_CHANNEL_POSITION_FRONT_LEFT, GST_AUDIO_CHANNEL_POSITION_FRONT_RIGHT,
                                           GST_AUDIO_CHANNEL_POSITION_SIDE_RIGHT, GST_AUDIO_CHANNEL_POSITION_TOP_CENTER};
    GstAudioInfo info;
    gst_audio_info_set_format(&info, GST_AUDIO_FORMAT_S16LE, 48000, 4, odd);
    EXPECT_EQ(channelPositionsOf(info), (Places{frontLeft, frontRight, surroundRight, other}));
    const GstAudioChannelPosition none[] = {GST_AUDIO_CHANNEL_POSITION_NONE, GST_AUDIO_CHANNEL_POSITION_NONE,
                                            GST_AUDIO_CHANNEL_POSITION_NONE, GST_AUDIO_CHANNEL_POSITION_NONE};
    gst_audio_info_set_format(&info, GST_AUDIO_FORMAT_S16LE, 48000, 4, none);
    EXPECT_EQ(channelPositionsOf(info), lumrules::usualPositions(4));
}

}  // namespace
}  // namespace lumgst
