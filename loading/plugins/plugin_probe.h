// Loading a plug-in file to read its information record without risking the
// caller: the load and lumInit happen in a child process, so a file that is
// not a library, lacks an entry point, crashes or hangs is only reported.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "loading/plugins/plugin_params.h"

namespace lumhost {

// A setting as lumInit leaves it, with the range the plug-in clamps it to.
struct ProbedParam {
    ParamDescription param;
    std::optional<ValueRange> range;
};

struct PluginProbe {
    bool loaded = false;
    std::string error;  // why not, when not loaded
    std::string displayName;
    std::string version;
    std::string vendor;
    bool windows = false;  // a Windows DLL, hosted through the bridge
    bool runsHere = true;  // false: a module this machine can never run (`error` says why); not loaded
    // The rest of the information record, and the settings.
    std::string longName;
    std::string copyright;
    std::string url;
    std::vector<ProbedParam> params;
};

// Loads `file`, calls lumInit and reads the record; gives up after `seconds`.
// A Windows DLL is probed through its bridge, which is a process of its own
// already and keeps its own time limits.
PluginProbe probePlugin(const std::string& file, unsigned seconds = 10);

}  // namespace lumhost
