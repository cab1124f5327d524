#include "host_runner.h"

#include <sys/wait.h>

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

}  // namespace hosttest
