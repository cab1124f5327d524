#include "loading/bridge/private_display.h"

#include <fcntl.h>
#include <sys/prctl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>

#include "loading/bridge/program_path.h"
#include "loading/load_error.h"

namespace lumhost {
namespace {

void stopProcess(pid_t pid) {
    ::kill(pid, SIGTERM);
    int status = 0;
    for (int waited = 0; waited < 200; ++waited) {
        const pid_t done = ::waitpid(pid, &status, WNOHANG);
        if (done == pid || (done < 0 && errno != EINTR)) return;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ::kill(pid, SIGKILL);
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
}

}  // namespace

PrivateDisplay::PrivateDisplay(int width, int height) {
    const auto xvfb = findProgram("Xvfb");
    if (xvfb.empty()) throw lumload::LoadError("Xvfb is missing, and the Windows module's window needs it: apt-get install xvfb");
    int numberPipe[2];
    if (::pipe2(numberPipe, O_CLOEXEC) != 0) throw lumload::LoadError(std::string("cannot start Xvfb: ") + std::strerror(errno));
    const std::string screen = std::to_string(width) + "x" + std::to_string(height) + "x24";
    const std::string fd = std::to_string(numberPipe[1]);
    const pid_t host = ::getpid();
    pid_ = ::fork();
    if (pid_ < 0) {
        ::close(numberPipe[0]);
        ::close(numberPipe[1]);
        throw lumload::LoadError(std::string("cannot start Xvfb: ") + std::strerror(errno));
    }
    if (pid_ == 0) {
        ::setpgid(0, 0);
        // The display goes with the thread that made it, whatever ends it: a
        // host that exits while a thread it left to a hung plug-in still holds
        // the bridge leaves no Xvfb behind.
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (::getppid() != host) ::_exit(0);
        ::fcntl(numberPipe[1], F_SETFD, 0);
        const int quiet = ::open("/dev/null", O_RDWR);
        if (quiet >= 0) {
            ::dup2(quiet, STDIN_FILENO);
            ::dup2(quiet, STDOUT_FILENO);
            ::dup2(quiet, STDERR_FILENO);
        }
        // -displayfd picks a free display number and writes it when ready.
        ::execl(xvfb.c_str(), "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", screen.c_str(), "-nolisten", "tcp", "-noreset",
                static_cast<char*>(nullptr));
        ::_exit(127);
    }
    ::close(numberPipe[1]);
    std::string number;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (number.find('\n') == std::string::npos) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()).count();
        pollfd wait{numberPipe[0], POLLIN, 0};
        const int ready = left > 0 ? ::poll(&wait, 1, static_cast<int>(left)) : 0;
        if (ready < 0 && errno == EINTR) continue;
        if (ready <= 0) break;
        char buffer[16];
        const auto got = ::read(numberPipe[0], buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) break;
        number.append(buffer, static_cast<std::size_t>(got));
    }
    ::close(numberPipe[0]);
    if (number.find('\n') == std::string::npos) {
        stopProcess(pid_);
        throw lumload::LoadError("Xvfb did not start (the private display for the Windows module's window)");
    }
    number.resize(number.find('\n'));
    name_ = ":" + number;
}

PrivateDisplay::~PrivateDisplay() {
    if (pid_ > 0) stopProcess(pid_);
}

}  // namespace lumhost
