#include "pulse_server.h"

#include <signal.h>
#include <spawn.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>

#include "host_runner.h"

extern char** environ;

namespace hosttest {

PulseServer::PulseServer(const std::vector<std::string>& sinks) {
    // The server runs as the user pulse: its folder must be open to it.
    char pattern[] = "/tmp/lumhost-pulse-XXXXXX";
    if (::mkdtemp(pattern) == nullptr) return;
    folder_ = pattern;
    ::chmod(folder_.c_str(), 01777);
    {
        std::ofstream script(folder_ + "/server.pa");
        script << "load-module module-native-protocol-unix auth-anonymous=1 socket=" << folder_ << "/native\n";
        for (const auto& sink : sinks)
            script << "load-module module-null-sink sink_name=" << sink << " sink_properties=device.description=" << sink << "\n";
    }
    ::chmod((folder_ + "/server.pa").c_str(), 0644);
    const std::string script = folder_ + "/server.pa", log = folder_ + "/server.log";
    std::vector<std::string> words = {"pulseaudio", "--system", "--daemonize=no", "--disallow-exit", "--exit-idle-time=-1",
                                      "--use-pid-file=no", "-n", "-F", script};
    std::vector<char*> argv;
    for (auto& word : words) argv.push_back(word.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    // Its home is its own folder: the server drops to the user pulse, who
    // must be able to write its cookie there, and reads nobody's settings.
    std::vector<std::string> settings{"HOME=" + folder_, "XDG_CONFIG_HOME=" + folder_ + "/config"};
    for (char** entry = environ; *entry != nullptr; ++entry) {
        const std::string setting = *entry;
        if (setting.rfind("HOME=", 0) != 0 && setting.rfind("XDG_CONFIG_HOME=", 0) != 0) settings.push_back(setting);
    }
    std::vector<char*> serverEnvironment;
    for (auto& setting : settings) serverEnvironment.push_back(setting.data());
    serverEnvironment.push_back(nullptr);
    if (posix_spawnp(&pid_, "pulseaudio", &actions, nullptr, argv.data(), serverEnvironment.data()) != 0) pid_ = -1;
    posix_spawn_file_actions_destroy(&actions);
    // Ready once its socket answers.
    for (int i = 0; pid_ > 0 && i < 100; ++i) {
        if (std::system((environment() + " pactl info >/dev/null 2>&1").c_str()) == 0) return;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    kill();
}

PulseServer::~PulseServer() {
    kill();
    std::error_code ignored;
    if (!folder_.empty()) std::filesystem::remove_all(folder_, ignored);
}

std::string PulseServer::environment() const { return "PULSE_SERVER=unix:" + folder_ + "/native"; }

void PulseServer::kill() {
    if (pid_ <= 0) return;
    ::kill(pid_, SIGKILL);
    while (::waitpid(pid_, nullptr, 0) < 0 && errno == EINTR) {
    }
    pid_ = -1;
}

bool PulseServer::play(const std::string& file, const std::string& sink) const {
    return std::system((environment() + " paplay --device=" + sink + " " + quoted(file) + " >/dev/null 2>&1 &").c_str()) == 0;
}

}  // namespace hosttest
