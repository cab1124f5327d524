// Runs a trace script through the plug-in's entry points with the recording
// drawing backend and writes the drawing calls, one line each, or checks them
// against a recorded trace.
//
//   trace_record SCRIPT            the trace on standard output
//   trace_record SCRIPT EXPECTED   exit status 0 when the trace is EXPECTED
#include <cstdio>
#include <string>
#include <vector>

#include "plugin/lum_plugin.h"
#include "support/recording_frame.h"
#include "trace/trace_script.h"

namespace {

using namespace gyrotrail;
using namespace gyrotrail::testing;

class RecordingHost : public ScriptHost {
public:
    LumWindow window() override { return reinterpret_cast<LumWindow>(0x77); }
    void resizeWindow(int32_t width, int32_t height) override { recorder().client = ClientRect{0, 0, width, height}; }
    void beginCommand(const std::string& command) override {
        flush();
        trace += "# " + command + "\n";
    }
    void flush() {
        trace += recorder().trace();
        faults.insert(faults.end(), recorder().faults().begin(), recorder().faults().end());
        recorder().clear();
    }
    std::string trace;
    std::vector<std::string> faults;
};

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2 && argc != 3) {
        std::fprintf(stderr, "usage: %s SCRIPT [EXPECTED]\n", argv[0]);
        return 2;
    }
    bool ok = false;
    const std::string script = readFile(argv[1], ok);
    if (!ok) {
        std::fprintf(stderr, "cannot read %s\n", argv[1]);
        return 2;
    }
    RecordingHost host;
    const EntryPoints lum{lumInit, lumStart, lumEnd, lumSetParamInfo, lumDisplaySoundData};
    const std::string problem = runScript(script, lum, host);
    host.flush();
    if (!problem.empty()) {
        std::fprintf(stderr, "%s\n", problem.c_str());
        return 1;
    }
    if (!host.faults.empty()) {
        std::fprintf(stderr, "drawing fault: %s\n", host.faults.front().c_str());
        return 1;
    }
    if (argc == 2) {
        std::fwrite(host.trace.data(), 1, host.trace.size(), stdout);
        return 0;
    }
    const std::string expected = readFile(argv[2], ok);
    if (!ok) {
        std::fprintf(stderr, "cannot read %s\n", argv[2]);
        return 2;
    }
    const std::string difference = firstDifference(expected, host.trace);
    if (!difference.empty()) {
        std::fprintf(stderr, "the trace differs from %s at %s\n", argv[2], difference.c_str());
        return 1;
    }
    std::printf("trace matches %s\n", argv[2]);
    return 0;
}
