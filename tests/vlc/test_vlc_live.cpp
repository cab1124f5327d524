// VLC playing is live: a plug-in slower than the frame rate costs pictures,
// never their timing, and one that hangs costs the pictures only (the sound
// plays on, memory stays flat, VLC closes). Judged at what VLC shows.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <map>
#include <utility>

#include <sys/stat.h>

#include "rules/block_cutter.h"
#include "sound_files.h"
#include "vlc_session.h"
#include "vlc_sounds.h"

namespace {

using vlctest::PlayOptions;

constexpr int rate = 48000;
constexpr int fps = 60;
constexpr double seconds = 4.0;
constexpr int width = 16, height = 8;

// A rising ramp: each block's bytes add up to more than the block before,
// so the test plug-in's picture of a block says which block it was.
std::string rampSound(const hosttest::Scratch& scratch, double length = seconds) {
    const auto path = scratch.path("ramp.wav");
    const long frames = std::lround(length * rate);
    hosttest::writeSound(path, rate, 1, frames,
                         [frames](long frame, int) { return static_cast<float>(-0.8 + 1.6 * static_cast<double>(frame) / frames); });
    return path;
}

uint32_t pixel(const std::string& picture, int index) {
    uint32_t value = 0;
    std::memcpy(&value, picture.data() + 4 * index, 4);
    return value;
}

// The test plug-in writes the block's byte sum and length into pixels 1 and 2.
std::pair<uint32_t, uint32_t> blockOf(const std::string& picture) { return {pixel(picture, 1), pixel(picture, 2)}; }

PlayOptions pacedPictures(const std::string& settings) {
    PlayOptions options;
    options.args = {"--lum-plugin=" PACED_PLUGIN_PATH, "--lum-width=" + std::to_string(width), "--lum-height=" + std::to_string(height),
                    "--lum-fps=" + std::to_string(fps), "--lum-set=" + settings};
    options.width = width;
    options.height = height;
    options.rate = rate;
    options.environment = {"LUM_PATH="};
    return options;
}

// When amem was given sample frame `sample` of the file.
int64_t heardAt(const vlctest::Played& played, int64_t sample) {
    for (const auto& block : played.sound) {
        if (sample < block.count) return block.pts + sample * 1000000 / rate;
        sample -= block.count;
    }
    return -1;
}

// Growth of the heap from a second into the sound to its end, in bytes.
long long heapGrowth(const vlctest::Played& played) {
    if (played.heapInUse.empty()) return 0;
    const auto from = played.heapInUse.front().first + 1000000;
    const auto first = std::find_if(played.heapInUse.begin(), played.heapInUse.end(), [&](const auto& at) { return at.first >= from; });
    if (first == played.heapInUse.end()) return 0;
    return static_cast<long long>(played.heapInUse.back().second) - static_cast<long long>(first->second);
}

// What the module's closing line says it drew and dropped.
std::pair<long long, long long> drawnAndDropped(const vlctest::Played& played) {
    const auto lines = vlctest::linesWith(played.lumLines, " blocks drawn, ");
    if (lines.size() != 1) return {-1, -1};
    long long shown = 0, drawn = -1, dropped = -1;
    const auto at = lines[0].find(" pictures shown");
    const auto from = lines[0].rfind(": ", at);
    if (from == std::string::npos ||
        std::sscanf(lines[0].c_str() + from + 2, "%lld pictures shown, %lld blocks drawn, %lld dropped", &shown, &drawn, &dropped) != 3)
        return {-1, -1};
    return {drawn, dropped};
}

// A plug-in that keeps up is never dropped from, live or not: every block
// is drawn and shown, in order.
TEST(VlcLive, APluginThatKeepsUpHasEveryBlockShown) {
    hosttest::Scratch scratch;
    const auto sound = rampSound(scratch);
    const auto reference = vlctest::lumhostFrames(scratch, sound, width, height, fps, {"--plugin", PACED_PLUGIN_PATH});
    const auto played = vlctest::play(sound, pacedPictures("Sleep=2"));
    EXPECT_TRUE(played.ended);
    const auto [drawn, dropped] = drawnAndDropped(played);
    EXPECT_EQ(drawn, static_cast<long long>(reference.size()));
    EXPECT_EQ(dropped, 0);
    ASSERT_EQ(played.pictures.size(), reference.size());
    for (std::size_t p = 0; p < reference.size(); ++p)
        ASSERT_EQ(blockOf(played.pictures[p]), blockOf(reference[p])) << "picture " << p;
}

// 18 ms a picture at 60 fps: some blocks are left out, those shown are shown
// with their sound, and the pictures never stop.
TEST(VlcLive, APluginSlowerThanTheFrameRateIsShownWithItsSound) {
    hosttest::Scratch scratch;
    const auto sound = rampSound(scratch);
    const auto reference = vlctest::lumhostFrames(scratch, sound, width, height, fps, {"--plugin", PACED_PLUGIN_PATH});
    ASSERT_EQ(reference.size(), static_cast<std::size_t>(seconds * fps));
    std::map<std::pair<uint32_t, uint32_t>, int64_t> blocks;
    for (std::size_t i = 0; i < reference.size(); ++i) blocks.emplace(blockOf(reference[i]), static_cast<int64_t>(i));
    ASSERT_EQ(blocks.size(), reference.size()) << "every block must be told apart by its sum";

    const auto played = vlctest::play(sound, pacedPictures("Sleep=18"));
    EXPECT_TRUE(played.ended);
    EXPECT_EQ(played.soundFrames, std::lround(seconds * rate));
    std::vector<int64_t> offsets;
    int64_t last = -1;
    int64_t longestGap = 0;
    for (std::size_t p = 0; p < played.pictures.size(); ++p) {
        const auto found = blocks.find(blockOf(played.pictures[p]));
        ASSERT_NE(found, blocks.end()) << "picture " << p << " is of no block of the sound";
        EXPECT_GT(found->second, last) << "picture " << p << " is of a block before the last shown";
        last = found->second;
        offsets.push_back(played.shownAt[p] - heardAt(played, lumrules::frameStart(found->second, rate, fps)));
        if (p > 0) longestGap = std::max(longestGap, played.shownAt[p] - played.shownAt[p - 1]);
    }
    ASSERT_GE(played.pictures.size(), reference.size() / 3) << "fewer than a third of the blocks were shown";
    std::sort(offsets.begin(), offsets.end());
    const auto ninetieth = offsets[offsets.size() * 9 / 10];
    std::printf("%zu of %zu blocks shown; picture after its sound: %lld us earliest, %lld us median, %lld us at 90%%, %lld us latest; "
                "longest gap %lld us\n",
                played.pictures.size(), reference.size(), static_cast<long long>(offsets.front()),
                static_cast<long long>(offsets[offsets.size() / 2]), static_cast<long long>(ninetieth),
                static_cast<long long>(offsets.back()), static_cast<long long>(longestGap));
    EXPECT_GT(offsets.front(), -15000) << "a picture came before its sound";
    // Three frame periods, and a margin for a loaded machine.
    EXPECT_LT(ninetieth, 100000) << "a tenth of the pictures came more than 100 ms after their sound";
    EXPECT_LT(longestGap, 500000) << "the pictures stopped for half a second";
    const auto [drawn, dropped] = drawnAndDropped(played);
    EXPECT_GT(dropped, 0);
    EXPECT_EQ(drawn + dropped, static_cast<long long>(reference.size())) << "every block is drawn or dropped";
}

// A plug-in that never returns from its fifth frame: the sound plays to its
// end, the module holds on to nothing more while it does, and VLC closes.
TEST(VlcLive, AHangingPluginCostsThePicturesOnly) {
    hosttest::Scratch scratch;
    const auto sound = rampSound(scratch);
    const auto played = vlctest::play(sound, pacedPictures("Hang at=5"));
    EXPECT_TRUE(played.ended);
    EXPECT_EQ(played.soundFrames, std::lround(seconds * rate));
    EXPECT_LE(played.pictures.size(), 4u);
    const auto growth = heapGrowth(played);
    std::printf("heap grew %lld bytes over the last %.1f s of sound; closing took %.3f s\n", growth, seconds - 1,
                played.closingSeconds);
    // Each block is 800 bytes: a queue of them grows by 48 kB a second.
    EXPECT_LT(growth, 48000) << "the heap grew while the plug-in hung";
    ASSERT_GE(played.closingSeconds, 0) << "VLC did not close within ten seconds";
    EXPECT_LT(played.closingSeconds, 5.0);
}

// A plug-in that hangs is given up after 5 s with one line, loaded again a
// second later, and draws again (until it hangs again at its fifth frame).
TEST(VlcLive, AHungPluginIsLoadedAgainAndDrawsAgain) {
    hosttest::Scratch scratch;
    const auto sound = rampSound(scratch, 7.5);
    const auto played = vlctest::play(sound, pacedPictures("Hang at=5"));
    EXPECT_TRUE(played.ended);
    EXPECT_EQ(played.soundFrames, std::lround(7.5 * rate));
    ASSERT_EQ(played.lumErrors.size(), 1u) << played.lumErrors[0] << "\n" << played.lumErrors.back();
    EXPECT_NE(played.lumErrors[0].find("did not return within 5 s"), std::string::npos) << played.lumErrors[0];
    EXPECT_EQ(vlctest::linesWith(played.lumLines, "loaded again; drawing").size(), 1u);
    // Four pictures of the first load, and more of the second, its frames counted afresh.
    ASSERT_GT(played.pictures.size(), 4u);
    EXPECT_EQ(pixel(played.pictures[4], 0), 1u);
    EXPECT_GT(played.shownAt[4] - played.shownAt[3], 5000000) << "the second load drew before the first was given up";
    ASSERT_GE(played.closingSeconds, 0);
}

// A preset is a small file: a FIFO (which would keep VLC's opening waiting
// for a writer) or a file too large to be one gives one line naming it, and
// the sound plays on.
TEST(VlcBadPreset, APresetThatIsNoSmallFileIsOneLine) {
    hosttest::Scratch scratch;
    const auto sound = scratch.path("swing.wav");
    vlctest::writeSwingSound(scratch, sound, 44100, 2, 0.5);
    const auto fifo = scratch.path("fifo.preset");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const auto large = scratch.path("large.preset");
    {
        std::ofstream out(large);
        for (int i = 0; i < 3000; ++i) out << "# a comment line of some length to pass 64 KiB\n";
    }
    for (const auto& preset : {fifo, large}) {
        PlayOptions options;
        options.args = {"--lum-width=64", "--lum-height=48", "--lum-preset=" + preset};
        options.width = 64;
        options.height = 48;
        options.environment = {"LUM_PATH="};
        const auto played = vlctest::play(sound, options);
        EXPECT_TRUE(played.ended) << preset;
        EXPECT_EQ(played.soundFrames, 22050) << preset;
        ASSERT_EQ(played.lumErrors.size(), 1u) << preset;
        EXPECT_NE(played.lumErrors[0].find(preset), std::string::npos) << played.lumErrors[0];
        EXPECT_TRUE(played.pictures.empty()) << preset;
    }
}

// A Windows module draws through its bridge's display, 4096x2304 at most: a
// larger size is refused with one line saying so, before anything is loaded.
TEST(VlcBadInput, ASizeTheWindowsModuleCannotDrawSaysItsLimit) {
    hosttest::Scratch scratch;
    const auto sound = scratch.path("swing.wav");
    vlctest::writeSwingSound(scratch, sound, 44100, 2, 0.5);
    // Just enough of a 64-bit Windows DLL to be taken for one.
    std::string module(512, '\0');
    module[0] = 'M';
    module[1] = 'Z';
    module[0x3C] = '\x80';
    module.replace(0x80, 4, std::string("PE\0\0", 4));
    module[0x80 + 24] = '\x0b';
    module[0x80 + 25] = '\x02';
    const auto file = scratch.path("wide.lum");
    std::ofstream(file, std::ios::binary) << module;
    PlayOptions options;
    options.args = {"--lum-plugin=" + file, "--lum-width=4100", "--lum-height=100"};
    options.width = 64;
    options.height = 48;
    options.environment = {"LUM_PATH="};
    const auto played = vlctest::play(sound, options);
    EXPECT_TRUE(played.ended);
    EXPECT_EQ(played.soundFrames, 22050);
    ASSERT_EQ(played.lumErrors.size(), 1u);
    EXPECT_NE(played.lumErrors[0].find("at most 4096x2304"), std::string::npos) << played.lumErrors[0];
    EXPECT_TRUE(played.pictures.empty());
}

}  // namespace
