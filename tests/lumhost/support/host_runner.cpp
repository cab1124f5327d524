#include "host_runner.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace hosttest {

std::vector<std::string> RunResult::errLines() const {
    std::vector<std::string> lines;
    std::istringstream stream(err);
    for (std::string line; std::getline(stream, line);) lines.push_back(line);
    return lines;
}

Scratch::Scratch() {
    std::string pattern = (std::filesystem::temp_directory_path() / "lumhost-test-XXXXXX").string();
    dir_ = ::mkdtemp(pattern.data());
}

Scratch::~Scratch() {
    std::error_code ignored;
    std::filesystem::remove_all(dir_, ignored);
}

std::vector<std::string> Scratch::files() const {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir_)) names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

std::string quoted(const std::string& text) {
    std::string result = "'";
    for (char c : text) result += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return result + "'";
}

std::string readFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), {});
}

int runShell(const Scratch& scratch, const std::string& command) {
    const int status = std::system(("cd " + quoted(scratch.dir().string()) + " && " + command).c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

RunResult runLumhost(const Scratch& scratch, const std::vector<std::string>& args, const std::vector<std::string>& environment) {
    // Captured output lives outside the scratch folder, whose listing the tests check.
    const auto capture = std::filesystem::temp_directory_path() / ("lumhost-capture-" + scratch.dir().filename().string());
    std::string command = "env ";
    for (const auto& assignment : environment) command += quoted(assignment) + " ";
    command += quoted(LUMHOST_PATH);
    for (const auto& arg : args) command += " " + quoted(arg);
    command += " >" + quoted(capture.string() + ".out") + " 2>" + quoted(capture.string() + ".err") + " </dev/null";
    RunResult result;
    result.status = runShell(scratch, command);
    result.out = readFile(capture.string() + ".out");
    result.err = readFile(capture.string() + ".err");
    std::filesystem::remove(capture.string() + ".out");
    std::filesystem::remove(capture.string() + ".err");
    return result;
}

long peakMemoryOfLumhost(const Scratch& scratch, const std::vector<std::string>& args) {
    std::vector<std::string> words = {LUMHOST_PATH};
    words.insert(words.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& word : words) argv.push_back(word.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addchdir_np(&actions, scratch.dir().c_str());
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    pid_t pid = -1;
    const int spawned = posix_spawn(&pid, LUMHOST_PATH, &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) return -1;
    int status = 0;
    rusage usage{};
    if (::wait4(pid, &status, 0, &usage) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0) return -1;
    return usage.ru_maxrss;
}

long rawFrames(const RunResult& run, int width, int height) {
    const auto frameBytes = static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 4;
    if (run.out.size() % frameBytes != 0) return -1;
    return static_cast<long>(run.out.size() / frameBytes);
}

std::string lumhostRawFrames(const Scratch& scratch, const std::string& sound, int width, int height, int fps,
                             const std::vector<std::string>& more, const std::vector<std::string>& environment) {
    std::vector<std::string> args = {"render", sound, "-o", "-", "--quiet", "--size",
                                     std::to_string(width) + "x" + std::to_string(height), "--fps", std::to_string(fps)};
    args.insert(args.end(), more.begin(), more.end());
    const auto run = runLumhost(scratch, args, environment);
    EXPECT_EQ(run.status, 0) << run.err;
    return run.out;
}

std::string lumhostFrames(const Scratch& scratch, const std::string& sound, int width, int height, int fps,
                          const std::vector<std::string>& sets) {
    std::vector<std::string> more;
    for (const auto& set : sets) {
        more.push_back("--set");
        more.push_back(set);
    }
    return lumhostRawFrames(scratch, sound, width, height, fps, more);
}

}  // namespace hosttest
