// What lumhost --version prints: its own version and those of the libraries
// it runs with, as the loaded libraries report them.
#pragma once

#include <string>

namespace lumhost {

// "lumhost 1.0.0.1" and one line per library: "libavformat 59.27.100", with
// "(built with ...)" where the running library differs from the headers.
std::string versionText();

// "MAJOR.MINOR.MICRO" of an FFmpeg-style version number.
std::string dottedVersion(unsigned packed);

}  // namespace lumhost
