// Live sound end to end: a real PulseAudio server of the test's own with a
// null sink whose monitor lumhost captures, SDL's disk driver for a capture
// whose sound is known exactly, FIFOs and pipes of raw PCM.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>

#include "host_runner.h"
#include "png_pixels.h"
#include "pulse_server.h"
#include "sound_files.h"

namespace hosttest {
namespace {

// A steady offset under a low hum: every block's sums move the figure.
void writeMovingSound(const std::string& path, double seconds) {
    writeSound(path, 44100, 2, std::lround(seconds * 44100), [](long i, int c) {
        return static_cast<float>(0.004 + 0.01 * std::sin(6.283185307179586 * 37 * static_cast<double>(i) / 44100 + c));
    });
}

// Starts lumhost in the background, interrupts or waits, and gives its exit status.
int runScript(const Scratch& scratch, const std::string& script) {
    std::ofstream(scratch.path("run.sh")) << script;
    return runShell(scratch, "sh run.sh");
}

class Capture : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(server.ok()) << "pulseaudio did not start (it needs the pulseaudio package and root)";
        writeMovingSound(scratch.path("moving.wav"), 20);
    }
    // libpulse keeps a little memory to the end of the process (SDL's
    // PulseAudio backend never frees it); under AddressSanitizer that leak
    // would fail the run, so leak checks are off for capture (and only there).
    RunResult lumhost(const std::vector<std::string>& args) {
        return runLumhost(scratch, args, {server.environment(), "ASAN_OPTIONS=detect_leaks=0"});
    }
    std::string lumhostLine(const std::string& args) const {
        return server.environment() + " ASAN_OPTIONS=detect_leaks=0 " + quoted(LUMHOST_PATH) + " " + args;
    }
    PulseServer server;
    Scratch scratch;
};

TEST_F(Capture, DevicesListTheMonitorAndARecordingLastsItsDuration) {
    const auto devices = lumhost({"devices"});
    ASSERT_EQ(devices.status, 0) << devices.err;
    EXPECT_NE(devices.out.find("Monitor of lumtest  [monitor]"), std::string::npos) << devices.out;
    EXPECT_NE(devices.out.find("lumtest  [default]"), std::string::npos) << devices.out;

    ASSERT_TRUE(server.play(scratch.path("moving.wav"), "lumtest"));
    // Without DEVICE: the default output's monitor; by a part of its name too.
    const auto raw = lumhost({"render", "--capture", "--duration", "2", "-o", "-", "--size", "8x8", "--fps", "30", "-q"});
    ASSERT_EQ(raw.status, 0) << raw.err;
    EXPECT_EQ(rawFrames(raw, 8, 8), 60);
    const auto still = lumhost({"render", "--capture", "monitor of lum", "--duration", "1", "-o", "still.png", "--size", "320x240", "-q"});
    ASSERT_EQ(still.status, 0) << still.err;
    EXPECT_GT(readPng(scratch.path("still.png")).litPixels(), 400) << "the figure follows the captured sound";
}

TEST_F(Capture, CtrlCEndsARecordingAndKeepsAPlayableFile) {
    ASSERT_TRUE(server.play(scratch.path("moving.wav"), "lumtest"));
    const int status = runScript(scratch, lumhostLine("render --capture -o rec.mkv --size 64x48 -q 2>err.txt &") +
                                              "\npid=$!\nsleep 5\nkill -INT $pid\nwait $pid\n");
    EXPECT_EQ(status, 0) << readFile(scratch.path("err.txt"));
    const double seconds = std::atof(probe(scratch.path("rec.mkv"), "", "format=duration").c_str());
    // The server's null sink starts its monitor up to two seconds late.
    EXPECT_GT(seconds, 1.5);
    EXPECT_LT(seconds, 5.5);
    EXPECT_EQ(probe(scratch.path("rec.mkv"), "a:0", "stream=codec_name"), "flac");
    EXPECT_EQ(scratch.files(), (std::vector<std::string>{"err.txt", "moving.wav", "rec.mkv", "run.sh"}));
}

TEST_F(Capture, ALostServerEndsTheRunKeepingWhatWasRecorded) {
    ASSERT_EQ(std::system((server.environment() + " pactl info >/dev/null").c_str()), 0);
    std::ofstream(scratch.path("run.sh")) << lumhostLine("render --capture -o rec.mkv --size 64x48 -q 2>err.txt; echo $? >status.txt");
    ASSERT_EQ(runShell(scratch, "sh run.sh &"), 0);
    std::this_thread::sleep_for(std::chrono::seconds(4));
    server.kill();
    for (int i = 0; i < 100 && readFile(scratch.path("status.txt")).empty(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ(readFile(scratch.path("status.txt")), "1\n");
    EXPECT_EQ(readFile(scratch.path("err.txt")),
              "lumhost: the capture device 'Monitor of lumtest' is gone; what was recorded is kept in rec.mkv\n");
    EXPECT_GT(std::atof(probe(scratch.path("rec.mkv"), "", "format=duration").c_str()), 0.5);
}

// The window's run ends too when its device is lost, whatever part of a
// block the device had sent: one line, exit 1.
TEST_F(Capture, ALostServerEndsPlay) {
    std::ofstream(scratch.path("run.sh")) << "DISPLAY= WAYLAND_DISPLAY= SDL_VIDEODRIVER=offscreen " +
                                                 lumhostLine("play --capture --size 64x48 -q 2>err.txt &") +
                                                 "\necho $! >pid.txt\nwait $!\necho $? >status.txt\n";
    ASSERT_EQ(runShell(scratch, "sh run.sh &"), 0);
    std::this_thread::sleep_for(std::chrono::seconds(4));
    server.kill();
    for (int i = 0; i < 100 && readFile(scratch.path("status.txt")).empty(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ(readFile(scratch.path("status.txt")), "1\n") << "still running 10 s after its device went";
    EXPECT_NE(readFile(scratch.path("err.txt")).find("lumhost: the capture device 'Monitor of lumtest' is gone\n"), std::string::npos)
        << readFile(scratch.path("err.txt"));
    if (readFile(scratch.path("status.txt")).empty()) runShell(scratch, "kill -INT $(cat pid.txt)");
}

TEST_F(Capture, PlayShowsTheMonitorLiveWithoutPlayingItBack) {
    ASSERT_TRUE(server.play(scratch.path("moving.wav"), "lumtest"));
    // The window's own sound output would be a second stream into the sink.
    const std::string script = lumhostLine("play --capture --size 320x240 2>err.txt &") +
                               "\npid=$!\nxdotool search --sync --name '^lumhost' >/dev/null\nsleep 4\n"
                               "import -window root shot.png\n" + server.environment() +
                               " pactl list short sink-inputs | wc -l >streams.txt\nkill -INT $pid\nwait $pid\n";
    std::ofstream(scratch.path("play.sh")) << script;
    const int status = runShell(scratch, "timeout 40 xvfb-run -a -s '-screen 0 400x300x24' sh play.sh");
    const auto err = readFile(scratch.path("err.txt"));
    EXPECT_EQ(status, 0) << err;
    EXPECT_EQ(readFile(scratch.path("streams.txt")), "1\n") << "only paplay plays into the sink";
    EXPECT_GT(readPng(scratch.path("shot.png")).litPixels(), 400) << "the figure follows the captured sound";
    EXPECT_NE(err.find("blocks shown a median"), std::string::npos) << err;
}

TEST(CaptureDevices, UnknownAmbiguousOrMissingDevicesAreRefused) {
    PulseServer server({"lumtest-left", "lumtest-right"});
    ASSERT_TRUE(server.ok());
    Scratch scratch;
    const auto refused = [&](std::vector<std::string> args, const std::string& cause, const std::vector<std::string>& environment) {
        args.insert(args.end(), {"-o", "out.png"});
        const auto run = runLumhost(scratch, args, environment);
        EXPECT_NE(run.status, 0);
        EXPECT_EQ(run.errLines().size(), 1u) << run.err;
        EXPECT_NE(run.err.find(cause), std::string::npos) << run.err;
    };
    const std::vector<std::string> env = {server.environment(), "ASAN_OPTIONS=detect_leaks=0"};
    refused({"render", "--capture", "lumtest"}, "matches more than one device: 0 'Monitor of lumtest-left', 1 'Monitor of lumtest-right'", env);
    refused({"render", "--capture", "speakers"}, "no capture device matches; there are 0 'Monitor of lumtest-left'", env);
    refused({"render", "--capture", "7"}, "no capture device has that index", env);
    writeTone(scratch.path("song.wav"), 8000, 1, 0.5);
    refused({"render", "song.wav", "--capture"}, "--capture takes its sound live; drop the audio file song.wav", env);
    refused({"render", "--capture", "--start", "3"}, "--start: live sound has no beginning", env);
    refused({"render", "--capture"}, "no sound devices", {"SDL_AUDIODRIVER=none-such"});
    EXPECT_EQ(scratch.files(), (std::vector<std::string>{"song.wav"}));
}

TEST(DiskCapture, CapturedSoundIsCutIntoBlocksExactly) {
    // SDL's disk driver captures a file's float samples at the rate asked:
    // left 1/128 and right 2/128 put the point 16 down and 32 right at 50 fps.
    Scratch scratch;
    {
        std::ofstream raw(scratch.path("in.raw"), std::ios::binary);
        const float frame[2] = {1.0f / 128, 2.0f / 128};
        for (int i = 0; i < 48000 * 2; ++i) raw.write(reinterpret_cast<const char*>(frame), sizeof frame);
    }
    const std::vector<std::string> disk = {"SDL_AUDIODRIVER=disk", "SDL_DISKAUDIOFILEIN=in.raw"};
    const auto raw = runLumhost(scratch, {"render", "--capture", "--duration", "1", "-o", "-", "--size", "8x8", "-q"}, disk);
    ASSERT_EQ(raw.status, 0) << raw.err;
    EXPECT_EQ(rawFrames(raw, 8, 8), 60);
    const auto png = runLumhost(scratch, {"render", "--capture", "--duration", "0.02", "--fps", "50", "--set", "zoom factor=40",
                                          "-o", "one.png", "--size", "128x96", "-q"}, disk);
    ASSERT_EQ(png.status, 0) << png.err;
    // 960 samples a block; zoom factor 40 divides the sums by 60: 16 down, 32 right.
    const auto picture = readPng(scratch.path("one.png"));
    EXPECT_EQ(picture.at(64, 48), 0x00FFFFFFu);
    EXPECT_EQ(picture.at(80, 56), 0x00FFFFFFu);
    EXPECT_EQ(picture.at(40, 36), 0u);
}

class RawInput : public ::testing::Test {
protected:
    Scratch scratch;
    void writeZeros(const std::string& name, std::size_t bytes) { std::ofstream(scratch.path(name), std::ios::binary) << std::string(bytes, '\0'); }
};

TEST_F(RawInput, AFifoIsReadUntilItsWriterEndsWithTheRemainderCarried) {
    // 3 s of 8000 Hz mono at 7 fps: 1142.86 samples a block, 21 blocks exactly.
    writeZeros("three.raw", 3 * 8000 * 2);
    ASSERT_EQ(::mkfifo(scratch.path("in.fifo").c_str(), 0600), 0);
    const int status = runScript(scratch, "(sleep 0.3; cat three.raw > in.fifo) &\n" + quoted(LUMHOST_PATH) +
                                              " render --input in.fifo --input-format s16le:8000:1 --fps 7 -o out.y4m --size 8x8"
                                              " 2>err.txt\n");
    EXPECT_EQ(status, 0) << readFile(scratch.path("err.txt"));
    EXPECT_NE(readFile(scratch.path("err.txt")).find("rendered 21 frames"), std::string::npos) << readFile(scratch.path("err.txt"));
}

TEST_F(RawInput, AnHourFromAPipeGivesExactlyItsBlocks) {
    // rate x 3600 / (rate / fps) blocks, no drift, from standard input.
    const int status = runShell(scratch, "head -c 57600000 /dev/zero | " + quoted(LUMHOST_PATH) +
                                             " render --input - --input-format s16le:8000:1 --fps 7 --null 2>err.txt");
    EXPECT_EQ(status, 0);
    EXPECT_NE(readFile(scratch.path("err.txt")).find("rendered 25200 frames"), std::string::npos) << readFile(scratch.path("err.txt"));
    // Stereo floats too, interleaved as the formats of the field write them.
    const int floats = runShell(scratch, "head -c 384000 /dev/zero | " + quoted(LUMHOST_PATH) +
                                             " render --input - --input-format f32le:48000:2 --null 2>err.txt");
    EXPECT_EQ(floats, 0);
    EXPECT_NE(readFile(scratch.path("err.txt")).find("rendered 60 frames"), std::string::npos);
}

// Play ends with its sound: a writer that stops part way into a block (12
// and a half blocks of 48 kHz mono at 60 fps) ends the window as 12 whole
// blocks do, the half shown as a short last block, as a render shows it.
TEST_F(RawInput, PlayEndsWhenTheSoundStopsMidBlock) {
    for (const auto& [bytes, blocks] : {std::pair{19200, 12}, std::pair{20000, 13}}) {
        writeZeros("in.raw", static_cast<std::size_t>(bytes));
        const int status = runShell(scratch, "env DISPLAY= WAYLAND_DISPLAY= SDL_VIDEODRIVER=offscreen SDL_AUDIODRIVER=dummy "
                                             "ASAN_OPTIONS=detect_leaks=0 timeout 10 " + quoted(LUMHOST_PATH) +
                                                 " play --input in.raw --input-format s16le:48000:1 --size 64x48 2>err.txt");
        const auto err = readFile(scratch.path("err.txt"));
        EXPECT_EQ(status, 0) << bytes << " bytes (124: still running after 10 s)\n" << err;
        EXPECT_NE(err.find("lumhost: " + std::to_string(blocks) + " blocks shown"), std::string::npos) << bytes << " bytes\n" << err;
    }
}

TEST_F(RawInput, BadInputsAreRefusedWithoutOutput) {
    std::filesystem::create_directory(scratch.path("folder"));
    for (const auto& [args, cause] : std::vector<std::pair<std::vector<std::string>, std::string>>{
             {{"--input", "missing.fifo"}, "cannot open input missing.fifo: No such file or directory"},
             {{"--input", "folder"}, "cannot open input folder: is a folder"},
             {{"--input", "-", "--input-format", "s16le"}, "--input-format: expected FORMAT:RATE:CHANNELS"},
             {{"--input", "-", "--input-format", "s24le:44100:2"}, "unknown sample format 's24le'"},
             {{"--input", "-", "--input-format", "s16le:fast:2"}, "the rate must be"},
             {{"--input", "-", "--input-format", "u8:8000:0"}, "the channels must be 1 to 8"},
             {{"--input-format", "u8:8000:1"}, "--input-format describes --input; there is none"}}) {
        std::vector<std::string> command = {"render", "-o", "out.mkv"};
        command.insert(command.end(), args.begin(), args.end());
        const auto run = runLumhost(scratch, command);
        EXPECT_NE(run.status, 0) << cause;
        EXPECT_EQ(run.errLines().size(), 1u) << run.err;
        EXPECT_NE(run.err.find(cause), std::string::npos) << run.err;
    }
    EXPECT_EQ(scratch.files(), (std::vector<std::string>{"folder"}));
}

}  // namespace
}  // namespace hosttest
