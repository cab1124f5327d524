// The source's frames against lumhost's own: the same samples through OBS's
// sound path give the same frames, byte for byte; settings and presets show
// in the next frame; the figure's pixels become the alpha over the scene.
#include <gtest/gtest.h>
#include <util/platform.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "obs_support.h"

namespace {

class ObsFrames : public ::testing::Test {
protected:
    void TearDown() override { obstest::stopObs(); }
    hosttest::Scratch scratch;
};

obs_data_t* settingsOf(const std::string& audio, int width, int height, const std::vector<std::pair<std::string, long long>>& ints) {
    obs_data_t* settings = obs_data_create();
    obs_data_set_string(settings, "audio_source", audio.c_str());
    obs_data_set_int(settings, "width", width);
    obs_data_set_int(settings, "height", height);
    for (const auto& [key, value] : ints) obs_data_set_int(settings, key.c_str(), value);
    return settings;
}

void expectSameFrames(const std::vector<obstest::FrameCatcher::Frame>& frames, const std::string& expected, int width, int height,
                      std::size_t count) {
    const auto frameBytes = static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 4;
    ASSERT_GE(expected.size(), frameBytes * count);
    ASSERT_EQ(frames.size(), count);
    for (std::size_t i = 0; i < count; ++i) {
        ASSERT_EQ(frames[i].width, width);
        ASSERT_EQ(frames[i].height, height);
        ASSERT_FALSE(frames[i].alpha);
        ASSERT_TRUE(frames[i].bytes == expected.substr(i * frameBytes, frameBytes)) << "frame " << i;
    }
}

bool anyLit(const std::string& bytes) { return bytes.find_first_not_of('\0') != std::string::npos; }

// Sound sent through OBS (48 kHz float planar, as OBS mixes) comes out as
// lumhost's frames of the same samples, at OBS's frame rate, each frame
// stamped at the start of its block's sound.
TEST_F(ObsFrames, SoundThroughObsGivesLumhostsFramesAtTwoRates) {
    // Longer blocks at 24 fps make larger sums: a smaller figure keeps it on the canvas.
    for (const auto& [fps, zoom] : {std::pair{30, 2}, std::pair{24, 3}}) {
        SCOPED_TRACE(std::to_string(fps) + " fps");
        obstest::Start start;
        start.fps = fps;
        START_OBS_OR_SKIP(scratch, start);
        const long frames = 48000 * 2;
        const auto samples = obstest::swingSamples(frames);
        const auto wav = scratch.path("swing.wav");
        obstest::writeSwing(wav, frames);
        const auto expected = obstest::lumhostFrames(scratch, wav, 160, 120, fps, {"zoom-factor=" + std::to_string(zoom), "line-width=3", "color=#00ff80"});
        obs_source_t* music = obstest::makeSoundSource("music");
        obs_data_t* settings = settingsOf("music", 160, 120, {{"zoom_factor", zoom}, {"line_width", 3}, {"color", 0xFF80FF00}});
        obs_source_t* lum = obstest::makeLumSource("lum_gyrotrail", "figure", settings);
        obs_data_release(settings);
        ASSERT_NE(lum, nullptr);
        const std::size_t count = static_cast<std::size_t>(frames * fps / 48000);
        {
            obstest::FrameCatcher catcher(lum);
            const uint64_t begin = os_gettime_ns();
            obstest::sendSound(music, samples, 0, frames, begin);
            const auto caught = catcher.waitForRun(count);
            ASSERT_FALSE(caught.empty()) << catcher.count() << " frames";
            expectSameFrames(caught, expected, 160, 120, count);
            long lit = 0;
            for (const auto& frame : caught) lit += anyLit(frame.bytes) ? 1 : 0;
            EXPECT_GT(lit, static_cast<long>(count / 4)) << "a figure to compare, not black frames";
            // 48000 / 24 and / 30 are whole: frame f starts at f / fps seconds of the sound.
            for (std::size_t i = 0; i < caught.size(); ++i)
                EXPECT_EQ(caught[i].timestamp - caught[0].timestamp, i * 1000000000ull / static_cast<unsigned>(fps)) << "frame " << i;
        }
        obs_source_release(lum);
        obs_source_release(music);
        obstest::stopObs();
    }
}

}  // namespace
