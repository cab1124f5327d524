// The module's pictures in VLC against lumhost's frames of the same sound:
// byte for byte in the canvas's own RV32, with settings and a preset.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "sound_files.h"
#include "vlc_session.h"
#include "vlc_sounds.h"

namespace {

using vlctest::PlayOptions;

struct FramesCase {
    std::string name;
    std::vector<std::string> vlcArgs;      // besides size and rate
    std::vector<std::string> lumhostArgs;  // the same for lumhost
};

void PrintTo(const FramesCase& c, std::ostream* out) { *out << c.name; }

class VlcPictures : public ::testing::TestWithParam<FramesCase> {};

// Every picture VLC shows, in order, is lumhost's frame of the same sound.
TEST_P(VlcPictures, StereoPicturesAreLumhostsFramesByteForByte) {
    hosttest::Scratch scratch;
    const auto sound = scratch.path("swing.wav");
    vlctest::writeSwingSound(scratch, sound, 44100, 2, 2.0);
    // A preset of the user's own, found by name as lumhost finds it.
    const auto presets = scratch.dir() / "config/lumhost/presets/gyrotrail";
    std::filesystem::create_directories(presets);
    std::ofstream(presets / "wide.preset") << "# a wide, yellow trail\nline width=4\ncolor=#f0e020\nzoom factor=3\n";
    const std::vector<std::string> environment = {"XDG_CONFIG_HOME=" + (scratch.dir() / "config").string(), "LUM_PATH="};

    // VLC shows a picture again while no new one comes, so the pictures are
    // told apart by their content: lumhost's frames with a repeat left out.
    const auto all = vlctest::lumhostFrames(scratch, sound, 320, 180, 30, GetParam().lumhostArgs, environment);
    ASSERT_EQ(all.size(), 60u);
    const auto expected = vlctest::withoutRepeats(all);
    PlayOptions options;
    options.args = {"--lum-width=320", "--lum-height=180", "--lum-fps=30"};
    options.args.insert(options.args.end(), GetParam().vlcArgs.begin(), GetParam().vlcArgs.end());
    options.environment = environment;
    const auto played = vlctest::play(sound, options);
    EXPECT_TRUE(played.ended);
    EXPECT_TRUE(played.lumErrors.empty()) << played.lumErrors.front();
    for (std::size_t i = 0; i < std::min(expected.size(), played.pictures.size()); ++i)
        ASSERT_TRUE(played.pictures[i] == expected[i]) << "picture " << i << " of " << played.pictures.size();
    EXPECT_EQ(played.pictures.size(), expected.size());
    // The last picture VLC showed, as a PNG beside the tests (the README's picture of VLC).
    if (GetParam().name == "colour" && !played.pictures.empty()) {
        const auto raw = scratch.path("last.raw");
        std::ofstream(raw, std::ios::binary) << played.pictures.back();
        EXPECT_TRUE(hosttest::runFfmpeg({"-f", "rawvideo", "-pix_fmt", "bgr0", "-s", "320x180", "-i", raw, "-frames:v", "1",
                                         std::string(LUMVLC_TEST_FOLDER) + "/vlc-picture.png"}));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Settings, VlcPictures,
    ::testing::Values(FramesCase{"zoom", {"--lum-set=zoom factor=2"}, {"--set", "zoom factor=2"}},
                      // A colour shows a swapped channel order in the pictures.
                      FramesCase{"colour", {"--lum-set=zoom factor=2;line width=3;color=#20c0ff"},
                                 {"--set", "zoom factor=2", "--set", "line width=3", "--set", "color=#20c0ff"}},
                      FramesCase{"preset", {"--lum-preset=wide", "--lum-set=line length=12"}, {"--load-preset", "wide", "--set", "line length=12"}}),
    [](const auto& info) { return info.param.name; });

}  // namespace
