#include "loading/bridge/bridge_client.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <thread>

#include "loading/bridge/private_display.h"
#include "loading/bridge/program_path.h"
#include "loading/bridge/wine_setup.h"
#include "loading/bridge/word_size.h"
#include "loading/load_error.h"

namespace lumhost {
namespace {

using Clock = std::chrono::steady_clock;
using lumbridge::AnswerHead;
using lumbridge::Op;
using lumbridge::RequestHead;

// Wine's start-up (and the module's DllMain) may take this long.
constexpr int startSeconds = 60;

enum class Io { done, timeout, closed, abandoned };

int millisecondsLeft(Clock::time_point deadline) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left > 0 ? static_cast<int>(left) : 0;
}

// Waits for `fd`, or for a word on `wake` (the bridge abandoned from another thread).
Io waitFor(int fd, short events, Clock::time_point deadline, int wake) {
    for (;;) {
        pollfd wait[2] = {{fd, events, 0}, {wake, POLLIN, 0}};
        const int ready = ::poll(wait, wake >= 0 ? 2 : 1, millisecondsLeft(deadline));
        if (ready < 0 && errno == EINTR) continue;  // Ctrl-C: the call still ends in time, then lumhost stops
        if (ready < 0) return Io::closed;
        if (ready == 0) return Io::timeout;
        if (wake >= 0 && wait[1].revents != 0) return Io::abandoned;
        return Io::done;
    }
}

Io writeAll(int fd, const void* data, std::size_t size, Clock::time_point deadline, int wake = -1) {
    const auto* at = static_cast<const char*>(data);
    while (size > 0) {
        const auto put = ::write(fd, at, size);
        if (put > 0) {
            at += put;
            size -= static_cast<std::size_t>(put);
            continue;
        }
        if (put < 0 && errno == EINTR) continue;
        if (put < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            const auto waited = waitFor(fd, POLLOUT, deadline, wake);
            if (waited != Io::done) return waited;
            continue;
        }
        return Io::closed;
    }
    return Io::done;
}

Io readAll(int fd, void* data, std::size_t size, Clock::time_point deadline, int wake = -1) {
    auto* at = static_cast<char*>(data);
    while (size > 0) {
        const auto waited = waitFor(fd, POLLIN, deadline, wake);
        if (waited != Io::done) return waited;
        const auto got = ::read(fd, at, size);
        if (got < 0 && (errno == EINTR || errno == EAGAIN)) continue;
        if (got <= 0) return Io::closed;
        at += got;
        size -= static_cast<std::size_t>(got);
    }
    return Io::done;
}

std::string hex(uint64_t value) {
    char text[24];
    std::snprintf(text, sizeof text, "0x%08llX", static_cast<unsigned long long>(value));
    return text;
}

// A file that both sides map: /dev/shm where there is one. It is unlinked
// once the bridge has it open, so nothing remains however lumhost ends.
int makeCanvasFile(std::string& name) {
    std::string folder = "/dev/shm";
    if (::access(folder.c_str(), W_OK) != 0) {
        const char* tmp = std::getenv("TMPDIR");
        folder = tmp != nullptr && tmp[0] == '/' ? tmp : "/tmp";
    }
    name = folder + "/lumhost-canvas-XXXXXX";
    const int fd = ::mkstemp(name.data());
    if (fd < 0) throw lumload::LoadError("cannot make the shared canvas in " + folder + ": " + std::strerror(errno));
    ::fcntl(fd, F_SETFD, FD_CLOEXEC);
    return fd;
}

}  // namespace

BridgeClient::BridgeClient(const std::string& modulePath, bool sixtyFourBit) : module_(modulePath) {
    // Before any prefix, display or process: nothing of Wine's can help here.
    if (!sixtyFourBit)
        if (const auto why = whyNoThirtyTwoBitPrograms())
            throw lumload::LoadError("cannot load plug-in " + modulePath + ": it is a 32-bit Windows module, and " + *why);
    const auto wine = findWine(sixtyFourBit);
    // A write to a bridge that has gone must fail, not end lumhost.
    struct sigaction current {};
    if (::sigaction(SIGPIPE, nullptr, &current) == 0 && current.sa_handler == SIG_DFL) ::signal(SIGPIPE, SIG_IGN);
    if (::pipe2(wake_, O_CLOEXEC | O_NONBLOCK) != 0) throw lumload::LoadError(std::string("cannot start the bridge: ") + std::strerror(errno));
    display_ = std::make_unique<PrivateDisplay>(lumbridge::maxWidth, lumbridge::maxHeight);
    preparePrefix(wine, display_->name());
    std::string canvasName;
    canvasFile_ = makeCanvasFile(canvasName);
    server_ = wine.server;
    environment_ = wineEnvironment(wine, display_->name());
    std::error_code error;
    const auto absolute = std::filesystem::absolute(modulePath, error).lexically_normal().string();
    try {
        startBridge({wine.loader, wine.bridge, windowsPath(absolute), windowsPath(canvasName)}, environment_);
    } catch (...) {
        ::unlink(canvasName.c_str());
        waitForWine();
        throw;
    }
    ::unlink(canvasName.c_str());
}

BridgeClient::~BridgeClient() {
    stopBridge();
    waitForWine();
    if (canvas_ != nullptr) ::munmap(canvas_, canvasBytes_);
    if (canvasFile_ >= 0) ::close(canvasFile_);
    for (const int fd : wake_)
        if (fd >= 0) ::close(fd);
}

void BridgeClient::startBridge(std::vector<std::string> args, std::vector<std::string> environment) {
    int requests[2], answers[2];
    if (::pipe2(requests, O_CLOEXEC) != 0) throw lumload::LoadError(std::string("cannot start the bridge: ") + std::strerror(errno));
    if (::pipe2(answers, O_CLOEXEC) != 0) {
        ::close(requests[0]);
        ::close(requests[1]);
        throw lumload::LoadError(std::string("cannot start the bridge: ") + std::strerror(errno));
    }
    auto argv = pointers(args);
    auto envp = pointers(environment);
    const pid_t child = ::fork();
    if (child == 0) {
        // A group of its own: Ctrl-C reaches lumhost, which then ends the bridge in order.
        ::setpgid(0, 0);
        ::dup2(requests[0], STDIN_FILENO);
        ::dup2(answers[1], STDOUT_FILENO);
        ::execve(argv[0], argv.data(), envp.data());
        ::_exit(127);
    }
    {
        std::lock_guard guard(processLock_);
        pid_ = child;
    }
    ::close(requests[0]);
    ::close(answers[1]);
    toBridge_ = requests[1];
    fromBridge_ = answers[0];
    if (child < 0) {
        dead_ = true;
        throw lumload::LoadError(std::string("cannot start the bridge: ") + std::strerror(errno));
    }
    ::fcntl(toBridge_, F_SETFL, ::fcntl(toBridge_, F_GETFL) | O_NONBLOCK);

    // The first answer says whether the module loaded and has its entry points.
    const auto deadline = Clock::now() + std::chrono::seconds(startSeconds);
    AnswerHead hello{};
    const auto got = readAll(fromBridge_, &hello, sizeof hello, deadline, wake_[0]);
    std::string reason;
    if (got == Io::done && hello.payload > 0 && hello.payload <= lumbridge::maxRecord) {
        reason.resize(hello.payload);
        if (readAll(fromBridge_, reason.data(), reason.size(), deadline, wake_[0]) != Io::done) reason = "its bridge ended while loading it";
    }
    if (got == Io::done && hello.result == 1 && hello.payload == 0) return;
    if (got == Io::done && hello.result == lumbridge::faultResult) reason = "it crashed while loading (exception " + hex(hello.bitmap) + ")";
    if (got == Io::timeout) reason = "Wine did not start the bridge within " + std::to_string(startSeconds) + " s";
    if (got == Io::abandoned) reason = "it was abandoned while loading";
    stopBridge();
    if (reason.empty()) reason = "its bridge " + args[1] + " did not start under " + args[0];
    throw lumload::LoadError("cannot load plug-in " + module_ + ": " + reason);
}

// Wine's own helpers (its desktop process) hold the private display until
// the Wine server ends, which it does once the bridge is gone; a server that
// other Wine programs keep busy is waited for only briefly.
void BridgeClient::waitForWine() {
    if (server_.empty()) return;
    std::vector<std::string> args = {server_, "-w"};
    auto argv = pointers(args);
    auto envp = pointers(environment_);
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::setpgid(0, 0);
        ::execve(argv[0], argv.data(), envp.data());
        ::_exit(127);
    }
    if (pid < 0) return;
    int status = 0;
    const auto deadline = Clock::now() + std::chrono::seconds(5);
    while (::waitpid(pid, &status, WNOHANG) == 0) {
        if (Clock::now() >= deadline) {
            ::kill(pid, SIGKILL);
            while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
            }
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

void BridgeClient::stopBridge() {
    if (toBridge_ >= 0) {
        if (!dead_) {
            const RequestHead quit{static_cast<uint32_t>(Op::quit), 0, 0, 0, 0, 0};
            writeAll(toBridge_, &quit, sizeof quit, Clock::now() + std::chrono::milliseconds(500));
        }
        ::close(toBridge_);
        toBridge_ = -1;
    }
    // A bridge told to quit has a moment to unload the module; then it is stopped.
    endBridge(dead_ || abandoned_ ? std::chrono::milliseconds(0) : std::chrono::milliseconds(3000));
    if (fromBridge_ >= 0) {
        ::close(fromBridge_);
        fromBridge_ = -1;
    }
    dead_ = true;
}

std::optional<int> BridgeClient::endBridge(std::chrono::milliseconds grace) {
    const pid_t pid = pid_;
    if (pid <= 0) return std::nullopt;
    const auto deadline = Clock::now() + grace;
    bool killed = false;
    for (;;) {
        {
            // Reaped under the lock abandon() kills under: the id is never reused before it lets go.
            std::lock_guard guard(processLock_);
            int status = 0;
            const pid_t done = ::waitpid(pid, &status, WNOHANG);
            if (done == pid || (done < 0 && errno != EINTR)) {
                pid_ = -1;
                if (done == pid && !killed) return status;
                return std::nullopt;
            }
            if (!killed && Clock::now() >= deadline) {
                ::kill(pid, SIGKILL);
                killed = true;
            }
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

void BridgeClient::abandon() {
    abandoned_ = true;
    {
        std::lock_guard guard(processLock_);
        if (const pid_t pid = pid_; pid > 0) ::kill(pid, SIGKILL);
    }
    // Wakes a call waiting on the bridge's pipes (Wine's server may hold them open a moment longer).
    const char word = 1;
    if (wake_[1] >= 0 && ::write(wake_[1], &word, 1) < 0) {
        // The pipe is full: a wake is already waiting.
    }
}

std::string BridgeClient::where(const char* entry) const {
    if (std::strcmp(entry, "lumDisplaySoundData") == 0) return std::string(entry) + " at frame " + std::to_string(frames_);
    if (frames_ == 0) return std::string(entry) + ", before the first frame";
    return std::string(entry) + ", after frame " + std::to_string(frames_);
}

void BridgeClient::fail(const char* entry, const std::string& what) {
    stopBridge();
    throw lumload::LoadError("plug-in " + module_ + " " + what + " in " + where(entry));
}

BridgeClient::Answer BridgeClient::call(Op op, const char* entry, RequestHead head, const void* payload, void* back) {
    if (dead_ || abandoned_) return {};
    head.op = static_cast<uint32_t>(op);
    const auto deadline = Clock::now() + std::chrono::seconds(answerSeconds);
    auto io = writeAll(toBridge_, &head, sizeof head, deadline, wake_[0]);
    if (io == Io::done && head.payload > 0) io = writeAll(toBridge_, payload, head.payload, deadline, wake_[0]);
    AnswerHead answer{};
    if (io == Io::done) io = readAll(fromBridge_, &answer, sizeof answer, deadline, wake_[0]);
    if (io == Io::done && answer.result == lumbridge::faultResult)
        fail(entry, "crashed (exception " + hex(answer.bitmap) + ")");
    const bool echoes = back != nullptr;
    if (io == Io::done && answer.payload != (echoes ? head.payload : 0u)) fail(entry, "broke the bridge's answers");
    if (io == Io::done && answer.payload > 0) io = readAll(fromBridge_, back, answer.payload, deadline, wake_[0]);
    if (io == Io::abandoned || (io != Io::done && abandoned_)) {
        dead_ = true;
        fail(entry, "was abandoned by the host (its bridge was stopped)");
    }
    if (io == Io::timeout) {
        dead_ = true;
        fail(entry, "did not return within " + std::to_string(answerSeconds) + " s (its bridge was stopped)");
    }
    if (io == Io::closed) {
        // The bridge went: the module ended the process, or Wine did. One
        // that closed its answers but lingers is given a moment, then killed.
        dead_ = true;
        const auto status = endBridge(exitGrace);
        std::string how = "ended its bridge";
        if (status && WIFEXITED(*status)) how += " (exit status " + std::to_string(WEXITSTATUS(*status)) + ")";
        if (status && WIFSIGNALED(*status)) how += std::string(" (") + ::strsignal(WTERMSIG(*status)) + ")";
        fail(entry, how);
    }
    return {answer.result, answer.bitmap};
}

int32_t BridgeClient::init(void* info, std::size_t size) {
    const uint32_t bytes = info != nullptr ? static_cast<uint32_t>(size) : 0;
    const RequestHead head{0, 0, 0, 0, info == nullptr ? uint32_t{lumbridge::nullPointer} : 0u, bytes};
    return call(Op::init, "lumInit", head, info, info).result;
}

int32_t BridgeClient::start() { return call(Op::start, "lumStart", {}, nullptr, nullptr).result; }

int32_t BridgeClient::end() { return call(Op::end, "lumEnd", {}, nullptr, nullptr).result; }

uint64_t BridgeClient::getBitmap() { return call(Op::getBitmap, "lumGetBitmap", {}, nullptr, nullptr).bitmap; }

int32_t BridgeClient::getParamInfo(uint32_t id, void* record, std::size_t size) {
    const uint32_t bytes = record != nullptr ? static_cast<uint32_t>(size) : 0;
    const RequestHead head{0, id, 0, 0, record == nullptr ? uint32_t{lumbridge::nullPointer} : 0u, bytes};
    return call(Op::getParamInfo, "lumGetParamInfo", head, record, record).result;
}

int32_t BridgeClient::setParamInfo(uint32_t id, void* record, std::size_t size) {
    const uint32_t bytes = record != nullptr ? static_cast<uint32_t>(size) : 0;
    const RequestHead head{0, id, 0, 0, record == nullptr ? uint32_t{lumbridge::nullPointer} : 0u, bytes};
    return call(Op::setParamInfo, "lumSetParamInfo", head, record, record).result;
}

uint32_t* BridgeClient::sharedPixels(std::size_t bytes) {
    if (bytes <= canvasBytes_) return canvas_;
    if (::ftruncate(canvasFile_, static_cast<off_t>(bytes)) != 0)
        throw lumload::LoadError(std::string("cannot grow the shared canvas: ") + std::strerror(errno));
    if (canvas_ != nullptr) ::munmap(canvas_, canvasBytes_);
    canvas_ = nullptr;
    canvasBytes_ = 0;
    void* map = ::mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_SHARED, canvasFile_, 0);
    if (map == MAP_FAILED) throw lumload::LoadError(std::string("cannot map the shared canvas: ") + std::strerror(errno));
    canvas_ = static_cast<uint32_t*>(map);
    canvasBytes_ = bytes;
    return canvas_;
}

int32_t BridgeClient::displaySoundData(LumCanvas* canvas, const void* data, uint32_t length) {
    if (dead_) return 0;
    if (canvas == nullptr || canvas->pixels == nullptr || canvas->width <= 0 || canvas->height <= 0) return 0;
    if (canvas->width > lumbridge::maxWidth || canvas->height > lumbridge::maxHeight)
        throw lumload::LoadError("a Windows module's canvas is at most " + std::to_string(lumbridge::maxWidth) + "x" +
                        std::to_string(lumbridge::maxHeight) + ", not " + std::to_string(canvas->width) + "x" +
                        std::to_string(canvas->height));
    if (data != nullptr && length > lumbridge::maxBlock)
        throw lumload::LoadError("a sound block of " + std::to_string(length) + " bytes is more than a Windows module's bridge takes");
    const auto width = static_cast<std::size_t>(canvas->width);
    const auto height = static_cast<std::size_t>(canvas->height);
    const std::size_t row = width * 4;
    uint32_t* shared = sharedPixels(row * height);
    // The window gets the host's picture only when the host changed it (a
    // new size, a cleared canvas); otherwise it still shows the last frame.
    uint32_t flags = 0;
    for (std::size_t y = 0; y < height; ++y) {
        const auto* from = reinterpret_cast<const unsigned char*>(canvas->pixels) + y * static_cast<std::size_t>(canvas->stride);
        auto* to = shared + y * width;
        if (std::memcmp(to, from, row) != 0) {
            std::memcpy(to, from, row);
            flags = lumbridge::canvasChanged;
        }
    }
    if (data == nullptr) flags |= lumbridge::nullPointer;
    ++frames_;
    const RequestHead head{0, length, canvas->width, canvas->height, flags, data != nullptr ? length : 0u};
    const auto answer = call(Op::display, "lumDisplaySoundData", head, data, nullptr);
    for (std::size_t y = 0; y < height; ++y)
        std::memcpy(reinterpret_cast<unsigned char*>(canvas->pixels) + y * static_cast<std::size_t>(canvas->stride), shared + y * width,
                    row);
    return answer.result;
}

}  // namespace lumhost
