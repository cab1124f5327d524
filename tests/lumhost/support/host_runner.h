// Running the built lumhost as a person would, in a scratch folder of its own.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace hosttest {

struct RunResult {
    int status = -1;     // exit status, or 128 + signal
    std::string out;     // standard output
    std::string err;     // standard error
    std::vector<std::string> errLines() const;
};

class Scratch {
public:
    Scratch();
    ~Scratch();
    const std::filesystem::path& dir() const { return dir_; }
    std::string path(const std::string& name) const { return (dir_ / name).string(); }
    // The names of every file in the folder, sorted.
    std::vector<std::string> files() const;

private:
    std::filesystem::path dir_;
};

// Runs lumhost with `args` in `scratch`'s folder, with `environment`
// assignments ("NAME=value") added.
RunResult runLumhost(const Scratch& scratch, const std::vector<std::string>& args,
                     const std::vector<std::string>& environment = {});

// Runs lumhost with `args` in `scratch`'s folder, output discarded, and
// returns its peak resident memory in kilobytes (-1 if it failed).
long peakMemoryOfLumhost(const Scratch& scratch, const std::vector<std::string>& args);

// `lumhost render SOUND -o - --quiet` at `width` x `height` and `fps` with
// `more` options: its raw frames one after another (the front ends' tests
// compare theirs with these).
std::string lumhostRawFrames(const Scratch& scratch, const std::string& sound, int width, int height, int fps,
                             const std::vector<std::string>& more = {}, const std::vector<std::string>& environment = {});

// The same with each of `sets` given as --set NAME=VALUE.
std::string lumhostFrames(const Scratch& scratch, const std::string& sound, int width, int height, int fps,
                          const std::vector<std::string>& sets);

// Whole frames of `width` x `height` in a run's raw bgr0 output.
long rawFrames(const RunResult& run, int width, int height);

// Runs a shell command line in the folder; its exit status.
int runShell(const Scratch& scratch, const std::string& command);

std::string quoted(const std::string& text);
std::string readFile(const std::string& path);

}  // namespace hosttest
