// render -o URL: a live stream to a server, here listeners on 127.0.0.1
// that the tests start themselves with the ffmpeg program.
#include <gtest/gtest.h>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>

#include "host_runner.h"
#include "sound_files.h"

namespace hosttest {
namespace {

// A port nothing listens on now, of the given socket type.
int freePort(int type) {
    const int fd = ::socket(AF_INET, type, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&address), size) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size) != 0)
        return 0;
    ::close(fd);
    return ntohs(address.sin_port);
}

struct Listener {
    const char* name;
    int socketType;
    std::string listen;  // the ffmpeg input that listens, with PORT for the port
    std::string url;     // what lumhost sends to
};

class Stream : public ::testing::TestWithParam<Listener> {};

TEST_P(Stream, ReachesALocalListenerWithVideoAndSoundOfTheRightLength) {
    const auto& listener = GetParam();
    Scratch scratch;
    writeTone(scratch.path("in.wav"), 48000, 2, 5);
    const std::string port = std::to_string(freePort(listener.socketType));
    auto replace = [&](std::string text) { return text.replace(text.find("PORT"), 4, port); };
    const auto started = std::chrono::steady_clock::now();
    // The listener copies what it receives into a file; lumhost sends 2.5 s of the tone.
    const int status = runShell(scratch, "(timeout 30 ffmpeg -nostdin -loglevel error -y " + replace(listener.listen) +
                                             " -c copy got.ts 2>listener.err & sleep 1; " + quoted(LUMHOST_PATH) +
                                             " render in.wav --duration 2.5 --size 160x120 --fps 30 -q -o " +
                                             quoted(replace(listener.url)) + " 2>render.err; status=$?; wait; exit $status)");
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    ASSERT_EQ(status, 0) << readFile(scratch.path("render.err")) << readFile(scratch.path("listener.err"));
    EXPECT_EQ(readFile(scratch.path("render.err")), "");
    EXPECT_GE(seconds, 1 + 2.4) << "a file goes out at the pace it plays";
    // MPEG-TS lists its streams twice, once within its program: the first line is the stream.
    const auto first = [&](const std::string& select, const std::string& entry) {
        const auto text = probe(scratch.path("got.ts"), select, entry);
        return text.substr(0, text.find('\n'));
    };
    EXPECT_EQ(first("v:0", "stream=codec_name"), "h264");
    EXPECT_EQ(first("a:0", "stream=codec_name"), "aac");
    const auto duration = first("v:0", "format=duration");
    ASSERT_FALSE(duration.empty()) << readFile(scratch.path("listener.err"));
    EXPECT_NEAR(std::stod(duration), 2.5, 0.15);
    // Every frame arrived.
    EXPECT_EQ(runShell(scratch, "test \"$(ffprobe -v error -count_frames -select_streams v:0 -show_entries stream=nb_read_frames "
                                "-of csv=p=0 got.ts | head -n 1)\" = 75"),
              0);
}

INSTANTIATE_TEST_SUITE_P(
    Protocols, Stream,
    ::testing::Values(Listener{"rtmp", SOCK_STREAM, "-f flv -listen 1 -i rtmp://127.0.0.1:PORT/live/test -f flv", "rtmp://127.0.0.1:PORT/live/test"},
                      Listener{"srt", SOCK_DGRAM, "-i 'srt://127.0.0.1:PORT?mode=listener' -f mpegts", "srt://127.0.0.1:PORT"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(StreamFailure, AnUnreachableServerIsOneLineBeforeAnySound) {
    Scratch scratch;
    writeTone(scratch.path("in.wav"), 48000, 2, 5);
    const std::string url = "rtmp://127.0.0.1:" + std::to_string(freePort(SOCK_STREAM)) + "/live/test";
    const auto started = std::chrono::steady_clock::now();
    const auto run = runLumhost(scratch, {"render", "in.wav", "--size", "160x120", "-o", url});
    EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count(), 3.0);
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.errLines(), std::vector<std::string>{"lumhost: cannot reach " + url + ": Connection refused"});
    EXPECT_EQ(scratch.files(), std::vector<std::string>{"in.wav"}) << "nothing left behind";

    const auto other = runLumhost(scratch, {"render", "in.wav", "-o", "http://127.0.0.1:1/x"});
    EXPECT_EQ(other.status, 1);
    EXPECT_EQ(other.errLines(), std::vector<std::string>{"lumhost: cannot stream to http://127.0.0.1:1/x (use rtmp://, rtmps://, srt:// or udp://)"});
}

TEST(StreamFailure, AServerThatGoesAwayEndsTheRunInOneLine) {
    Scratch scratch;
    writeTone(scratch.path("in.wav"), 48000, 2, 20);
    const std::string url = "rtmp://127.0.0.1:" + std::to_string(freePort(SOCK_STREAM)) + "/live/test";
    // The listener stops two seconds after it started, in the middle of the 20-second tone.
    const auto started = std::chrono::steady_clock::now();
    const int status = runShell(scratch, "(timeout -s KILL 2 ffmpeg -nostdin -loglevel quiet -y -f flv -listen 1 -i " + url +
                                             " -c copy -f flv got.flv & sleep 0.7; " + quoted(LUMHOST_PATH) +
                                             " render in.wav --size 160x120 -q -o " + url + " 2>render.err; status=$?; wait; exit $status)");
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    EXPECT_EQ(status, 1);
    EXPECT_LT(seconds, 8.0) << "noticed soon, not at the end of the sound";
    const auto err = readFile(scratch.path("render.err"));
    EXPECT_EQ(err.rfind("lumhost: cannot write " + url + ": ", 0), 0u) << err;
    EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
}

}  // namespace
}  // namespace hosttest
