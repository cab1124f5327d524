// The source's frames against lumhost's own: the same samples through OBS's
// sound path give the same frames, byte for byte; settings and presets show
// in the next frame; the figure's pixels become the alpha over the scene.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>
#include <util/platform.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <future>
#include <string>
#include <thread>
#include <vector>

#include "obs/source_catalogue.h"
#include "obs_support.h"
#include "rules/presets.h"
#include "sound_files.h"

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

void expectFrames(const std::vector<obstest::FrameCatcher::Frame>& frames, const std::vector<std::string>& expected) {
    ASSERT_EQ(frames.size(), expected.size());
    for (std::size_t i = 0; i < frames.size(); ++i) ASSERT_TRUE(frames[i].bytes == expected[i]) << "frame " << i;
}

// Settings changed between two frames are in the very next one; nothing is
// held back a frame or applied early.
TEST_F(ObsFrames, APropertyChangeShowsInTheNextFrame) {
    START_OBS_OR_SKIP(scratch);
    const long frames = 72000;  // 45 frames at 30 fps
    const auto samples = obstest::swingSamples(frames);
    obs_source_t* music = obstest::makeSoundSource("music");
    obs_data_t* settings = settingsOf("music", 160, 120, {{"zoom_factor", 2}, {"line_width", 3}});
    obs_source_t* lum = obstest::makeLumSource("lum_gyrotrail", "figure", settings);
    obs_data_release(settings);
    {
        obstest::FrameCatcher catcher(lum);
        const uint64_t begin = os_gettime_ns();
        obstest::sendSound(music, samples, 0, 20 * 1600, begin);
        ASSERT_EQ(catcher.waitForRun(20).size(), 20u);
        settings = obs_source_get_settings(lum);
        obs_data_set_int(settings, "line_width", 9);
        obs_data_set_int(settings, "color", lumobs::obsColour(0x0000C0FF));
        obs_data_set_bool(settings, "fade_out", false);
        obs_source_update(lum, settings);
        obs_data_release(settings);
        // OBS hands a video source its new settings at its next video tick.
        obstest::CanvasCatcher().next(2);
        obstest::sendSound(music, samples, 20 * 1600, frames, begin + 20 * 1000000000ull / 30);
        const auto zoom = obstest::settingId("zoom factor"), width = obstest::settingId("line width");
        const auto colour = obstest::settingId("color"), fade = obstest::settingId("fade out");
        expectFrames(catcher.waitForRun(45),
                     obstest::referenceFrames(samples, 30, 160, 120, {{0, zoom, 2}, {0, width, 3}, {20, width, 9}, {20, colour, 0x0000C0FF}, {20, fade, 0}}, 45));
    }
    obs_source_release(lum);
    obs_source_release(music);
}

// The sources of the preset tests: a sound source "music" and a gyrotrail
// source "figure" of 160x120 drawing it at zoom factor 2, line width 3.
std::pair<obs_source_t*, obs_source_t*> presetFigure() {
    obs_source_t* music = obstest::makeSoundSource("music");
    obs_data_t* settings = settingsOf("music", 160, 120, {{"zoom_factor", 2}, {"line_width", 3}});
    obs_source_t* lum = obstest::makeLumSource("lum_gyrotrail", "figure", settings);
    obs_data_release(settings);
    return {music, lum};
}

// A preset chosen in the list applies its values to the plug-in before the
// next frame and shows them in the properties; the save button writes the
// settings as a preset lumhost reads, and the list offers it.
TEST_F(ObsFrames, APresetChosenAppliesAndTheSettingsSaveAsOne) {
    const auto folder = scratch.dir() / "config" / "lumhost" / "presets" / "gyrotrail";
    std::filesystem::create_directories(folder);
    std::ofstream(folder / "bold.preset") << "# wide red lines\nline width=7\nzoom factor=3\ncolor=#ff0000\n";
    START_OBS_OR_SKIP(scratch);
    const auto samples = obstest::swingSamples(48000);
    auto [music, lum] = presetFigure();
    obs_data_t* settings = nullptr;
    {
        obstest::FrameCatcher catcher(lum);
        const uint64_t begin = os_gettime_ns();
        obstest::sendSound(music, samples, 0, 10 * 1600, begin);
        ASSERT_EQ(catcher.waitForRun(10).size(), 10u);

        obs_properties_t* properties = obs_source_properties(lum);
        obs_property_t* presets = obs_properties_get(properties, "preset");
        ASSERT_NE(presets, nullptr);
        std::string bold;
        for (size_t i = 0; i < obs_property_list_item_count(presets); ++i)
            if (std::string(obs_property_list_item_name(presets, i)) == "bold") bold = obs_property_list_item_string(presets, i);
        ASSERT_FALSE(bold.empty()) << "the user's preset is listed";
        settings = obs_source_get_settings(lum);
        obs_data_set_string(settings, "preset", bold.c_str());
        EXPECT_TRUE(obs_property_modified(presets, settings));
        EXPECT_EQ(obs_data_get_int(settings, "line_width"), 7);
        EXPECT_EQ(obs_data_get_int(settings, "zoom_factor"), 3);
        EXPECT_EQ(obs_data_get_int(settings, "color"), lumobs::obsColour(0x000000FF));
        EXPECT_STREQ(obs_data_get_string(settings, "preset"), "") << "opening the properties again applies nothing";
        obs_data_set_string(settings, "preset_name", "mine");
        obs_source_update(lum, settings);
        obs_data_release(settings);

        obstest::sendSound(music, samples, 10 * 1600, 48000, begin + 10 * 1000000000ull / 30);
        const auto zoom = obstest::settingId("zoom factor"), width = obstest::settingId("line width"), colour = obstest::settingId("color");
        expectFrames(catcher.waitForRun(30), obstest::referenceFrames(samples, 30, 160, 120,
                                                                      {{0, zoom, 2}, {0, width, 3}, {10, zoom, 3}, {10, width, 7}, {10, colour, 0xFF}}, 30));

        EXPECT_TRUE(obs_property_button_clicked(obs_properties_get(properties, "save_preset"), lum));
        const auto saved = hosttest::readFile((folder / "mine.preset").string());
        int found = 0;
        for (const auto& line : lumrules::parsePreset(saved, "mine.preset")) {
            if (line.name == "Line width") found += line.value == "7" ? 1 : 100;
            if (line.name == "Zoom factor") found += line.value == "3" ? 1 : 100;
        }
        EXPECT_EQ(found, 2) << saved;
        bool listed = false;
        for (size_t i = 0; i < obs_property_list_item_count(presets); ++i) listed |= std::string(obs_property_list_item_name(presets, i)) == "mine";
        EXPECT_TRUE(listed) << "the list offers the saved preset at once";
        obs_properties_destroy(properties);
    }
    obs_source_release(lum);
    obs_source_release(music);
}

// The chosen preset is a path in the source's settings that a scene
// collection or a remote-control client may set to anything: only a preset
// the list offers is read. A device that never ends, a FIFO with no writer
// (even one named like a preset in the preset folder) and a preset file
// elsewhere are refused at once with one line each, and no setting changes;
// a preset of the list still applies.
TEST_F(ObsFrames, OnlyAPresetOfTheListIsRead) {
    const auto folder = scratch.dir() / "config" / "lumhost" / "presets" / "gyrotrail";
    std::filesystem::create_directories(folder);
    std::ofstream(folder / "bold.preset") << "line width=7\nzoom factor=3\n";
    const auto fifo = folder / "pipe.preset";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const auto elsewhere = scratch.dir() / "elsewhere.preset";
    std::ofstream(elsewhere) << "line width=9\nzoom factor=5\n";
    START_OBS_OR_SKIP(scratch);
    const auto samples = obstest::swingSamples(48000);
    auto [music, lum] = presetFigure();
    obs_data_t* settings = nullptr;
    {
        // Drawing, so the plug-in is there to take a preset.
        obstest::FrameCatcher catcher(lum);
        obstest::sendSound(music, samples, 0, 10 * 1600, os_gettime_ns());
        ASSERT_EQ(catcher.waitForRun(10).size(), 10u);
        obs_properties_t* properties = obs_source_properties(lum);
        obs_property_t* presets = obs_properties_get(properties, "preset");
        ASSERT_NE(presets, nullptr);

        // Chooses `file` as the properties would, off this thread so that a
        // read that never ends fails the test instead of stopping it.
        auto choose = [&](const std::string& file) {
            settings = obs_source_get_settings(lum);
            obs_data_set_string(settings, "preset", file.c_str());
            auto chosen = std::async(std::launch::async, [&] { return obs_property_modified(presets, settings); });
            const bool prompt = chosen.wait_for(std::chrono::seconds(5)) == std::future_status::ready;
            if (!prompt && file == fifo.string()) {
                // A writer that comes and goes lets the reader go.
                const int unstick = open(fifo.c_str(), O_RDWR);
                close(unstick);
            }
            chosen.get();
            const auto values = std::pair{obs_data_get_int(settings, "line_width"), obs_data_get_int(settings, "zoom_factor")};
            EXPECT_STREQ(obs_data_get_string(settings, "preset"), "") << file;
            obs_data_release(settings);
            return std::pair{prompt, values};
        };
        for (const std::string& file : {elsewhere.string(), fifo.string(), std::string("/dev/zero")}) {
            SCOPED_TRACE(file);
            const auto [prompt, values] = choose(file);
            EXPECT_TRUE(prompt) << "choosing it returns at once";
            EXPECT_EQ(values, (std::pair<long long, long long>{3, 2})) << "no setting changes";
            int lines = 0;
            for (const auto& line : obstest::logLines(LOG_WARNING)) lines += line.find(file) != std::string::npos;
            EXPECT_EQ(lines, 1) << "one line says it was not applied";
        }
        const auto [prompt, values] = choose((folder / "bold.preset").string());
        EXPECT_TRUE(prompt);
        EXPECT_EQ(values, (std::pair<long long, long long>{7, 3})) << "a preset of the list applies";
        obs_properties_destroy(properties);
    }
    obs_source_release(lum);
    obs_source_release(music);
}

// Sends sound as a source plays it: each piece when its time comes.
void playSound(obs_source_t* source, const std::vector<float>& samples, long frames) {
    const auto begin = std::chrono::steady_clock::now();
    const uint64_t stamp = os_gettime_ns();
    for (long at = 0; at < frames; at += 1024) {
        std::this_thread::sleep_until(begin + std::chrono::microseconds(at * 1000000LL / 48000));
        obstest::sendSound(source, samples, at, std::min(at + 1024, frames), stamp + static_cast<uint64_t>(at * 1000000000LL / 48000));
    }
}

unsigned channel(uint32_t pixel, int shift) { return (pixel >> shift) & 0xFF; }


// The largest difference of any channel between OBS's canvas and the frame
// blended over `scene` with its alpha.
unsigned blendError(const std::vector<uint32_t>& canvas, const obstest::FrameCatcher::Frame& frame, uint32_t scene) {
    unsigned worst = 0;
    const auto* pixels = reinterpret_cast<const uint32_t*>(frame.bytes.data());
    for (std::size_t i = 0; i < canvas.size(); ++i) {
        const unsigned alpha = pixels[i] >> 24;
        for (int shift : {0, 8, 16}) {
            const unsigned want = (channel(pixels[i], shift) * alpha + channel(scene, shift) * (255 - alpha) + 127) / 255;
            const unsigned got = channel(canvas[i], shift);
            worst = std::max(worst, want > got ? want - got : got - want);
        }
    }
    return worst;
}

// Transparent: the scene shows through the figure's dark pixels and through
// its fading segments in proportion, not through a hard key; opaque, the
// figure's black covers the scene. The picture of the scene goes to the README.
TEST_F(ObsFrames, TransparentFigureShowsTheSceneThroughItsDarkPixels) {
    obstest::Start start;
    start.width = 320;
    start.height = 180;
    START_OBS_OR_SKIP(scratch, start);
    const uint32_t scene = 0x00284870;  // R 0x28, G 0x48, B 0x70 as BGRx in memory
    obs_source_t* backdrop = obstest::makeColourSource("backdrop", scene, 320, 180);
    obs_source_t* music = obstest::makeSoundSource("music");
    // A colour at half brightness: the whole figure is half see-through, its fading segments more.
    obs_data_t* settings = settingsOf("music", 320, 180, {{"zoom_factor", 40}, {"line_length", 30}, {"line_width", 3}, {"color", lumobs::obsColour(0x00F0A040)}});
    obs_data_set_bool(settings, "transparent", true);
    obs_source_t* lum = obstest::makeLumSource("lum_gyrotrail", "figure", settings);
    obs_data_release(settings);
    obs_scene_t* shown = obstest::showScene({backdrop, lum});
    obstest::paintColour(backdrop, scene, 320, 180);
    {
        obstest::FrameCatcher catcher(lum);
        obstest::CanvasCatcher canvasCatcher;
        const auto samples = obstest::swingSamples(48000);
        playSound(music, samples, 48000);
        // OBS shows one of the frames drawn last; a canvas caught while the
        // figure's texture changes may match none, the next one does.
        std::vector<uint32_t> canvas;
        std::vector<obstest::FrameCatcher::Frame> frames;
        unsigned best = 256;
        const obstest::FrameCatcher::Frame* match = nullptr;
        for (int tries = 0; tries < 10 && best > 8; ++tries) {
            if (tries > 0) obstest::paintColour(backdrop, scene, 320, 180);
            canvas = canvasCatcher.next(2);
            ASSERT_EQ(canvas.size(), 320u * 180u);
            frames = catcher.waitFor(1);
            best = 256;
            for (std::size_t i = 0; i < frames.size(); ++i)
                if (const unsigned error = blendError(canvas, frames[i], scene); error < best) {
                    best = error;
                    match = &frames[i];
                }
        }
        ASSERT_NE(match, nullptr);
        // OBS's GPU blend rounds on its own; a hard key (or alpha ignored)
        // would be off by more than a hundred where the figure is half see-through.
        EXPECT_LE(best, 8u) << "the canvas is the figure blended over the scene by its alpha";
        long clear = 0, partial = 0, opaque = 0;
        for (std::size_t i = 0; i < canvas.size(); ++i) {
            const unsigned alpha = static_cast<unsigned char>(match->bytes[i * 4 + 3]);
            (alpha == 0 ? clear : alpha == 255 ? opaque : partial) += 1;
        }
        EXPECT_TRUE(match->alpha);
        EXPECT_GT(clear, 320 * 180 / 2) << "the scene shows around the figure";
        EXPECT_EQ(opaque, 0);
        EXPECT_GT(partial, 200) << "the figure's pixels are its alpha, not a hard key";
        if (const char* shot = std::getenv("LUMOBS_SCREENSHOT")) {
            hosttest::Scratch pictures;
            std::ofstream(pictures.path("canvas.raw"), std::ios::binary)
                .write(reinterpret_cast<const char*>(canvas.data()), static_cast<std::streamsize>(canvas.size() * 4));
            EXPECT_TRUE(hosttest::runFfmpeg({"-f", "rawvideo", "-pix_fmt", "bgra", "-s", "320x180", "-i", pictures.path("canvas.raw"),
                                             "-pix_fmt", "rgb24", shot}));
        }

        settings = obs_source_get_settings(lum);
        obs_data_set_bool(settings, "transparent", false);
        obs_source_update(lum, settings);
        obs_data_release(settings);
        playSound(music, samples, 24000);
        // OBS shows each frame at its sound's time, a few frames after it was drawn.
        long sceneShows = -1;
        for (int tries = 0; tries < 30 && sceneShows != 0; ++tries) {
            sceneShows = 0;
            for (const uint32_t p : canvasCatcher.next(1)) sceneShows += (p & 0x00FFFFFF) == scene ? 1 : 0;
        }
        EXPECT_EQ(sceneShows, 0) << "the figure's black covers the scene";
        EXPECT_FALSE(catcher.waitFor(1).back().alpha);
    }
    obs_scene_release(shown);
    obs_source_release(lum);
    obs_source_release(music);
    obs_source_release(backdrop);
}

}  // namespace
