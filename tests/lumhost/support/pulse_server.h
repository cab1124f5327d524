// A real PulseAudio server of the tests' own, on a private socket, with null
// sinks whose monitors carry what is played into them. Started by the test
// and stopped after it; lumhost and paplay reach it through `environment()`.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace hosttest {

class PulseServer {
public:
    // Starts the server with one null sink per name; `ok()` says whether it came up.
    explicit PulseServer(const std::vector<std::string>& sinks = {"lumtest"});
    ~PulseServer();
    PulseServer(const PulseServer&) = delete;
    PulseServer& operator=(const PulseServer&) = delete;

    bool ok() const { return pid_ > 0; }
    // "PULSE_SERVER=unix:..." for commands run against it.
    std::string environment() const;
    // Kills the server at once, as a crash would.
    void kill();
    // Plays a sound file into a sink in the background (paplay); false if it cannot start.
    bool play(const std::string& file, const std::string& sink) const;

private:
    std::string folder_;
    pid_t pid_ = -1;
};

}  // namespace hosttest
