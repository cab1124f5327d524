// Loading a plug-in file to read its information record without risking the
// caller: the load and lumInit happen in a child process, so a file that is
// not a library, lacks an entry point, crashes or hangs is only reported.
#pragma once

#include <string>

namespace lumhost {

struct PluginProbe {
    bool loaded = false;
    std::string error;  // why not, when not loaded
    std::string displayName;
    std::string version;
    std::string vendor;
};

// Loads `file`, calls lumInit and reads the record; gives up after `seconds`.
PluginProbe probePlugin(const std::string& file, unsigned seconds = 10);

}  // namespace lumhost
