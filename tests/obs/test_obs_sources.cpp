// The sources as OBS sees them: one per plug-in on the search path with its
// name, properties and defaults; the audio source followed by name through
// being missing, late, removed and changed; two sources on one sound; and
// OBS shutting down around sources still alive.
#include <gtest/gtest.h>
#include <util/bmem.h>
#include <util/platform.h>

#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "loading/plugins/plugin_probe.h"
#include "obs/source_catalogue.h"
#include "obs_support.h"
#include "rules/defaults.h"
#include "rules/param_text.h"
#include "sound_files.h"

namespace {

class ObsSources : public ::testing::Test {
protected:
    void TearDown() override { obstest::stopObs(); }
    hosttest::Scratch scratch;
};

bool listed(obs_property_t* list, const std::string& name) {
    for (size_t i = 0; i < obs_property_list_item_count(list); ++i)
        if (name == obs_property_list_item_string(list, i)) return true;
    return false;
}

// Every .lum file on the search path is a source lum_NAME, named from its
// information record, with a property per setting typed and ranged as the
// plug-in says and the plug-in's own values as defaults.
TEST_F(ObsSources, EveryPluginIsASourceWithItsNamePropertiesAndDefaults) {
    const auto folder = scratch.dir() / "plugins";
    std::filesystem::create_directories(folder);
    std::filesystem::copy_file(GYROTRAIL_MODULE_PATH, folder / "zigzag.lum");
    obstest::Start start;
    start.environment = {"LUM_PATH=" + folder.string()};
    START_OBS_OR_SKIP(scratch, start);
    const auto probe = lumhost::probePlugin(GYROTRAIL_MODULE_PATH);
    ASSERT_TRUE(probe.loaded) << probe.error;
    for (const char* id : {"lum_gyrotrail", "lum_zigzag"}) {
        SCOPED_TRACE(id);
        ASSERT_NE(obs_source_get_display_name(id), nullptr);
        EXPECT_EQ(std::string(obs_source_get_display_name(id)), probe.longName);
        EXPECT_NE(obs_get_source_output_flags(id) & OBS_SOURCE_ASYNC_VIDEO, 0u);
    }

    obs_data_t* defaults = obs_get_source_defaults("lum_gyrotrail");
    EXPECT_EQ(obs_data_get_int(defaults, "width"), lumrules::defaultWidth);
    EXPECT_EQ(obs_data_get_int(defaults, "height"), lumrules::defaultHeight);
    EXPECT_FALSE(obs_data_get_bool(defaults, "transparent"));
    EXPECT_STREQ(obs_data_get_string(defaults, "audio_source"), "");
    // Without an instance, as OBS asks when it lists a type's properties.
    obs_properties_t* properties = obs_get_source_properties("lum_gyrotrail");
    ASSERT_NE(properties, nullptr);
    for (const char* key : {"audio_source", "width", "height", "transparent", "preset", "line_width", "line_length", "rotation_speed",
                            "fade_out", "zoom_factor", "color"})
        EXPECT_NE(obs_properties_get(properties, key), nullptr) << key;
    ASSERT_FALSE(probe.params.empty());
    for (const auto& probed : probe.params) {
        const auto key = lumrules::paramName(probed.param.name, lumrules::NameStyle::obsKey);
        SCOPED_TRACE(key);
        obs_property_t* property = obs_properties_get(properties, key.c_str());
        ASSERT_NE(property, nullptr);
        EXPECT_STREQ(obs_property_description(property), probed.param.name.c_str());
        switch (probed.param.type) {
            case PARAMTYPE_TOGGLE:
                EXPECT_EQ(obs_property_get_type(property), OBS_PROPERTY_BOOL);
                EXPECT_EQ(obs_data_get_bool(defaults, key.c_str()), probed.param.value != 0);
                break;
            case PARAMTYPE_COLOR:
                EXPECT_EQ(obs_property_get_type(property), OBS_PROPERTY_COLOR);
                EXPECT_EQ(lumobs::pluginColour(obs_data_get_int(defaults, key.c_str())), probed.param.value);
                break;
            default:
                EXPECT_EQ(obs_property_get_type(property), OBS_PROPERTY_INT);
                ASSERT_TRUE(probed.range);
                EXPECT_EQ(obs_property_int_min(property), probed.range->low);
                EXPECT_EQ(obs_property_int_max(property), probed.range->high);
                EXPECT_EQ(obs_data_get_int(defaults, key.c_str()), probed.param.value);
        }
    }
    EXPECT_EQ(obs_properties_get(properties, "save_preset"), nullptr) << "saving needs a source";
    obs_properties_destroy(properties);
    obs_data_release(defaults);

    // An instance's list of audio sources has the sources with sound, and only those.
    obs_source_t* music = obstest::makeSoundSource("music");
    obs_source_t* picture = obstest::makeColourSource("picture", 0, 16, 16);
    obs_source_t* lum = obstest::makeLumSource("lum_zigzag", "figure", nullptr);
    properties = obs_source_properties(lum);
    EXPECT_TRUE(listed(obs_properties_get(properties, "audio_source"), "music"));
    EXPECT_FALSE(listed(obs_properties_get(properties, "audio_source"), "picture"));
    EXPECT_NE(obs_properties_get(properties, "save_preset"), nullptr);
    obs_properties_destroy(properties);
    obs_source_release(lum);
    obs_source_release(picture);
    obs_source_release(music);
}

obs_data_t* following(const std::string& audio) {
    obs_data_t* settings = obs_data_create();
    obs_data_set_string(settings, "audio_source", audio.c_str());
    obs_data_set_int(settings, "width", 64);
    obs_data_set_int(settings, "height", 48);
    return settings;
}

// Frames stamped this far ahead could only come from sound sent to a source
// the figure no longer follows.
constexpr uint64_t farAhead = 1000ull * 1000000000ull;

bool anyStampedFrom(const std::vector<obstest::FrameCatcher::Frame>& frames, uint64_t from) {
    for (const auto& frame : frames)
        if (frame.timestamp >= from) return true;
    return false;
}

// A source that is missing, comes late, is removed, comes back and is
// changed for another: the figure runs on silence while there is no sound,
// follows each new source in a new run, hears nothing from one it no longer
// follows, and OBS's log has no error for any of it.
TEST_F(ObsSources, AudioSourceMissingLateRemovedAndChanged) {
    START_OBS_OR_SKIP(scratch);
    const auto samples = obstest::swingSamples(9600);
    obs_data_t* settings = following("late");
    obs_source_t* lum = obstest::makeLumSource("lum_gyrotrail", "figure", settings);
    obs_data_release(settings);
    auto catcher = std::make_unique<obstest::FrameCatcher>(lum);
    // Missing: the figure runs on silence.
    auto frames = catcher->waitFor(5, 5);
    ASSERT_GE(frames.size(), 5u);
    const long long silentRun = frames.back().run;

    // Late: picked up when it appears, in a run of its own.
    obs_source_t* late = obstest::makeSoundSource("late");
    const std::size_t before = catcher->count();
    obstest::sendSound(late, samples, 0, 9600, os_gettime_ns());
    frames = catcher->waitForRun(6, 10, silentRun);
    ASSERT_EQ(frames.size(), 6u);
    EXPECT_GT(frames.front().run, silentRun);
    EXPECT_GE(catcher->count(), before + 6);

    // Removed: let go, and its sound no longer reaches the figure, which runs on silence.
    obs_source_remove(late);
    const uint64_t ahead = os_gettime_ns() + farAhead;
    obstest::sendSound(late, samples, 0, 9600, ahead);
    const std::size_t afterRemoval = catcher->count();
    frames = catcher->waitFor(afterRemoval + 5, 5);
    EXPECT_GE(frames.size(), afterRemoval + 5) << "frames on silence";
    EXPECT_FALSE(anyStampedFrom(frames, ahead)) << "the removed source's sound was drawn";
    obs_source_release(late);

    // Back under the same name: followed again.
    obs_source_t* again = obstest::makeSoundSource("late");
    const long long beforeAgain = catcher->waitFor(1).back().run;
    obstest::sendSound(again, samples, 0, 9600, os_gettime_ns());
    frames = catcher->waitForRun(6, 10, beforeAgain);
    ASSERT_EQ(frames.size(), 6u);
    EXPECT_GT(frames.front().run, beforeAgain);

    // Changed for another: the old one's sound is no longer heard.
    obs_source_t* other = obstest::makeSoundSource("other");
    settings = following("other");
    obs_source_update(lum, settings);
    obs_data_release(settings);
    obstest::CanvasCatcher().next(2);  // OBS applies a video source's settings at its next tick
    const uint64_t ahead2 = os_gettime_ns() + 2 * farAhead;
    obstest::sendSound(again, samples, 0, 9600, ahead2);
    const long long beforeOther = catcher->waitFor(1).back().run;
    obstest::sendSound(other, samples, 0, 9600, os_gettime_ns());
    frames = catcher->waitForRun(6, 10, beforeOther);
    ASSERT_EQ(frames.size(), 6u);
    EXPECT_GT(frames.front().run, beforeOther);
    EXPECT_FALSE(anyStampedFrom(catcher->waitFor(1), ahead2)) << "the source no longer followed was drawn";

    for (const auto& line : obstest::logLines(LOG_ERROR)) ADD_FAILURE() << "error in OBS's log: " << line;
    // Gone: its sound callback goes with it, so sound sent afterwards reaches nothing of it.
    catcher.reset();
    obs_source_release(lum);
    obstest::sendSound(other, samples, 0, 9600, os_gettime_ns());
    obs_source_release(other);
    obs_source_release(again);
}

// Two sources on one sound, each its own copy of the plug-in with its own
// settings: each draws lumhost's frames for its settings.
TEST_F(ObsSources, TwoSourcesOnOneSoundWithTheirOwnSettings) {
    START_OBS_OR_SKIP(scratch);
    const long frames = 48000;
    const auto samples = obstest::swingSamples(frames);
    const auto wav = scratch.path("swing.wav");
    obstest::writeSwing(wav, frames);
    obs_source_t* music = obstest::makeSoundSource("music");
    struct Figure {
        std::vector<std::pair<const char*, long long>> settings;
        std::vector<std::string> sets;
    };
    const std::vector<Figure> figures = {{{{"zoom_factor", 2}, {"line_width", 3}}, {"zoom-factor=2", "line-width=3"}},
                                         {{{"zoom_factor", 3}, {"line_width", 1}, {"color", lumobs::obsColour(0x0000C0FF)}},
                                          {"zoom-factor=3", "line-width=1", "color=0x0000C0FF"}}};
    std::vector<obs_source_t*> sources;
    std::vector<std::unique_ptr<obstest::FrameCatcher>> catchers;
    for (const auto& figure : figures) {
        obs_data_t* settings = following("music");
        obs_data_set_int(settings, "width", 120);
        obs_data_set_int(settings, "height", 90);
        for (const auto& [key, value] : figure.settings) obs_data_set_int(settings, key, value);
        sources.push_back(obstest::makeLumSource("lum_gyrotrail", "figure " + std::to_string(sources.size()), settings));
        obs_data_release(settings);
        catchers.push_back(std::make_unique<obstest::FrameCatcher>(sources.back()));
    }
    obstest::sendSound(music, samples, 0, frames, os_gettime_ns());
    for (std::size_t i = 0; i < figures.size(); ++i) {
        SCOPED_TRACE("figure " + std::to_string(i));
        const auto expected = obstest::lumhostFrames(scratch, wav, 120, 90, 30, figures[i].sets);
        const auto caught = catchers[i]->waitForRun(30);
        ASSERT_EQ(caught.size(), 30u);
        const std::size_t bytes = 120 * 90 * 4;
        for (std::size_t f = 0; f < caught.size(); ++f) ASSERT_TRUE(caught[f].bytes == expected.substr(f * bytes, bytes)) << "frame " << f;
    }
    std::string all[2];
    for (int i = 0; i < 2; ++i)
        for (const auto& frame : catchers[static_cast<std::size_t>(i)]->waitForRun(30)) all[i] += frame.bytes;
    EXPECT_NE(all[0], all[1]) << "the two settings draw different figures";
    catchers.clear();
    for (obs_source_t* source : sources) obs_source_release(source);
    obs_source_release(music);
}

// OBS shuts down with sources still in a scene on its output and drawing:
// the sources go with it (their threads end, the plug-ins unload, the sound
// callbacks go), nothing libobs allocated is left behind, and OBS starts
// again in the same process.
TEST_F(ObsSources, ShutdownWithSourcesAlive) {
    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        START_OBS_OR_SKIP(scratch);
        const auto samples = obstest::swingSamples(48000);
        obs_source_t* music = obstest::makeSoundSource("music");
        obs_data_t* settings = following("music");
        obs_source_t* first = obstest::makeLumSource("lum_gyrotrail", "first", settings);
        obs_source_t* second = obstest::makeLumSource("lum_gyrotrail", "second", settings);
        obs_data_release(settings);
        // Alive in the scene on OBS's output, as a scene collection keeps them.
        obs_scene_release(obstest::showScene({music, first, second}));
        {
            obstest::FrameCatcher catcher(first);
            obstest::sendSound(music, samples, 0, 48000, os_gettime_ns());
            ASSERT_EQ(catcher.waitForRun(10).size(), 10u);
        }
        obs_source_release(first);
        obs_source_release(second);
        obs_source_release(music);
        obstest::stopObs(false);
        EXPECT_EQ(bnum_allocs(), 0) << "allocations libobs counted are left after obs_shutdown";
    }
}

}  // namespace
