#include "lumhost/cli/version_text.h"

#include <SDL.h>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/avutil.h>
#include <libswresample/swresample.h>
}

namespace lumhost {
namespace {

std::string libraryLine(const char* name, const std::string& running, const std::string& built) {
    std::string line = std::string(name) + " " + running;
    if (running != built) line += " (built with " + built + ")";
    return line + "\n";
}

std::string sdlVersion(const SDL_version& version) {
    return std::to_string(version.major) + "." + std::to_string(version.minor) + "." + std::to_string(version.patch);
}

}  // namespace

std::string dottedVersion(unsigned packed) {
    return std::to_string(packed >> 16) + "." + std::to_string((packed >> 8) & 0xff) + "." + std::to_string(packed & 0xff);
}

std::string versionText() {
    SDL_version running;
    SDL_GetVersion(&running);
    SDL_version built;
    SDL_VERSION(&built);
    return std::string("lumhost ") + LUMHOST_VERSION + "\n" +
           libraryLine("libavformat", dottedVersion(avformat_version()), dottedVersion(LIBAVFORMAT_VERSION_INT)) +
           libraryLine("libavcodec", dottedVersion(avcodec_version()), dottedVersion(LIBAVCODEC_VERSION_INT)) +
           libraryLine("libswresample", dottedVersion(swresample_version()), dottedVersion(LIBSWRESAMPLE_VERSION_INT)) +
           libraryLine("libavutil", dottedVersion(avutil_version()), dottedVersion(LIBAVUTIL_VERSION_INT)) +
           libraryLine("SDL2", sdlVersion(running), sdlVersion(built));
}

}  // namespace lumhost
