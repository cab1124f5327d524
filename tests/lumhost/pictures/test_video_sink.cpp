// The in-process video sinks, fed directly: each kind of output as ffprobe
// and ffmpeg see it, the settings the encoders refuse, GIF colours, lossless
// H.264 pictures equal to the converter's, abandoned outputs.
#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <sstream>

#include "host_runner.h"
#include "lumhost/base/host_error.h"
#include "lumhost/pictures/frame_sink.h"
#include "lumhost/pictures/yuv_convert.h"

namespace lumhost {
namespace {

using hosttest::quoted;
using hosttest::Scratch;

// A canvas with a square that moves and changes colour from frame to frame.
struct TestCanvas {
    int width, height;
    std::vector<uint32_t> pixels;
    TestCanvas(int w, int h) : width(w), height(h), pixels(static_cast<std::size_t>(w * h), 0) {}
    LumCanvas view() { return LumCanvas{width, height, width * 4, pixels.data()}; }
    void square(int x0, int y0, int size, uint32_t colour) {
        for (int y = std::max(0, y0); y < std::min(height, y0 + size); ++y)
            for (int x = std::max(0, x0); x < std::min(width, x0 + size); ++x) pixels[static_cast<std::size_t>(y * width + x)] = colour;
    }
    void draw(int frame) {
        std::fill(pixels.begin(), pixels.end(), 0);
        square((frame * 3) % width, (frame * 2) % height, 12, 0x00FF8000u + static_cast<uint32_t>(frame % 64));
        square(width / 2, height / 2, 6, 0x00FFFFFFu);
    }
};

// Output of a shell command run in the scratch folder.
std::string capture(const Scratch& scratch, const std::string& command) {
    const auto out = scratch.dir().parent_path() / (scratch.dir().filename().string() + ".txt");
    hosttest::runShell(scratch, command + " >" + quoted(out.string()));
    auto text = hosttest::readFile(out.string());
    std::filesystem::remove(out);
    return text;
}

using Fields = std::map<std::string, std::string>;

// ffprobe's fields of every stream, frames counted.
std::vector<Fields> probeStreams(const Scratch& scratch, const std::string& file) {
    const auto text = capture(scratch, "ffprobe -v error -count_frames -show_entries stream=codec_name,codec_type,nb_read_frames,"
                                       "r_frame_rate,pix_fmt,color_range,color_space,color_primaries,color_transfer,"
                                       "sample_rate,channels -of default " + quoted(file));
    std::vector<Fields> streams;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        if (line == "[STREAM]") streams.emplace_back();
        const auto equals = line.find('=');
        if (equals != std::string::npos && !streams.empty()) streams.back()[line.substr(0, equals)] = line.substr(equals + 1);
    }
    return streams;
}

// How long the sound plays, in seconds: the decoded samples (the decoder
// drops the encoder's priming and padding as the container says). For MP4,
// whose edit list ffmpeg's decoding does not apply at the end, the stream's duration.
double soundSeconds(const Scratch& scratch, const std::string& file, int rate) {
    if (file.size() > 4 && file.substr(file.size() - 4) == ".mp4")
        return std::stod(capture(scratch, "ffprobe -v error -select_streams a -show_entries stream=duration -of csv=p=0 " + quoted(file)));
    const auto bytes = capture(scratch, "ffmpeg -v error -i " + quoted(file) + " -map 0:a -f s16le -ac 1 - | wc -c");
    return std::stod(bytes) / 2 / rate;
}

SinkRequest requestFor(const Scratch& scratch, const std::string& name, int width, int height, int fps,
                       std::optional<SoundFormat> sound) {
    SinkRequest request;
    request.output = scratch.path(name);
    request.width = width;
    request.height = height;
    request.fps = fps;
    request.sound = sound;
    return request;
}

// `frames` frames of the moving square with a tone, one frame's sound before each.
void writeVideo(const SinkRequest& request, int frames) {
    auto sink = makeFrameSink(request);
    TestCanvas canvas(request.width, request.height);
    std::vector<float> sound;
    long sample = 0;
    for (int frame = 0; frame < frames; ++frame) {
        if (request.sound) {
            const auto count = static_cast<std::size_t>(request.sound->rate / request.fps);
            sound.resize(count * static_cast<std::size_t>(request.sound->channels));
            for (std::size_t i = 0; i < sound.size(); ++i)
                sound[i] = static_cast<float>(0.3 * std::sin(0.05 * static_cast<double>(sample + static_cast<long>(i) / request.sound->channels)));
            sample += static_cast<long>(count);
            sink->writeSound(sound.data(), count);
        }
        canvas.draw(frame);
        sink->writeFrame(canvas.view());
    }
    sink->finish();
}

struct Kind {
    const char* name;
    const char* video;
    const char* audio;
    int audioRate;  // what the encoder runs at for 44.1 kHz sound
};

TEST(VideoSink, EachKindHasItsCodecsFramesAndMatchingDurations) {
    for (const Kind kind : {Kind{"out.mp4", "h264", "aac", 44100}, Kind{"out.mkv", "h264", "flac", 44100},
                            Kind{"out.webm", "vp9", "opus", 48000}}) {
        Scratch scratch;
        writeVideo(requestFor(scratch, kind.name, 64, 48, 25, SoundFormat{44100, 2}), 50);
        EXPECT_EQ(scratch.files(), std::vector<std::string>{kind.name});
        const auto streams = probeStreams(scratch, kind.name);
        ASSERT_EQ(streams.size(), 2u) << kind.name;
        const auto& video = streams[0];
        const auto& audio = streams[1];
        EXPECT_EQ(video.at("codec_name"), kind.video);
        EXPECT_EQ(video.at("nb_read_frames"), "50") << kind.name;
        EXPECT_EQ(video.at("r_frame_rate"), "25/1") << kind.name;
        EXPECT_EQ(video.at("pix_fmt"), "yuv420p") << kind.name;
        EXPECT_EQ(video.at("color_range"), "tv") << kind.name;
        EXPECT_EQ(video.at("color_space"), "smpte170m") << kind.name;
        EXPECT_EQ(video.at("color_primaries"), "smpte170m") << kind.name;
        EXPECT_EQ(video.at("color_transfer"), "smpte170m") << kind.name;
        EXPECT_EQ(audio.at("codec_name"), kind.audio);
        EXPECT_EQ(audio.at("sample_rate"), std::to_string(kind.audioRate)) << kind.name;
        EXPECT_EQ(audio.at("channels"), "2") << kind.name;
        // 50 frames at 25 fps, and the sound as long.
        EXPECT_NEAR(soundSeconds(scratch, kind.name, kind.audioRate), 2.0, 0.0005) << kind.name;
    }
}

TEST(VideoSink, MonoLowRateSoundAndNoSound) {
    Scratch scratch;
    writeVideo(requestFor(scratch, "mono.webm", 32, 16, 20, SoundFormat{8000, 1}), 30);
    auto streams = probeStreams(scratch, "mono.webm");
    ASSERT_EQ(streams.size(), 2u);
    EXPECT_EQ(streams[1].at("sample_rate"), "48000") << "Opus runs at 48 kHz";
    EXPECT_EQ(streams[1].at("channels"), "1");
    EXPECT_NEAR(soundSeconds(scratch, "mono.webm", 48000), 1.5, 0.0005);

    writeVideo(requestFor(scratch, "mono.mp4", 32, 16, 20, SoundFormat{22050, 1}), 30);
    streams = probeStreams(scratch, "mono.mp4");
    ASSERT_EQ(streams.size(), 2u);
    EXPECT_EQ(streams[1].at("sample_rate"), "22050");
    EXPECT_EQ(streams[1].at("channels"), "1");
    EXPECT_NEAR(soundSeconds(scratch, "mono.mp4", 22050), 1.5, 0.0005);

    writeVideo(requestFor(scratch, "silent.mp4", 32, 16, 20, std::nullopt), 30);
    streams = probeStreams(scratch, "silent.mp4");
    ASSERT_EQ(streams.size(), 1u) << "no sound, no audio stream";
    EXPECT_EQ(streams[0].at("nb_read_frames"), "30");
}

// Settings an encoder cannot take fail in makeFrameSink, in one line, before any file exists.
TEST(VideoSink, RefusedSettingsFailBeforeAnyOutput) {
    struct Case {
        const char* output;
        EncoderSettings settings;
        const char* message;
    };
    const Case cases[] = {
        {"a.mp4", {std::nullopt, "fastest", std::nullopt}, "--preset: unknown H.264 preset 'fastest' (ultrafast, superfast,"},
        {"a.mkv", {std::nullopt, "realtime", std::nullopt}, "--preset: unknown H.264 preset 'realtime'"},
        {"a.mp4", {52, std::nullopt, std::nullopt}, "--crf: 52 is out of range for H.264 (0-51)"},
        {"a.mp4", {-1, std::nullopt, std::nullopt}, "--crf: -1 is out of range for H.264 (0-51)"},
        {"a.webm", {std::nullopt, "veryfast", std::nullopt}, "--preset: unknown VP9 deadline 'veryfast' (realtime, good, best)"},
        {"a.webm", {64, std::nullopt, std::nullopt}, "--crf: 64 is out of range for VP9 (0-63)"},
        {"a.webm", {std::nullopt, std::nullopt, 100}, "the libopus encoder refuses its settings: The bit rate 100 bps is unsupported"},
        {"a.mp4", {std::nullopt, std::nullopt, 0}, "--audio-bitrate: 0 is not a bit rate"},
        {"a.gif", {30, std::nullopt, std::nullopt}, "--crf: GIF has no quality setting"},
    };
    for (const auto& c : cases) {
        Scratch scratch;
        auto request = requestFor(scratch, c.output, 64, 48, 25, SoundFormat{44100, 2});
        request.encoder = c.settings;
        try {
            makeFrameSink(request);
            ADD_FAILURE() << c.message << ": no error";
        } catch (const HostError& error) {
            const std::string what = error.what();
            EXPECT_EQ(what.rfind(c.message, 0), 0u) << what;
            EXPECT_EQ(what.find('\n'), std::string::npos) << what;
        }
        EXPECT_TRUE(scratch.files().empty()) << c.message;
    }
    Scratch scratch;
    EXPECT_THROW(makeFrameSink(requestFor(scratch, "odd.mkv", 63, 48, 25, std::nullopt)), HostError);
    // Settings within range are taken.
    auto request = requestFor(scratch, "good.webm", 32, 16, 10, SoundFormat{48000, 2});
    request.encoder = {40, "good", 64000};
    writeVideo(request, 5);
    EXPECT_EQ(scratch.files(), std::vector<std::string>{"good.webm"});
}

// Every frame of the GIF, decoded, is the canvas exactly, colours that first
// appear in later frames too, and a frame of more than 256 colours does not
// disturb those already seen.
TEST(VideoSink, GifFramesKeepExactColours) {
    Scratch scratch;
    const int width = 40, height = 30, frames = 12;
    std::vector<std::vector<uint32_t>> shown;
    {
        auto sink = makeFrameSink(requestFor(scratch, "out.gif", width, height, 10, std::nullopt));
        TestCanvas canvas(width, height);
        for (int frame = 0; frame < frames; ++frame) {
            if (frame == 3) canvas.square(2, 2, 8, 0x0030A0F0);
            if (frame == 5) canvas.square(20, 5, 8, 0x00183850);
            if (frame == 7) canvas.square(25, 15, 4, 0x000C1C28);
            if (frame == 9)  // 300 shades of grey-blue, one a pixel
                for (int i = 0; i < 300; ++i) canvas.pixels[static_cast<std::size_t>(width * 20 + i)] = 0x00010000u * static_cast<uint32_t>(i % 256) + static_cast<uint32_t>(i / 256) + 0x2;
            if (frame == 10) canvas.square(10, 10, 3, 0x00183850);  // seen before the palette filled
            sink->writeFrame(canvas.view());
            shown.push_back(canvas.pixels);
        }
        sink->finish();
    }
    ASSERT_EQ(hosttest::runShell(scratch, "ffmpeg -v error -i out.gif -f rawvideo -pix_fmt bgr0 out.raw"), 0);
    const auto raw = hosttest::readFile(scratch.path("out.raw"));
    const auto frameBytes = static_cast<std::size_t>(width * height * 4);
    ASSERT_EQ(raw.size(), frameBytes * frames);
    for (int frame = 0; frame < frames; ++frame) {
        const auto* decoded = reinterpret_cast<const uint32_t*>(raw.data() + frameBytes * static_cast<std::size_t>(frame));
        long differing = 0, exactOutsideTheGradient = 0, outside = 0;
        for (int i = 0; i < width * height; ++i) {
            const uint32_t want = shown[static_cast<std::size_t>(frame)][static_cast<std::size_t>(i)];
            const uint32_t got = decoded[i] & 0xFFFFFF;
            differing += got != want;
            const bool inGradient = frame >= 9 && i >= width * 20 && i < width * 20 + 300;
            if (!inGradient) {
                ++outside;
                exactOutsideTheGradient += got == want;
            }
        }
        if (frame < 9) {
            EXPECT_EQ(differing, 0) << "frame " << frame;
        }
        EXPECT_EQ(exactOutsideTheGradient, outside) << "frame " << frame;
    }
}

// H.264 at crf 0 is lossless: the decoded pictures are the converter's own,
// frame by frame, so no picture changed while the encoder held it.
TEST(VideoSink, LosslessH264DecodesToTheConvertedCanvases) {
    Scratch scratch;
    const int width = 64, height = 48, frames = 40;
    auto request = requestFor(scratch, "out.mkv", width, height, 30, std::nullopt);
    request.encoder = {0, "ultrafast", std::nullopt};
    std::string expected;
    {
        auto sink = makeFrameSink(request);
        TestCanvas canvas(width, height);
        std::vector<uint8_t> y(static_cast<std::size_t>(width * height)), u(y.size() / 4), v(y.size() / 4);
        for (int frame = 0; frame < frames; ++frame) {
            canvas.draw(frame);
            sink->writeFrame(canvas.view());
            for (int band = 0; band < height / 2; ++band) {
                const uint32_t* top = canvas.pixels.data() + 2 * band * width;
                bgr0ToYuv420(top, top + width, 0, width, y.data() + 2 * band * width, y.data() + (2 * band + 1) * width,
                             u.data() + band * width / 2, v.data() + band * width / 2);
            }
            for (const auto* plane : {&y, &u, &v}) expected.append(plane->begin(), plane->end());
        }
        sink->finish();
    }
    ASSERT_EQ(hosttest::runShell(scratch, "ffmpeg -v error -i out.mkv -f rawvideo -pix_fmt yuv420p out.yuv"), 0);
    const auto decoded = hosttest::readFile(scratch.path("out.yuv"));
    ASSERT_EQ(decoded.size(), expected.size());
    EXPECT_TRUE(decoded == expected);
}

// A sink dropped before finish (an error, Ctrl-C) stops its thread and leaves nothing.
TEST(VideoSink, AbandonedOutputLeavesNoFile) {
    for (const char* name : {"out.mp4", "out.webm", "out.gif"}) {
        Scratch scratch;
        {
            auto sink = makeFrameSink(requestFor(scratch, name, 64, 48, 25, SoundFormat{48000, 2}));
            TestCanvas canvas(64, 48);
            std::vector<float> sound(1920 * 2, 0.1f);
            for (int frame = 0; frame < 20; ++frame) {
                sink->writeSound(sound.data(), 1920);
                canvas.draw(frame);
                sink->writeFrame(canvas.view());
            }
            EXPECT_EQ(scratch.files().size(), 1u) << "the temporary file, while writing";
        }
        EXPECT_TRUE(scratch.files().empty()) << name;
    }
}

}  // namespace
}  // namespace lumhost
