// Sound in end to end: files of every kind the media libraries read, made
// here with ffmpeg, rendered by lumhost; streams, channels, rates, damage,
// early ends, the part of the sound a run uses, and bounded memory.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <fstream>

#include "host_runner.h"
#include "png_pixels.h"
#include "sound_files.h"

namespace hosttest {
namespace {

constexpr uint32_t white = 0x00FFFFFF;

class MediaInput : public ::testing::Test {
protected:
    // ffmpeg with lavfi sources; the last argument is the file made in the scratch folder.
    void make(std::vector<std::string> args) {
        args.back() = scratch.path(args.back());
        ASSERT_TRUE(runFfmpeg(args)) << args.back();
    }
    long framesOf(const std::string& file, std::vector<std::string> extra = {}) {
        std::vector<std::string> args = {"render", "-o", "-", "--size", "8x8", "--fps", "30", "-q"};
        if (!file.empty()) args.push_back(file);  // none: the demo
        args.insert(args.end(), extra.begin(), extra.end());
        last = runLumhost(scratch, args);
        EXPECT_EQ(last.status, 0) << file << ": " << last.err;
        return rawFrames(last, 8, 8);
    }
    Picture still(const std::string& file, std::vector<std::string> extra) {
        std::vector<std::string> args = {"render", file, "-o", "out.png", "--size", "128x96", "--fps", "50", "-q"};
        args.insert(args.end(), extra.begin(), extra.end());
        last = runLumhost(scratch, args);
        EXPECT_EQ(last.status, 0) << last.err;
        return readPng(scratch.path("out.png"));
    }
    void expectRefused(const std::vector<std::string>& args, const std::string& cause) {
        const auto run = runLumhost(scratch, args);
        EXPECT_NE(run.status, 0);
        ASSERT_EQ(run.errLines().size(), 1u) << run.err;
        EXPECT_NE(run.err.find(cause), std::string::npos) << run.err;
    }
    Scratch scratch;
    RunResult last;
};

const std::string stereoTone = "sine=f=220:d=2:sample_rate=48000";

TEST_F(MediaInput, AacM4aAndTheSoundtrackOfVideos) {
    make({"-f", "lavfi", "-i", stereoTone, "-ac", "2", "-c:a", "aac", "song.m4a"});
    make({"-f", "lavfi", "-i", stereoTone, "-c:a", "alac", "lossless.m4a"});
    make({"-f", "lavfi", "-i", stereoTone, "-c:a", "wmav2", "song.wma"});
    for (const auto& [file, video, audio] : std::vector<std::array<std::string, 3>>{
             {"clip.mp4", "libx264", "aac"}, {"clip.mkv", "mpeg4", "flac"}, {"clip.webm", "libvpx-vp9", "libopus"},
             {"clip.mov", "mpeg4", "aac"}})
        make({"-f", "lavfi", "-i", "testsrc=d=2:s=64x48:r=10", "-f", "lavfi", "-i", stereoTone, "-c:v", video, "-c:a", audio,
              "-shortest", file});
    for (const auto* file : {"song.m4a", "lossless.m4a", "song.wma", "clip.mp4", "clip.mkv", "clip.webm", "clip.mov"})
        // Two seconds at 30 fps; lossy encoders pad the end by a few milliseconds.
        EXPECT_NEAR(framesOf(file), 60, 2) << file;
}

TEST_F(MediaInput, ChoosesTheAudioStreamAsked) {
    // Stream 0 is silent, stream 1 carries a steady offset on both channels.
    make({"-f", "lavfi", "-i", "aevalsrc=0|0:s=8000:d=1", "-f", "lavfi", "-i", "aevalsrc=0.01|0.01:s=8000:d=1", "-map", "0",
          "-map", "1", "-c:a", "flac", "two.mkv"});
    const auto quiet = still("two.mkv", {"--audio-stream", "0"});
    const auto loud = still("two.mkv", {"--audio-stream", "1"});
    EXPECT_LT(quiet.litPixels(), 200) << "silence leaves a dot at the centre";
    EXPECT_GT(loud.litPixels(), 2 * quiet.litPixels() + 100);
    expectRefused({"render", "two.mkv", "--audio-stream", "2", "-o", "x.png"}, "has 2 audio streams");
    make({"-f", "lavfi", "-i", "testsrc=d=1:s=64x48:r=10", "-c:v", "mpeg4", "silent.mp4"});
    expectRefused({"render", "silent.mp4", "-o", "x.png"}, "has no audio stream");
    EXPECT_EQ(scratch.files(), (std::vector<std::string>{"out.png", "silent.mp4", "two.mkv"}));
}

TEST_F(MediaInput, SurroundIsMixedDownNotDropped) {
    // 5.1 with sound in the centre channel only: the mix-down puts it into
    // left and right alike, so the figure leaves the centre on its diagonal.
    make({"-f", "lavfi", "-i", "aevalsrc=0|0|0.1|0|0|0:c=5.1:s=8000:d=0.02", "-c:a", "flac", "centre.flac"});
    const auto centre = still("centre.flac", {});
    EXPECT_EQ(centre.at(74, 58), white) << "down and to the right, as far each way";
    EXPECT_EQ(centre.at(74, 48), 0u);
    // Sound in the front left only moves the vertical axis.
    make({"-f", "lavfi", "-i", "aevalsrc=0.1|0|0|0|0|0:c=5.1:s=8000:d=0.02", "-c:a", "flac", "left.flac"});
    const auto left = still("left.flac", {});
    EXPECT_EQ(left.at(64, 58), white) << "straight down";
    EXPECT_EQ(left.at(74, 58), 0u);
}

TEST_F(MediaInput, HighAndLowSampleRatesCutWholeFrames) {
    for (const int rate : {8000, 192000}) {
        writeSound(scratch.path("in.wav"), rate, 2, rate, [](long i, int c) { return static_cast<float>(0.2 * std::sin(0.01 * i + c)); });
        EXPECT_EQ(framesOf("in.wav"), 30) << rate << " Hz";
    }
}

TEST_F(MediaInput, DamagedAndTruncatedFilesRenderWhatDecodesWithOneWarning) {
    make({"-f", "lavfi", "-i", "sine=d=10:sample_rate=44100", "-ac", "2", "whole.flac"});
    const auto whole = readFile(scratch.path("whole.flac"));
    std::string damaged = whole;
    for (const std::size_t at : {whole.size() / 2, whole.size() * 3 / 4}) damaged.replace(at, 300, 300, '\x55');
    std::ofstream(scratch.path("damaged.flac"), std::ios::binary) << damaged;
    std::ofstream(scratch.path("cut.flac"), std::ios::binary) << whole.substr(0, whole.size() / 3);

    EXPECT_GT(framesOf("damaged.flac"), 280);
    ASSERT_EQ(last.errLines().size(), 1u) << last.err;
    EXPECT_NE(last.err.find("2 damaged packets skipped, first at 0:0"), std::string::npos) << last.err;

    const long cut = framesOf("cut.flac");
    EXPECT_GT(cut, 80);
    EXPECT_LT(cut, 110);
    EXPECT_NE(last.err.find("the file ends early at 0:0"), std::string::npos) << last.err;

    EXPECT_EQ(framesOf("whole.flac"), 300);
    EXPECT_EQ(last.err, "");
}

TEST_F(MediaInput, StartAndDurationChooseThePartOfTheSound) {
    make({"-f", "lavfi", "-i", "sine=d=4:sample_rate=48000", "-ac", "2", "four.flac"});
    EXPECT_EQ(framesOf("four.flac", {"--start", "1", "--duration", "2"}), 60);
    EXPECT_EQ(framesOf("four.flac", {"--start", "0:01.5"}), 75);
    EXPECT_EQ(framesOf("four.flac", {"--duration", "9"}), 120) << "a duration past the end stops at the end";
    EXPECT_EQ(framesOf("", {"--start", "19", "--duration", "0:00:00.5"}), 15) << "the demo is cut alike";
    expectRefused({"render", "four.flac", "--start", "1:00", "-o", "late.png"}, "past the end of four.flac");
    expectRefused({"render", "four.flac", "--start", "1:75", "-o", "x.png"}, "--start: expected seconds or [hh:]mm:ss[.ff]");
    expectRefused({"render", "four.flac", "--duration", "0", "-o", "x.png"}, "--duration");
    EXPECT_EQ(scratch.files(), (std::vector<std::string>{"four.flac"}));
}

TEST_F(MediaInput, AtPicksTheMomentOfTheStillAndTheTrailStartsAtStart) {
    // Silent for a second, then a steady offset: the figure leaves the centre only then.
    make({"-f", "lavfi", "-i", "aevalsrc='if(lt(t,1),0,0.01)|if(lt(t,1),0,0.01)':s=8000:d=2", "-c:a", "flac", "late.flac"});
    EXPECT_LT(still("late.flac", {"--at", "0.5"}).litPixels(), 200);
    EXPECT_GT(still("late.flac", {"--at", "1.5"}).litPixels(), 200);
    // One frame from --start: a single segment that begins at the centre.
    const auto first = still("late.flac", {"--start", "1.2", "--at", "1.2"});
    EXPECT_EQ(first.at(64, 48), white);
    EXPECT_EQ(first.at(40, 30), 0u);
    expectRefused({"render", "late.flac", "--at", "5", "-o", "x.png"}, "the sound ends at");
    expectRefused({"render", "late.flac", "--start", "1", "--at", "0.5", "-o", "x.png"}, "comes before --start");
    expectRefused({"render", "late.flac", "--at", "1", "-o", "x.y4m"}, "--at picks the moment of a .png still");
    EXPECT_EQ(scratch.files(), (std::vector<std::string>{"late.flac", "out.png"}));
}

TEST_F(MediaInput, ThirtyMinutesDecodeInBoundedMemory) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "AddressSanitizer's shadow memory and quarantine count in the resident size";
#endif
    make({"-f", "lavfi", "-i", "sine=f=110:d=1800:sample_rate=44100", "-ac", "2", "-compression_level", "0", "long.flac"});
    const long kilobytes = peakMemoryOfLumhost(scratch, {"render", "long.flac", "--null", "-q", "--size", "320x240"});
    ASSERT_GT(kilobytes, 0) << "the render failed";
    EXPECT_LT(kilobytes, 150 * 1024) << "peak resident memory";
}

}  // namespace
}  // namespace hosttest
