// lumhost render end to end: frame counts, pictures, parameters, videos.
#include <gtest/gtest.h>

#include <cmath>
#include <set>
#include <sstream>

#include "host_runner.h"
#include "png_pixels.h"
#include "sound_files.h"

namespace hosttest {
namespace {

constexpr uint32_t white = 0x00FFFFFF;

// The info table's row for one id, its columns joined by single spaces.
std::string infoRow(const std::string& out, uint32_t id) {
    std::istringstream lines(out);
    for (std::string line; std::getline(lines, line);) {
        std::istringstream words(line);
        std::string word, row;
        while (words >> word) row += (row.empty() ? "" : " ") + word;
        if (row.rfind(std::to_string(id) + " ", 0) == 0) return row;
    }
    return "";
}

std::vector<std::string> splitCsv(const std::string& line) {
    std::vector<std::string> fields;
    std::istringstream text(line);
    for (std::string field; std::getline(text, field, ',');) fields.push_back(field);
    return fields;
}

long framesInRawOutput(const RunResult& run, int width, int height) {
    const long frames = rawFrames(run, width, height);
    EXPECT_GE(frames, 0) << "the raw output holds a part of a frame";
    return frames;
}

TEST(RenderFrames, OneFramePerBlockForDurationTimesFps) {
    struct Case {
        int rate;
        long sampleFrames;
        int fps;
        long frames;
    };
    for (const Case c : {Case{44100, 44100, 60, 60}, Case{22050, 33075, 30, 45}, Case{8000, 4080, 10, 6}, Case{48000, 1, 60, 1}}) {
        Scratch scratch;
        writeSound(scratch.path("in.wav"), c.rate, 2, c.sampleFrames,
                   [](long, int) { return 0.1f; });
        const auto run = runLumhost(scratch, {"render", "in.wav", "-o", "-", "--size", "16x12", "--fps", std::to_string(c.fps), "-q"});
        ASSERT_EQ(run.status, 0) << run.err;
        EXPECT_EQ(framesInRawOutput(run, 16, 12), c.frames) << c.rate << " Hz, " << c.sampleFrames << " frames at " << c.fps;
        EXPECT_EQ(run.err, "");
    }
}

TEST(RenderFrames, DemoLastsTwentySeconds) {
    Scratch scratch;
    const auto run = runLumhost(scratch, {"render", "-o", "-", "--size", "4x4", "--fps", "10", "-q"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(framesInRawOutput(run, 4, 4), 200);
    const auto timed = runLumhost(scratch, {"render", "--null"});
    ASSERT_EQ(timed.status, 0) << timed.err;
    EXPECT_NE(timed.err.find("rendered 1200 frames"), std::string::npos) << timed.err;
    EXPECT_TRUE(scratch.files().empty());
}

TEST(RenderFrames, Y4mStreamHasHeaderAndEveryFrame) {
    Scratch scratch;
    writeTone(scratch.path("in.wav"), 16000, 1, 1.0);
    const auto run = runLumhost(scratch, {"render", "in.wav", "-o", "out.y4m", "--size", "32x24", "--fps", "25", "-q"});
    ASSERT_EQ(run.status, 0) << run.err;
    const auto y4m = readFile(scratch.path("out.y4m"));
    EXPECT_EQ(y4m.rfind("YUV4MPEG2 W32 H24 F25:1 Ip A1:1 C444", 0), 0u);
    const auto header = y4m.find('\n') + 1;
    EXPECT_EQ(y4m.size(), header + 25 * (6 + 3 * 32 * 24));
    std::size_t frames = 0;
    for (auto at = y4m.find("FRAME\n", header); at != std::string::npos; at = y4m.find("FRAME\n", at + 1)) ++frames;
    EXPECT_GE(frames, 25u);
    EXPECT_EQ(scratch.files(), (std::vector<std::string>{"in.wav", "out.y4m"}));
}

TEST(RenderFrames, FlacOggAndMp3Decode) {
    const std::vector<std::vector<std::string>> encodings = {
        {"in.flac"}, {"-c:a", "libvorbis", "in.ogg"}, {"-c:a", "libopus", "in.opus"}, {"-c:a", "libmp3lame", "in.mp3"}};
    for (const auto& encoding : encodings) {
        Scratch scratch;
        writeSound(scratch.path("in.wav"), 48000, 2, 24000,
                   [](long i, int c) { return static_cast<float>(0.3 * std::sin(0.01 * static_cast<double>(i) + c)); });
        std::vector<std::string> args = {"-i", scratch.path("in.wav")};
        args.insert(args.end(), encoding.begin(), encoding.end() - 1);
        args.push_back(scratch.path(encoding.back()));
        ASSERT_TRUE(runFfmpeg(args)) << encoding.back();
        const auto run = runLumhost(scratch, {"render", encoding.back(), "-o", "-", "--size", "8x8", "-q"});
        ASSERT_EQ(run.status, 0) << run.err;
        // Encoders may pad the end by a few milliseconds: 30 frames, maybe one more.
        EXPECT_NEAR(framesInRawOutput(run, 8, 8), 30, 1) << encoding.back();
    }
}

// One frame of sound at 8000 Hz and 50 fps: 160 sample frames, left and right
// constant. With the default zoom factor (divisor 10) left 1/128 puts the point
// 16 pixels below the centre and right 2/128 puts it 32 pixels right of it.
class OneFrame : public ::testing::Test {
protected:
    void SetUp() override { writeStereo(1, 2); }
    void writeStereo(int left, int right) {
        writeSound(scratch.path("in.wav"), 8000, 2, 160,
                   [=](long, int c) { return static_cast<float>(c == 0 ? left : right) / 128.0f; });
    }
    Picture render(std::vector<std::string> extra) {
        std::vector<std::string> args = {"render", "in.wav", "-o", "out.png", "--size", "128x96", "--fps", "50", "-q"};
        args.insert(args.end(), extra.begin(), extra.end());
        last = runLumhost(scratch, args);
        EXPECT_EQ(last.status, 0) << last.err;
        return readPng(scratch.path("out.png"));
    }
    Scratch scratch;
    RunResult last;
};

TEST_F(OneFrame, PngShowsTheSegmentFromTheCentre) {
    const auto picture = render({});
    ASSERT_EQ(picture.width, 128);
    ASSERT_EQ(picture.height, 96);
    EXPECT_EQ(picture.at(64, 48), white) << "the trail starts at the centre";
    EXPECT_EQ(picture.at(80, 56), white) << "halfway to (96, 64)";
    EXPECT_EQ(picture.at(95, 63), white);
    EXPECT_EQ(picture.at(40, 36), 0u) << "nothing on the other side";
    EXPECT_EQ(picture.at(0, 0), 0u);
    EXPECT_EQ(picture.at(110, 72), 0u) << "nothing beyond the new point";
}

TEST_F(OneFrame, LeftSteersVerticalRightHorizontalAndMonoBoth) {
    writeStereo(2, 0);
    auto planar = render({});
    EXPECT_EQ(planar.at(64, 78), white) << "left alone: straight down, 32 pixels";
    EXPECT_EQ(planar.at(80, 56), 0u);
    // Interleaved: the first third holds 53 left samples, the rest 107: the
    // point lands 10 down and 21 right.
    auto interleaved = render({"--layout", "interleaved"});
    EXPECT_EQ(interleaved.at(64, 78), 0u);
    EXPECT_EQ(interleaved.at(84, 58), white);

    writeSound(scratch.path("in.wav"), 8000, 1, 160, [](long, int) { return 1.0f / 128; });
    auto mono = render({});
    EXPECT_EQ(mono.at(78, 62), white) << "mono feeds both axes: 16 down, 16 right";
}

TEST_F(OneFrame, ParametersByNameAndByIdReachThePlugin) {
    EXPECT_EQ(render({"--set", "COLOR=#FF0000"}).at(80, 56), 0x00FF0000u);
    EXPECT_EQ(render({"--param", "10=0x0000FF00"}).at(80, 56), 0x0000FF00u) << "0x00BBGGRR: green";
    // 3 pixels across the line: inside a 10-pixel pen, outside a 1-pixel one.
    EXPECT_EQ(render({}).at(79, 59), white);
    EXPECT_EQ(render({"--set", "line-width=1"}).at(79, 59), 0u);
    EXPECT_EQ(last.err, "");
    // Zoom factor 80 halves the figure: the point is (80, 56).
    const auto zoomed = render({"--param", "15=80"});
    EXPECT_EQ(zoomed.at(72, 52), white);
    EXPECT_EQ(zoomed.at(94, 63), 0u);
    // Later assignments win, whatever their kind.
    EXPECT_EQ(render({"--param", "10=255", "--set", "color=#0000ff"}).at(80, 56), 0x000000FFu);
    EXPECT_EQ(render({"--set", "color=#0000ff", "--param", "10=255"}).at(80, 56), 0x00FF0000u);
}

TEST_F(OneFrame, ClampedValuesAreReportedWithTheValueApplied) {
    render({"--set", "line width=0", "--param", "13=500"});
    EXPECT_EQ(last.errLines(), (std::vector<std::string>{"lumhost: Line width: 0 is out of range, applied 1",
                                                         "lumhost: Rotation speed: 500 is out of range, applied 99"}));
    const auto info = runLumhost(scratch, {"info", "--set", "zoom factor=1000", "--set", "fade_out=off"});
    ASSERT_EQ(info.status, 0) << info.err;
    EXPECT_EQ(infoRow(info.out, 15), "15 Zoom factor integer 99 1-99 Sets the zoom factor (1-99).");
    EXPECT_EQ(infoRow(info.out, 14), "14 Fade out toggle off - Fade out line.");
    EXPECT_EQ(info.err, "lumhost: Zoom factor: 1000 is out of range, applied 99\n");
}

TEST(Info, ShowsTheRecordAndEveryParameter) {
    Scratch scratch;
    const auto run = runLumhost(scratch, {"info"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("name       Gyrotrailscope\n"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("version    1.0\n"), std::string::npos);
    EXPECT_NE(run.out.find("vendor     Norvandelworks\n"), std::string::npos);
    EXPECT_EQ(infoRow(run.out, 10), "10 Color colour 0x00FFFFFF (#FFFFFF) - Defines the line color.");
    EXPECT_EQ(infoRow(run.out, 11), "11 Line width integer 10 1-50 Defines the line width in pixel (1-50).");
    EXPECT_EQ(infoRow(run.out, 12), "12 Line length integer 5 2-30 Defines the line length (2-30).");
    EXPECT_EQ(infoRow(run.out, 13), "13 Rotation speed integer 6 0-99 Defines the rotation speed (0-99).");
    EXPECT_EQ(infoRow(run.out, 14), "14 Fade out toggle on - Fade out line.");
    EXPECT_EQ(infoRow(run.out, 15), "15 Zoom factor integer 90 1-99 Sets the zoom factor (1-99).");
    EXPECT_EQ(infoRow(run.out, 1), "") << "host values are not listed";
}

// ffprobe's view of a file: one "type,codec,duration,frames" line per stream.
std::vector<std::string> probeStreams(const Scratch& scratch, const std::string& file) {
    const auto list = scratch.dir().parent_path() / (scratch.dir().filename().string() + ".probe");
    runShell(scratch, "ffprobe -v error -count_frames -show_entries stream=codec_type,codec_name,duration,nb_read_frames -of csv=p=0 " +
                          quoted(file) + " >" + quoted(list.string()));
    std::vector<std::string> lines;
    std::istringstream text(readFile(list.string()));
    for (std::string line; std::getline(text, line);) lines.push_back(line);
    std::filesystem::remove(list);
    return lines;
}

TEST(RenderVideo, Mp4HasVideoAndSoundOfTheAudiosLength) {
    Scratch scratch;
    writeTone(scratch.path("in.wav"), 44100, 2, 1.0);
    const auto run = runLumhost(scratch, {"render", "in.wav", "-o", "out.mp4", "--size", "64x48", "--fps", "30", "-q"});
    ASSERT_EQ(run.status, 0) << run.err;
    const auto streams = probeStreams(scratch, "out.mp4");
    ASSERT_EQ(streams.size(), 2u);
    const auto video = splitCsv(streams[0]), audio = splitCsv(streams[1]);
    ASSERT_EQ(video.size(), 4u) << streams[0];
    ASSERT_EQ(audio.size(), 4u) << streams[1];
    EXPECT_EQ(video[0] + "," + video[1], "h264,video");
    EXPECT_EQ(audio[0] + "," + audio[1], "aac,audio");
    EXPECT_EQ(video[3], "30") << "frames";
    EXPECT_NEAR(std::stod(video[2]), 1.0, 0.001);
    EXPECT_NEAR(std::stod(audio[2]), 1.0, 0.05);
    EXPECT_EQ(scratch.files(), (std::vector<std::string>{"in.wav", "out.mp4"}));
}

TEST(RenderVideo, NoFfmpegProgramIsNeeded) {
    Scratch scratch;
    writeTone(scratch.path("in.wav"), 44100, 2, 0.5);
    const auto run = runLumhost(scratch, {"render", "in.wav", "-o", "out.mp4", "--size", "64x48", "--fps", "30", "-q"}, {"PATH="});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err, "");
    const auto streams = probeStreams(scratch, "out.mp4");
    ASSERT_EQ(streams.size(), 2u);
    EXPECT_EQ(streams[0].rfind("h264,video,", 0), 0u) << streams[0];
    EXPECT_EQ(splitCsv(streams[0]).back(), "15") << "frames: " << streams[0];
    EXPECT_EQ(streams[1].rfind("aac,audio,", 0), 0u) << streams[1];
}

TEST(RenderVideo, MkvCarriesH264AndFlac) {
    Scratch scratch;
    writeTone(scratch.path("in.wav"), 22050, 1, 1.5);
    const auto run = runLumhost(scratch, {"render", "in.wav", "-o", "out.mkv", "--size", "48x32", "--fps", "24", "-q"});
    ASSERT_EQ(run.status, 0) << run.err;
    const auto streams = probeStreams(scratch, "out.mkv");
    ASSERT_EQ(streams.size(), 2u);
    EXPECT_EQ(streams[0].rfind("h264,video,", 0), 0u) << streams[0];
    EXPECT_EQ(splitCsv(streams[0]).back(), "36") << "frames: " << streams[0];
    EXPECT_EQ(streams[1].rfind("flac,audio,", 0), 0u) << streams[1];
    EXPECT_EQ(scratch.files(), (std::vector<std::string>{"in.wav", "out.mkv"}));
}

// The GIF's last frame is the PNG still of the same run, pixel for pixel:
// the figure's colours (the line colour and its fade levels) are exact.
TEST(RenderVideo, GifColoursAreExact) {
    Scratch scratch;
    writeSound(scratch.path("in.wav"), 8000, 2, 8000,
               [](long i, int c) { return static_cast<float>(std::round(std::sin(0.002 * static_cast<double>(i) * (c + 1))) / 128); });
    const std::vector<std::string> common = {"in.wav", "--size", "160x120", "--fps", "20", "-q", "--set", "color=#30a0f0",
                                             "--set", "line width=3"};
    std::vector<std::string> gif = {"render", "-o", "out.gif"}, png = {"render", "-o", "out.png"};
    gif.insert(gif.end(), common.begin(), common.end());
    png.insert(png.end(), common.begin(), common.end());
    ASSERT_EQ(runLumhost(scratch, gif).status, 0);
    ASSERT_EQ(runLumhost(scratch, png).status, 0);
    ASSERT_EQ(runShell(scratch, "ffmpeg -v error -i out.gif -update 1 -frames:v 1000 -pix_fmt rgb24 last.png"), 0);
    const auto still = readPng(scratch.path("out.png"));
    const auto decoded = readPng(scratch.path("last.png"));
    ASSERT_EQ(decoded.width, still.width);
    ASSERT_EQ(decoded.height, still.height);
    std::set<uint32_t> colours;
    long differing = 0;
    for (int y = 0; y < still.height; ++y)
        for (int x = 0; x < still.width; ++x) {
            colours.insert(still.at(x, y));
            differing += decoded.at(x, y) != still.at(x, y);
        }
    EXPECT_GT(colours.size(), 2u) << "the fade levels";
    EXPECT_EQ(differing, 0);
}

TEST(RenderVideo, WebmCarriesOpusAndGifHasNoSound) {
    Scratch scratch;
    writeTone(scratch.path("in.wav"), 48000, 2, 0.5);
    ASSERT_EQ(runLumhost(scratch, {"render", "in.wav", "-o", "out.webm", "--size", "32x24", "--fps", "20", "-q"}).status, 0);
    const auto webm = probeStreams(scratch, "out.webm");
    ASSERT_EQ(webm.size(), 2u);
    EXPECT_EQ(webm[0].rfind("vp9,video,", 0), 0u) << webm[0];
    EXPECT_EQ(webm[1].rfind("opus,audio,", 0), 0u) << webm[1];
    EXPECT_EQ(splitCsv(webm[0]).back(), "10") << "frames: " << webm[0];

    ASSERT_EQ(runLumhost(scratch, {"render", "in.wav", "-o", "out.GIF", "--size", "33x25", "--fps", "20", "-q"}).status, 0);
    const auto gif = probeStreams(scratch, "out.GIF");
    ASSERT_EQ(gif.size(), 1u);
    EXPECT_EQ(gif[0].rfind("gif,video,", 0), 0u) << gif[0];
}

}  // namespace
}  // namespace hosttest
