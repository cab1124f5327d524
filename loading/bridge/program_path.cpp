#include "loading/bridge/program_path.h"

#include <unistd.h>

#include <cstdlib>
#include <sstream>

namespace lumhost {

std::string findProgram(const std::string& name) {
    const char* path = std::getenv("PATH");
    std::istringstream folders(path != nullptr ? path : "/usr/local/bin:/usr/bin:/bin");
    for (std::string folder; std::getline(folders, folder, ':');) {
        if (folder.empty()) continue;
        const auto file = folder + "/" + name;
        if (::access(file.c_str(), X_OK) == 0) return file;
    }
    return {};
}

std::string windowsPath(const std::string& absolutePath) {
    std::string path = "Z:" + absolutePath;
    for (char& c : path)
        if (c == '/') c = '\\';
    return path;
}

}  // namespace lumhost
