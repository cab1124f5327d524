// Windows modules as sources, hosted through the bridge under Wine: one
// draws lumhost's frames; one that crashes or hangs while drawing leaves a
// line in OBS's log and a black source, OBS goes on, and the module is
// loaded again after a back-off and draws again.
#include <gtest/gtest.h>
#include <util/platform.h>

#include <cstdlib>
#include <filesystem>
#include <ostream>
#include <string>

#include "obs_support.h"

namespace {

const std::string crossFolder = std::string(CROSS_BUILD_ROOT) + "/win64";

// The reason to skip, if the win64 build or Wine is missing.
std::string missing(const std::string& module) {
    if (!std::filesystem::exists(module) || !std::filesystem::exists(crossFolder + "/lumbridge64.exe"))
        return module + " or lumbridge64.exe is missing: build the win64 preset first";
    if (std::system("command -v wine >/dev/null 2>&1") != 0) return "Wine is not installed";
    return {};
}

obstest::Start bridgeStart(const hosttest::Scratch& scratch) {
    obstest::Start start;
    start.environment = {"LUM_PATH=" + scratch.dir().string(), "WINEPREFIX=" + std::string(BRIDGE_WINE_PREFIX)};
    return start;
}

obs_data_t* following(const std::string& audio, int width, int height) {
    obs_data_t* settings = obs_data_create();
    obs_data_set_string(settings, "audio_source", audio.c_str());
    obs_data_set_int(settings, "width", width);
    obs_data_set_int(settings, "height", height);
    return settings;
}

class ObsBridge : public ::testing::Test {
protected:
    void TearDown() override { obstest::stopObs(); }
    hosttest::Scratch scratch;
};

TEST_F(ObsBridge, AWindowsModuleDrawsLumhostsFrames) {
    const auto module = crossFolder + "/gyrotrail.lum";
    if (const auto why = missing(module); !why.empty()) GTEST_SKIP() << why;
    std::filesystem::create_symlink(module, scratch.path("windows_gyrotrail.lum"));
    START_OBS_OR_SKIP(scratch, bridgeStart(scratch));
    ASSERT_NE(obs_source_get_display_name("lum_windows_gyrotrail"), nullptr) << "registered from its record, read through the bridge";
    const long frames = 48000;
    const auto samples = obstest::swingSamples(frames);
    const auto wav = scratch.path("swing.wav");
    obstest::writeSwing(wav, frames);
    const auto expected = obstest::lumhostFrames(scratch, wav, 160, 120, 30, {"zoom-factor=2", "line-width=3"});
    obs_source_t* music = obstest::makeSoundSource("music");
    obs_data_t* settings = following("music", 160, 120);
    obs_data_set_int(settings, "zoom_factor", 2);
    obs_data_set_int(settings, "line_width", 3);
    obs_source_t* lum = obstest::makeLumSource("lum_windows_gyrotrail", "figure", settings);
    obs_data_release(settings);
    {
        obstest::FrameCatcher catcher(lum);
        obstest::sendSound(music, samples, 0, frames, os_gettime_ns());
        // The bridge starts under Wine while the sound waits.
        const auto caught = catcher.waitForRun(30, 120);
        ASSERT_EQ(caught.size(), 30u);
        const std::size_t bytes = 160 * 120 * 4;
        for (std::size_t f = 0; f < caught.size(); ++f) ASSERT_TRUE(caught[f].bytes == expected.substr(f * bytes, bytes)) << "frame " << f;
    }
    obs_source_release(lum);
    obs_source_release(music);
}

struct Failure {
    std::string module;  // a test module that fails at its 30th frame
    std::string how;     // what the log line says of it
};

void PrintTo(const Failure& failure, std::ostream* out) { *out << failure.module; }

class ObsBridgeFailure : public ::testing::TestWithParam<Failure> {
protected:
    void TearDown() override { obstest::stopObs(); }
    hosttest::Scratch scratch;
};

TEST_P(ObsBridgeFailure, LeavesALogLineABlackSourceAndOBSRunning) {
    const std::string name = GetParam().module;
    const auto module = crossFolder + "/test-modules/" + name + ".lum";
    if (const auto why = missing(module); !why.empty()) GTEST_SKIP() << why;
    std::filesystem::create_symlink(module, scratch.path(name + ".lum"));
    std::filesystem::create_symlink(GYROTRAIL_MODULE_PATH, scratch.path("gyrotrail.lum"));
    START_OBS_OR_SKIP(scratch, bridgeStart(scratch));
    const auto samples = obstest::swingSamples(48000 * 2);
    obs_source_t* music = obstest::makeSoundSource("music");
    obs_data_t* settings = following("music", 64, 48);
    obs_source_t* failing = obstest::makeLumSource("lum_" + name, "failing", settings);
    obs_source_t* healthy = obstest::makeLumSource("lum_gyrotrail", "healthy", settings);
    obs_data_release(settings);
    obstest::FrameCatcher failed(failing), drawn(healthy);
    obstest::CanvasCatcher canvas;
    obstest::sendSound(music, samples, 0, 48000, os_gettime_ns());
    // 29 frames, then black: the module fails at its 30th.
    auto frames = failed.waitFor(30, 120);
    ASSERT_GE(frames.size(), 30u);
    EXPECT_EQ(frames[28].index, 28);
    EXPECT_EQ(frames[29].index, -1);
    EXPECT_EQ(frames[29].bytes.find_first_not_of('\0'), std::string::npos) << "the source shows black";
    bool logged = false;
    for (const auto& line : obstest::logLines(LOG_WARNING))
        logged |= line.find("lumDisplaySoundData") != std::string::npos && line.find(GetParam().how) != std::string::npos;
    EXPECT_TRUE(logged) << "a line in OBS's log says which entry point failed and how";
    // OBS goes on: it renders, and the other source goes on drawing.
    EXPECT_FALSE(canvas.next(3).empty());
    const std::size_t before = drawn.count();
    obstest::sendSound(music, samples, 48000, 96000, os_gettime_ns());
    EXPECT_GE(drawn.waitFor(before + 20).size(), before + 20);
    EXPECT_EQ(failed.count(), 30u) << "one black frame, then nothing more until it is loaded again";
    // Loaded again after a second's back-off (its bridge anew), it draws again in a run of its own.
    const long long failedRun = frames[28].run;
    std::size_t again = 0;
    for (int tries = 0; tries < 60 && again == 0; ++tries) {
        obstest::sendSound(music, samples, 0, 4800, os_gettime_ns());
        again = failed.waitForRun(1, 0.5, failedRun).size();
    }
    EXPECT_EQ(again, 1u) << "the failed module drew again after the back-off";
    obs_source_release(healthy);
    obs_source_release(failing);
    obs_source_release(music);
}

INSTANTIATE_TEST_SUITE_P(Modules, ObsBridgeFailure,
                         ::testing::Values(Failure{"crashes_in_display", "crashed (exception"},
                                           Failure{"hangs_in_display", "did not return within 5 s"}),
                         [](const auto& info) { return info.param.module; });

}  // namespace
