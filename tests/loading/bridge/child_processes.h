// What lumhost leaves running when it ends: with the test process a child
// subreaper (PR_SET_CHILD_SUBREAPER), every process lumhost started and did
// not stop becomes a child of the test.
#pragma once

#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace hosttest {

// Processes whose parent is this test, with their names (those that have
// ended are reaped first).
inline std::vector<std::pair<pid_t, std::string>> orphans() {
    while (::waitpid(-1, nullptr, WNOHANG) > 0) {
    }
    std::vector<std::pair<pid_t, std::string>> found;
    for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
        const auto name = entry.path().filename().string();
        if (name.find_first_not_of("0123456789") != std::string::npos) continue;
        std::ifstream stat(entry.path() / "stat");
        std::string line;
        std::getline(stat, line);
        const auto close = line.rfind(')');
        if (close == std::string::npos) continue;
        std::istringstream rest(line.substr(close + 2));
        char state = 0;
        pid_t parent = 0;
        rest >> state >> parent;
        if (parent == ::getpid() && state != 'Z')
            found.emplace_back(std::stoi(name), line.substr(line.find('(') + 1, close - line.find('(') - 1));
    }
    return found;
}

}  // namespace hosttest
