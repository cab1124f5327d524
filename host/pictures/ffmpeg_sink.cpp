// Video through an ffmpeg process: raw bgr0 frames on a pipe (its descriptor
// 3), the sound from a file, the result written beside the target.
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <vector>

#include "host/pictures/frame_sink.h"
#include "host/base/host_error.h"
#include "host/base/interrupt.h"
#include "host/pictures/output_file.h"
#include "host/base/temporary_folder.h"

extern char** environ;

namespace lumhost {
namespace {

std::vector<std::string> ffmpegArguments(const SinkRequest& request, const std::string& extension,
                                         const std::string& outputPath) {
    std::vector<std::string> args = {"ffmpeg", "-nostdin", "-hide_banner", "-loglevel", "error", "-y",
                                     "-f", "rawvideo", "-pix_fmt", "bgr0",
                                     "-s", std::to_string(request.width) + "x" + std::to_string(request.height),
                                     "-framerate", std::to_string(request.fps), "-i", "pipe:3"};
    const bool withAudio = false;  // stand-in until the sound is encoded in-process
    // "file:" keeps a name with a colon from being read as a protocol.
    if (extension == ".mp4") {
        args.insert(args.end(), {"-c:v", "libx264", "-preset", "veryfast", "-crf", "20", "-pix_fmt", "yuv420p"});
        if (withAudio) args.insert(args.end(), {"-c:a", "aac", "-b:a", "192k"});
        args.insert(args.end(), {"-movflags", "+faststart", "-f", "mp4"});
    } else if (extension == ".webm") {
        args.insert(args.end(), {"-c:v", "libvpx-vp9", "-deadline", "realtime", "-cpu-used", "8", "-row-mt", "1",
                                 "-b:v", "4M", "-pix_fmt", "yuv420p"});
        if (withAudio) args.insert(args.end(), {"-c:a", "libopus", "-b:a", "160k"});
        args.insert(args.end(), {"-f", "webm"});
    } else {
        args.insert(args.end(), {"-pix_fmt", "rgb8", "-f", "gif"});
    }
    args.push_back("file:" + outputPath);
    return args;
}

class FfmpegSink final : public FrameSink {
public:
    FfmpegSink(const SinkRequest& request, const std::string& extension) : file_(request.output) {
        ::close(file_.releaseDescriptor());  // ffmpeg writes the temporary file by name
        try {
            spawn(request, extension);
        } catch (...) {
            closeDescriptors();
            throw;
        }
    }

    ~FfmpegSink() override {
        if (pipe_ >= 0) ::close(pipe_);
        pipe_ = -1;
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            while (::waitpid(pid_, nullptr, 0) < 0 && errno == EINTR) {
            }
        }
        closeDescriptors();
    }

    void writeFrame(const LumCanvas& canvas) override {
        try {
            writeCanvas(pipe_, canvas, "to ffmpeg");
        } catch (const Interrupted&) {
            throw;
        } catch (const HostError&) {
            // The pipe broke: ffmpeg has stopped; its own words say why.
            waitForExit();
            throw HostError("ffmpeg failed: " + lastLogLine());
        }
    }

    void finish() override {
        ::close(pipe_);
        pipe_ = -1;
        const int status = waitForExit();
        if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
            const std::string how = WIFEXITED(status) ? "exit status " + std::to_string(WEXITSTATUS(status))
                                                      : "signal " + std::to_string(WTERMSIG(status));
            throw HostError("ffmpeg failed (" + how + "): " + lastLogLine());
        }
        file_.commit();
    }

private:
    void spawn(const SinkRequest& request, const std::string& extension) {
        openLog();
        int pipeEnds[2];
        if (::pipe2(pipeEnds, O_CLOEXEC) != 0) throw HostError(std::string("cannot start ffmpeg: ") + std::strerror(errno));
        pipe_ = pipeEnds[1];
        // Keep the read end clear of the descriptors the child's own are made from.
        const int readEnd = ::fcntl(pipeEnds[0], F_DUPFD_CLOEXEC, 10);
        ::close(pipeEnds[0]);
        if (readEnd < 0) throw HostError(std::string("cannot start ffmpeg: ") + std::strerror(errno));

        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, logFd_, 1);
        posix_spawn_file_actions_adddup2(&actions, logFd_, 2);
        posix_spawn_file_actions_adddup2(&actions, readEnd, 3);
        posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
        posix_spawnattr_t attributes;
        posix_spawnattr_init(&attributes);
        // Its own process group: Ctrl-C reaches lumhost, which stops ffmpeg itself.
        posix_spawnattr_setpgroup(&attributes, 0);
        sigset_t defaults;
        sigemptyset(&defaults);
        sigaddset(&defaults, SIGPIPE);
        posix_spawnattr_setsigdefault(&attributes, &defaults);
        posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGDEF);

        const auto args = ffmpegArguments(request, extension, file_.temporaryPath().string());
        std::vector<char*> argv;
        for (const auto& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
        argv.push_back(nullptr);
        const int result = posix_spawnp(&pid_, "ffmpeg", &actions, &attributes, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        posix_spawnattr_destroy(&attributes);
        ::close(readEnd);
        if (result != 0) {
            pid_ = -1;
            throw HostError(std::string("cannot start ffmpeg: ") + std::strerror(result));
        }
    }

    void closeDescriptors() {
        if (pipe_ >= 0) ::close(pipe_);
        if (logFd_ >= 0) ::close(logFd_);
        pipe_ = logFd_ = -1;
    }

    // ffmpeg's messages go to a file, read back only when it fails.
    void openLog() {
        logPath_ = (logFolder_.path() / "ffmpeg.log").string();
        const int fd = ::open(logPath_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
        if (fd < 0) throw HostError(std::string("cannot make a log file for ffmpeg: ") + std::strerror(errno));
        logFd_ = ::fcntl(fd, F_DUPFD_CLOEXEC, 10);
        ::close(fd);
        if (logFd_ < 0) throw HostError(std::string("cannot make a log file for ffmpeg: ") + std::strerror(errno));
    }

    int waitForExit() {
        int status = 0;
        while (::waitpid(pid_, &status, 0) < 0) {
            if (errno != EINTR) throw HostError(std::string("lost the ffmpeg process: ") + std::strerror(errno));
            throwIfInterrupted();
        }
        pid_ = -1;
        return status;
    }

    std::string lastLogLine() const {
        std::ifstream log(logPath_);
        std::string line, last;
        while (std::getline(log, line))
            if (line.find_first_not_of(" \t\r") != std::string::npos) last = line;
        return last.empty() ? "it gave no reason" : last;
    }

    OutputFile file_;
    TemporaryFolder logFolder_;
    pid_t pid_ = -1;
    int pipe_ = -1;
    int logFd_ = -1;
    std::string logPath_;
};

}  // namespace

std::unique_ptr<FrameSink> makeVideoSink(const SinkRequest& request, const std::string& extension) {
    return std::make_unique<FfmpegSink>(request, extension);
}

}  // namespace lumhost
