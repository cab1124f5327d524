// The module's pieces that need no OBS: the transparent frame made from the
// figure, the colour exchange with OBS's picker, the settings keys, OBS's
// speaker layouts named channel by channel, and which presets are applied.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <set>
#include <vector>

#include "lum_plugin.h"
#include "obs/frame_alpha.h"
#include "obs/preset_choice.h"
#include "obs/source_catalogue.h"
#include "obs/speaker_layout.h"
#include "rules/block_cutter.h"

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

// Every layout OBS offers, named in the order OBS hands its channels over,
// one place a channel.
TEST(SpeakerLayouts, NameEachChannelAsObsOrdersThem) {
    using enum lumrules::ChannelPosition;
    using Places = std::vector<lumrules::ChannelPosition>;
    const std::vector<std::pair<speaker_layout, Places>> layouts = {
        {SPEAKERS_MONO, {mono}},
        {SPEAKERS_STEREO, {frontLeft, frontRight}},
        {SPEAKERS_2POINT1, {frontLeft, frontRight, lowFrequency}},
        {SPEAKERS_4POINT0, {frontLeft, frontRight, frontCentre, backCentre}},
        {SPEAKERS_4POINT1, {frontLeft, frontRight, frontCentre, lowFrequency, backCentre}},
        {SPEAKERS_5POINT1, {frontLeft, frontRight, frontCentre, lowFrequency, surroundLeft, surroundRight}},
        {SPEAKERS_7POINT1, {frontLeft, frontRight, frontCentre, lowFrequency, surroundLeft, surroundRight, surroundLeft, surroundRight}},
    };
    for (const auto& [speakers, places] : layouts) {
        EXPECT_EQ(speakerPositions(speakers), places) << speakers;
        EXPECT_EQ(speakerPositions(speakers).size(), get_audio_channels(speakers)) << speakers;
    }
    // OBS takes an unknown layout for stereo.
    EXPECT_EQ(speakerPositions(SPEAKERS_UNKNOWN), (Places{frontLeft, frontRight}));
}

// OBS's sound mixed as the cutter cuts it: channel by channel, what each of
// OBS's channels alone adds to the left and the right of a block. The low
// frequencies are never heard (2.1's third channel is no centre, 4.1's fourth
// no surround), a back centre is heard equally on both sides, and 5.1 and 7.1
// mix as the same layouts in a file do.
TEST(SpeakerLayouts, ObsSoundIsMixedByWhereEachChannelStands) {
    const std::size_t frames = 800;  // one block at 48 kHz and 60 fps
    const std::vector<float> loud(frames, 0.5f), quiet(frames, 0.0f);
    // Each channel alone: the block's first sample on the left and on the right.
    auto heard = [&](speaker_layout speakers) {
        std::vector<std::pair<int, int>> sides;
        const auto channels = get_audio_channels(speakers);
        for (uint32_t alone = 0; alone < channels; ++alone) {
            lumrules::BlockCutter cutter;
            cutter.reset(48000, speakerPositions(speakers), 60);
            std::vector<const void*> planes(channels, quiet.data());
            planes[alone] = loud.data();
            cutter.pushPlanar(planes.data(), frames, lumrules::SampleFormat::f32);
            std::vector<int8_t> block;
            EXPECT_TRUE(cutter.cut(block));
            sides.emplace_back(block.at(0), block.at(channels == 1 ? 0 : frames));
        }
        return sides;
    };
    using Sides = std::vector<std::pair<int, int>>;
    // 0.5 is 64 as a byte, at -3 dB 45, at -6 dB 32.
    EXPECT_EQ(heard(SPEAKERS_MONO), (Sides{{64, 64}}));
    EXPECT_EQ(heard(SPEAKERS_STEREO), (Sides{{64, 0}, {0, 64}}));
    EXPECT_EQ(heard(SPEAKERS_2POINT1), (Sides{{64, 0}, {0, 64}, {0, 0}}));
    EXPECT_EQ(heard(SPEAKERS_4POINT0), (Sides{{64, 0}, {0, 64}, {45, 45}, {32, 32}}));
    EXPECT_EQ(heard(SPEAKERS_4POINT1), (Sides{{64, 0}, {0, 64}, {45, 45}, {0, 0}, {32, 32}}));
    EXPECT_EQ(heard(SPEAKERS_5POINT1), (Sides{{64, 0}, {0, 64}, {45, 45}, {0, 0}, {45, 0}, {0, 45}}));
    EXPECT_EQ(heard(SPEAKERS_7POINT1), (Sides{{64, 0}, {0, 64}, {45, 45}, {0, 0}, {45, 0}, {0, 45}, {45, 0}, {0, 45}}));
    for (const auto speakers : {SPEAKERS_5POINT1, SPEAKERS_7POINT1})
        EXPECT_EQ(lumrules::downmixGains(speakerPositions(speakers)), lumrules::downmixGains(static_cast<int>(get_audio_channels(speakers))));
}

// Only what the preset list offers is applied: a regular NAME.preset found
// first of its name in the folders; never a device, a FIFO, a file elsewhere
// or one its name's first shadows, and nothing is read to tell.
TEST(PresetChoice, OnlyWhatTheListOffers) {
    namespace fs = std::filesystem;
    const fs::path root = fs::temp_directory_path() / ("lum-obs-presets-" + std::to_string(getpid()));
    fs::remove_all(root);
    const fs::path user = root / "user", installed = root / "installed";
    fs::create_directories(user);
    fs::create_directories(installed);
    for (const auto& file : {user / "bold.preset", installed / "bold.preset", installed / "calm.preset", root / "elsewhere.preset",
                             user / "notes.txt"})
        std::ofstream(file) << "line width=3\n";
    ASSERT_EQ(mkfifo((user / "pipe.preset").c_str(), 0600), 0);
    fs::create_symlink("/dev/zero", user / "zero.preset");
    const std::vector<fs::path> folders = {user, installed};

    EXPECT_TRUE(isListedPreset((user / "bold.preset").string(), folders));
    EXPECT_TRUE(isListedPreset((installed / "calm.preset").string(), folders));
    EXPECT_TRUE(isListedPreset(root.string() + "/user//bold.preset", folders)) << "the same path, spelt with a doubled slash";
    EXPECT_FALSE(isListedPreset((installed / "bold.preset").string(), folders)) << "shadowed by the user's";
    EXPECT_FALSE(isListedPreset((root / "elsewhere.preset").string(), folders));
    EXPECT_FALSE(isListedPreset((user / ".." / "elsewhere.preset").string(), folders));
    EXPECT_FALSE(isListedPreset((user / ".." / "user" / "bold.preset").string(), folders)) << "not the path the list shows";
    EXPECT_FALSE(isListedPreset((user / "notes.txt").string(), folders));
    EXPECT_FALSE(isListedPreset((user / "pipe.preset").string(), folders));
    EXPECT_FALSE(isListedPreset((user / "zero.preset").string(), folders));
    EXPECT_FALSE(isListedPreset("/dev/zero", folders));
    EXPECT_FALSE(isListedPreset("bold", folders)) << "a name is no file of the list";
    EXPECT_FALSE(isListedPreset("", folders));
    EXPECT_FALSE(isListedPreset((user / "bold.preset").string(), {})) << "no folders, no presets";
    fs::remove_all(root);
}

}  // namespace
}  // namespace lumobs
