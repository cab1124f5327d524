#include "lumhost/sound/playlist.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <filesystem>
#include <fstream>

#include "lumhost/base/host_error.h"

namespace lumhost {
namespace {

namespace fs = std::filesystem;

std::string lowerExtension(const std::string& name) {
    auto extension = fs::path(name).extension().string();
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return extension;
}

bool isPlaylistName(const std::string& name) {
    const auto extension = lowerExtension(name);
    return extension == ".m3u" || extension == ".m3u8";
}

void addPlaylist(const fs::path& list, std::vector<std::string>& files) {
    std::ifstream in(list);
    if (!in) throw HostError("cannot read the playlist " + list.string());
    std::string line;
    bool first = true;
    while (std::getline(in, line)) {
        // A UTF-8 byte order mark, Windows line ends and surrounding blanks are not part of a name.
        if (first && line.rfind("\xEF\xBB\xBF", 0) == 0) line.erase(0, 3);
        first = false;
        while (!line.empty() && (line.back() == '\r' || line.back() == ' ' || line.back() == '\t')) line.pop_back();
        const auto begin = line.find_first_not_of(" \t");
        if (begin == std::string::npos || line[begin] == '#') continue;
        const fs::path entry = line.substr(begin);
        files.push_back((entry.is_absolute() ? entry : list.parent_path() / entry).lexically_normal().string());
    }
}

}  // namespace

bool isSoundFileName(const std::string& name) {
    static constexpr std::array<const char*, 22> extensions{".wav", ".flac", ".ogg", ".oga", ".opus", ".mp3", ".m4a", ".aac",
                                                            ".alac", ".wma", ".aif", ".aiff", ".ape", ".wv", ".mka", ".mp4",
                                                            ".m4v", ".mkv", ".webm", ".mov", ".avi", ".mp2"};
    const auto extension = lowerExtension(name);
    return std::find(extensions.begin(), extensions.end(), extension) != extensions.end();
}

std::vector<std::string> expandPlaylist(const std::vector<std::string>& arguments) {
    std::vector<std::string> files;
    for (const auto& argument : arguments) {
        std::error_code error;
        if (fs::is_directory(argument, error)) {
            std::vector<std::string> found;
            for (fs::directory_iterator it(argument, error), end; !error && it != end; it.increment(error))
                if (isSoundFileName(it->path().filename().string()) && !fs::is_directory(it->path(), error))
                    found.push_back(it->path().string());
            std::sort(found.begin(), found.end());
            files.insert(files.end(), found.begin(), found.end());
        } else if (isPlaylistName(argument)) {
            addPlaylist(argument, files);
        } else {
            files.push_back(argument);
        }
    }
    return files;
}

}  // namespace lumhost
