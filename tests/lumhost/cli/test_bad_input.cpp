// Every bad input fails with one line on stderr naming the cause, a non-zero
// exit and no output file; Ctrl-C during a render leaves nothing behind.
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <thread>

#include "host_runner.h"
#include "sound_files.h"

extern char** environ;

namespace hosttest {
namespace {

class BadInput : public ::testing::Test {
protected:
    void SetUp() override {
        writeTone(scratch.path("good.wav"), 8000, 2, 0.5);
        std::filesystem::create_directory(scratch.path("tmp"));
    }

    // Runs lumhost and checks the failure: one line naming `cause`, no new files.
    void expectFailure(std::vector<std::string> args, const std::string& cause, std::vector<std::string> environment = {}) {
        const auto before = scratch.files();
        environment.push_back("TMPDIR=" + scratch.path("tmp"));
        const auto run = runLumhost(scratch, args, environment);
        std::string command;
        for (const auto& arg : args) command += " " + arg;
        EXPECT_NE(run.status, 0) << command;
        const auto lines = run.errLines();
        ASSERT_EQ(lines.size(), 1u) << command << "\n" << run.err;
        EXPECT_EQ(lines[0].rfind("lumhost: ", 0), 0u) << lines[0];
        EXPECT_NE(lines[0].find(cause), std::string::npos) << command << "\n" << lines[0];
        EXPECT_EQ(scratch.files(), before) << command;
        EXPECT_TRUE(std::filesystem::is_empty(scratch.path("tmp"))) << command;
    }

    void writeText(const std::string& name, const std::string& text) { std::ofstream(scratch.path(name)) << text; }

    Scratch scratch;
};

TEST_F(BadInput, AudioFiles) {
    expectFailure({"render", "missing.wav", "-o", "out.png"}, "missing.wav: No such file or directory");
    std::filesystem::create_directory(scratch.path("folder.wav"));
    expectFailure({"render", "folder.wav", "-o", "out.png"}, "folder.wav: is a folder");
    writeText("notes.wav", "these are not sounds\n");
    expectFailure({"render", "notes.wav", "-o", "out.png"}, "cannot open audio notes.wav");
    // A WAV header whose format chunk is cut short.
    const auto good = readFile(scratch.path("good.wav"));
    writeText("cut.wav", good.substr(0, 30));
    expectFailure({"render", "cut.wav", "-o", "out.mp4"}, "cannot open audio cut.wav");
    writeSound(scratch.path("empty.wav"), 8000, 1, 0, [](long, int) { return 0.0f; });
    expectFailure({"render", "empty.wav", "-o", "out.y4m"}, "holds no sound");
    // A window that shows nothing, named, so that the file's failure is the one seen wherever the tests run.
    expectFailure({"play", "missing.wav"}, "missing.wav: No such file or directory",
                  {"SDL_VIDEODRIVER=offscreen", "ASAN_OPTIONS=detect_leaks=0"});
}

// Sound slower than the frame rate would give frames without a sample: the
// rate is refused in one line naming both; at the sample rate itself every
// frame has one.
TEST_F(BadInput, AFrameRateAboveTheSampleRate) {
    writeSound(scratch.path("slow.wav"), 100, 1, 200, [](long i, int) { return static_cast<float>(i % 7) / 8; });
    expectFailure({"render", "slow.wav", "--fps", "1000", "-o", "out.mp4"},
                  "slow.wav: --fps: a frame rate of 1000 per second is above the sound's 100 samples per second");
    expectFailure({"render", "slow.wav", "--fps", "101", "--null"}, "at most 100");
    const auto run = runLumhost(scratch, {"render", "slow.wav", "--fps", "100", "--null"});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.err.find("rendered 200 frames"), std::string::npos) << run.err;
}

TEST_F(BadInput, PluginFiles) {
    expectFailure({"info", "./nothing.lum"}, "cannot load plug-in ./nothing.lum: No such file or directory");
    expectFailure({"info", "nothing.lum"}, "no plug-in named nothing.lum in ");
    writeText("text.lum", "not a library");
    expectFailure({"info", "./text.lum"}, "cannot load plug-in ./text.lum");
    expectFailure({"render", "--plugin", scratch.path("text.lum"), "good.wav", "-o", "out.png"}, "cannot load plug-in /");
    // A bare name never loads a file from the current folder, but the message points to it.
    expectFailure({"render", "--plugin", "text.lum", "good.wav", "-o", "out.png"}, "for the file in this folder give ./text.lum");
    expectFailure({"info", LACKS_ENTRY_PATH}, "lacks the entry point lumEnd");
}

TEST_F(BadInput, SizesRatesAndLayouts) {
    for (const char* size : {"0x10", "10x0", "abc", "20000x10", "64x", "-4x4", "1e3x9"})
        expectFailure({"render", "good.wav", "-o", "out.png", "--size", size}, std::string("--size"));
    expectFailure({"render", "good.wav", "-o", "out.mp4", "--size", "65x48"}, "even width and height");
    for (const char* fps : {"0", "-1", "1001", "sixty", "2.5"})
        expectFailure({"render", "good.wav", "-o", "out.png", "--fps", fps}, "--fps");
    expectFailure({"render", "good.wav", "-o", "out.png", "--layout", "diagonal"}, "--layout");
}

TEST_F(BadInput, Parameters) {
    expectFailure({"render", "good.wav", "-o", "out.png", "--set", "glow=3"}, "no parameter named 'glow'");
    expectFailure({"render", "good.wav", "-o", "out.png", "--param", "42=3"}, "no parameter with id 42");
    expectFailure({"render", "good.wav", "-o", "out.png", "--param", "x=3"}, "bad parameter id 'x'");
    expectFailure({"render", "good.wav", "-o", "out.png", "--param", "99999999999=3"}, "bad parameter id");
    expectFailure({"render", "good.wav", "-o", "out.png", "--set", "line width=wide"}, "Line width: bad parameter value 'wide'");
    expectFailure({"render", "good.wav", "-o", "out.png", "--set", "color=#12345"}, "Color: bad parameter value");
    expectFailure({"render", "good.wav", "-o", "out.png", "--param", "11=3000000000"}, "bad parameter value");
    expectFailure({"info", "--set", "color"}, "expected KEY=VALUE");
    expectFailure({"play", "--param", "=4"}, "expected KEY=VALUE");
}

TEST_F(BadInput, Outputs) {
    expectFailure({"render", "good.wav", "-o", "out.avi"}, "unknown output type '.avi'");
    expectFailure({"render", "good.wav", "-o", "out"}, "unknown output type 'out'");
    expectFailure({"render", "good.wav"}, "exactly one of -o OUT and --null");
    expectFailure({"render", "good.wav", "-o", "out.png", "--null"}, "exactly one of -o OUT and --null");
    expectFailure({"render", "good.wav", "-o", "no/such/folder/out.png"}, "cannot write no/such/folder/out.png");
    // No encoder program: the video is encoded in-process, so a missing PATH changes nothing,
    // and an output the system refuses midway fails as cleanly as a bad argument.
    expectFailure({"render", "good.wav", "-o", "out.mkv", "--size", "64x47"}, "even width and height");
    expectFailure({"render", "good.wav", "-o", "out.webm", "--size", "63x48"}, "even width and height");
    expectFailure({"frobnicate"}, "frobnicate");
}

// lumhost under a file size limit of `kilobytes` (SIGXFSZ ignored, so writes
// past it fail with EFBIG, as they would on a full disk).
RunResult runLimited(const Scratch& scratch, int kilobytes, const std::vector<std::string>& args) {
    const auto capture = std::filesystem::temp_directory_path() / ("lumhost-limited-" + scratch.dir().filename().string());
    std::string command = "ulimit -f " + std::to_string(kilobytes * 2) + " 2>/dev/null || ulimit -f " + std::to_string(kilobytes) +
                          "; trap '' XFSZ; TMPDIR=" + hosttest::quoted(scratch.path("tmp")) + " exec " + hosttest::quoted(LUMHOST_PATH);
    for (const auto& arg : args) command += " " + hosttest::quoted(arg);
    command += " 2>" + hosttest::quoted(capture.string() + ".err") + " </dev/null";
    RunResult result;
    result.status = runShell(scratch, "sh -c " + hosttest::quoted(command));
    result.err = readFile(capture.string() + ".err");
    std::filesystem::remove(capture.string() + ".err");
    return result;
}

// A full disk, as the size limit makes one, halfway through each kind of video.
TEST_F(BadInput, AWriteFailingMidwayLeavesNoFile) {
    for (const char* output : {"out.mp4", "out.mkv", "out.webm", "out.gif"}) {
        const auto run = runLimited(scratch, 48, {"render", "-o", output, "--size", "320x240", "-q"});
        EXPECT_NE(run.status, 0) << output;
        ASSERT_EQ(run.errLines().size(), 1u) << output << "\n" << run.err;
        EXPECT_EQ(run.errLines()[0], std::string("lumhost: cannot write ") + output + ": File too large") << output;
        EXPECT_EQ(scratch.files(), (std::vector<std::string>{"good.wav", "tmp"})) << output;
    }
}

// A real full file system, where one can be mounted (root, a small tmpfs).
TEST_F(BadInput, AFullDiskLeavesNoFile) {
    const auto full = scratch.path("full");
    std::filesystem::create_directory(full);
    if (runShell(scratch, "mount -t tmpfs -o size=64k tmpfs full 2>/dev/null") != 0) GTEST_SKIP() << "cannot mount a tmpfs here";
    for (const char* output : {"full/out.mp4", "full/out.webm"}) {
        const auto run = runLumhost(scratch, {"render", "-o", output, "--size", "320x240", "-q"});
        EXPECT_NE(run.status, 0) << output;
        ASSERT_EQ(run.errLines().size(), 1u) << output << "\n" << run.err;
        EXPECT_EQ(run.errLines()[0], std::string("lumhost: cannot write ") + output + ": No space left on device") << output;
        EXPECT_TRUE(std::filesystem::is_empty(full)) << output;
    }
    runShell(scratch, "umount full");
}

// Starts lumhost without waiting; its process id.
pid_t startLumhost(const Scratch& scratch, const std::vector<std::string>& args) {
    std::vector<std::string> all = {LUMHOST_PATH};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& arg : all) argv.push_back(arg.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    const std::string tmp = "TMPDIR=" + scratch.path("tmp");
    std::vector<char*> env = {const_cast<char*>(tmp.c_str())};
    for (char** e = environ; *e != nullptr; ++e) env.push_back(*e);
    env.push_back(nullptr);
    pid_t pid = -1;
    const auto cwd = std::filesystem::current_path();
    std::filesystem::current_path(scratch.dir());
    posix_spawn(&pid, LUMHOST_PATH, &actions, nullptr, argv.data(), env.data());
    std::filesystem::current_path(cwd);
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

bool partialFileAppears(const Scratch& scratch) {
    for (int i = 0; i < 200; ++i) {
        for (const auto& name : scratch.files())
            if (name.find(".partial-") != std::string::npos) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(25));
    }
    return false;
}

TEST_F(BadInput, CtrlCDuringARenderLeavesNoFile) {
    // Ten minutes of sound at 1000 frames per second keep the y4m writer busy.
    writeSound(scratch.path("long.wav"), 8000, 1, 600 * 8000, [](long, int) { return 0.1f; });
    const std::vector<std::vector<std::string>> renders = {
        {"-o", "demo.mp4"}, {"-o", "long.y4m", "long.wav", "--fps", "1000", "--size", "16x16"}};
    for (const auto& render : renders) {
        const auto& output = render[1];
        std::vector<std::string> args = {"render", "-q"};
        args.insert(args.end(), render.begin(), render.end());
        const pid_t pid = startLumhost(scratch, args);
        ASSERT_GT(pid, 0);
        EXPECT_TRUE(partialFileAppears(scratch)) << output;
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        ::kill(pid, SIGINT);
        int status = 0;
        ASSERT_EQ(::waitpid(pid, &status, 0), pid);
        ASSERT_TRUE(WIFEXITED(status)) << output;
        EXPECT_EQ(WEXITSTATUS(status), 128 + SIGINT) << output;
        EXPECT_EQ(scratch.files(), (std::vector<std::string>{"good.wav", "long.wav", "tmp"})) << output;
        EXPECT_TRUE(std::filesystem::is_empty(scratch.path("tmp"))) << output;
    }
}

}  // namespace
}  // namespace hosttest
