// lumhost devices: what --capture can listen to, and where sound plays.
#include <cstdio>

#include "lumhost/cli/commands.h"
#include "lumhost/sound/capture_devices.h"

namespace lumhost {
namespace {

void printDevices(const char* heading, const std::vector<SoundDevice>& devices) {
    std::printf("%s:\n", heading);
    if (devices.empty()) std::printf("  (none)\n");
    for (const auto& device : devices)
        std::printf("  %3d  %s%s%s\n", device.index, device.name.c_str(), device.isMonitor ? "  [monitor]" : "",
                    device.isDefault ? "  [default]" : "");
}

}  // namespace

int runDevices() {
    const auto devices = listSoundDevices();
    printDevices("capture (--capture INDEX or NAME; a monitor carries what an output plays)", devices.capture);
    printDevices("playback", devices.playback);
    return 0;
}

}  // namespace lumhost
