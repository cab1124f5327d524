#include "loading/plugins/plugin_probe.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>

#include "loading/bridge/word_size.h"
#include "loading/plugins/plugin_file.h"
#include "loading/plugins/plugin_module.h"

namespace lumhost {
namespace {

// The child's answer is one field a line: no text may break a line.
std::string oneLine(std::string text) {
    for (char& c : text)
        if (c == '\n' || c == '\r' || c == '\t') c = ' ';
    return text;
}

// The child's answer: "ok", three lines of the record (lumhost list's),
// three more, the number of settings and four lines for each; or "error" and
// the reason.
std::string describe(const std::string& file) {
    try {
        PluginModule plugin(file);
        const auto record = initPlugin(plugin);
        const auto& info = record.info;
        auto name = fieldText(info.shortName, sizeof info.shortName);
        if (name.empty()) name = fieldText(info.longName, sizeof info.longName);
        std::string answer = "ok\n" + oneLine(name) + "\n" + oneLine(fieldText(info.version, sizeof info.version)) + "\n" +
                             oneLine(fieldText(info.vendor, sizeof info.vendor)) + "\n" +
                             oneLine(fieldText(info.longName, sizeof info.longName)) + "\n" +
                             oneLine(fieldText(info.copyright, sizeof info.copyright)) + "\n" +
                             oneLine(fieldText(info.url, sizeof info.url)) + "\n";
        // Every setting as lumInit left it, before the ranges are asked for.
        const auto params = listParams(plugin);
        answer += std::to_string(params.size()) + "\n";
        for (const auto& param : params) {
            const auto range = clampRange(plugin, param.id);
            answer += std::to_string(param.id) + " " + std::to_string(param.type) + " " + std::to_string(param.value) +
                      (range ? " " + std::to_string(range->low) + " " + std::to_string(range->high) : std::string()) + "\n" +
                      oneLine(param.name) + "\n" + oneLine(param.description) + "\n";
        }
        return answer;
    } catch (const std::exception& error) {
        return "error\n" + oneLine(error.what()) + "\n";
    }
}

void writeAll(int fd, const std::string& text) {
    std::size_t done = 0;
    while (done < text.size()) {
        const auto written = ::write(fd, text.data() + done, text.size() - done);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) return;
        done += static_cast<std::size_t>(written);
    }
}

std::string readAll(int fd) {
    std::string text;
    char buffer[512];
    for (;;) {
        const auto got = ::read(fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) return text;
        text.append(buffer, static_cast<std::size_t>(got));
    }
}

std::string nextLine(const std::string& text, std::size_t& at) {
    const auto end = text.find('\n', at);
    if (end == std::string::npos) {
        at = text.size();
        return {};
    }
    auto line = text.substr(at, end - at);
    at = end + 1;
    return line;
}

// The record's lines after "ok"; false if the answer is cut short.
bool readRecord(const std::string& answer, std::size_t& at, PluginProbe& probe) {
    probe.displayName = nextLine(answer, at);
    probe.version = nextLine(answer, at);
    probe.vendor = nextLine(answer, at);
    probe.longName = nextLine(answer, at);
    probe.copyright = nextLine(answer, at);
    probe.url = nextLine(answer, at);
    const auto count = std::strtoul(nextLine(answer, at).c_str(), nullptr, 10);
    for (unsigned long i = 0; i < count && at < answer.size(); ++i) {
        ProbedParam probed;
        long long numbers[5] = {};
        const auto line = nextLine(answer, at);
        const int read = std::sscanf(line.c_str(), "%lld %lld %lld %lld %lld", &numbers[0], &numbers[1], &numbers[2],
                                     &numbers[3], &numbers[4]);
        if (read < 3) return false;
        probed.param.id = static_cast<uint32_t>(numbers[0]);
        probed.param.type = static_cast<int32_t>(numbers[1]);
        probed.param.value = static_cast<int32_t>(numbers[2]);
        if (read == 5) probed.range = ValueRange{static_cast<int32_t>(numbers[3]), static_cast<int32_t>(numbers[4])};
        probed.param.name = nextLine(answer, at);
        probed.param.description = nextLine(answer, at);
        probe.params.push_back(std::move(probed));
    }
    return at == answer.size();
}

}  // namespace

PluginProbe probePlugin(const std::string& file, unsigned seconds) {
    PluginProbe probe;
    try {
        const auto kind = identifyPluginFile(file).kind;
        probe.windows = kind == PluginFileKind::pe32 || kind == PluginFileKind::pe32plus;
        if (kind == PluginFileKind::pe32)
            if (const auto why = whyNoThirtyTwoBitPrograms()) {
                probe.runsHere = false;
                probe.error = "a 32-bit Windows module, and " + *why;
                return probe;
            }
    } catch (const std::exception&) {
    }
    if (probe.windows) {
        const auto answer = describe(file);
        std::size_t at = 0;
        probe.loaded = nextLine(answer, at) == "ok";
        if (probe.loaded) {
            readRecord(answer, at, probe);
        } else {
            probe.error = nextLine(answer, at);
        }
        return probe;
    }
    int pipeEnds[2];
    if (::pipe2(pipeEnds, O_CLOEXEC) != 0) {
        probe.error = std::string("cannot start a probe: ") + std::strerror(errno);
        return probe;
    }
    const pid_t child = ::fork();
    if (child < 0) {
        probe.error = std::string("cannot start a probe: ") + std::strerror(errno);
        ::close(pipeEnds[0]);
        ::close(pipeEnds[1]);
        return probe;
    }
    if (child == 0) {
        // Whatever the plug-in prints must not land in the listing.
        const int quiet = ::open("/dev/null", O_WRONLY);
        if (quiet >= 0) ::dup2(quiet, STDOUT_FILENO);
        ::close(pipeEnds[0]);
        // A fault kills the child outright, whatever handlers the host (or a
        // sanitizer) installed, so the parent sees the signal.
        for (const int fault : {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGALRM}) ::signal(fault, SIG_DFL);
        ::alarm(seconds);
        writeAll(pipeEnds[1], describe(file));
        ::_exit(0);
    }
    ::close(pipeEnds[1]);
    const auto answer = readAll(pipeEnds[0]);
    ::close(pipeEnds[0]);
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }

    std::size_t at = 0;
    const auto kind = nextLine(answer, at);
    if (kind == "ok") {
        const bool whole = readRecord(answer, at, probe);
        probe.loaded = WIFEXITED(status) && WEXITSTATUS(status) == 0 && whole;
        if (!probe.loaded) probe.error = "its probe ended abnormally";
    } else if (kind == "error") {
        probe.error = nextLine(answer, at);
    } else if (WIFSIGNALED(status) && WTERMSIG(status) == SIGALRM) {
        probe.error = "no answer within " + std::to_string(seconds) + " s";
    } else if (WIFSIGNALED(status)) {
        probe.error = std::string("crashed while loading (") + ::strsignal(WTERMSIG(status)) + ")";
    } else {
        probe.error = "exited while loading (status " + std::to_string(WEXITSTATUS(status)) + ")";
    }
    return probe;
}

}  // namespace lumhost
