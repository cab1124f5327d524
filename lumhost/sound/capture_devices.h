// The sound devices SDL sees (through PulseAudio or PipeWire's PulseAudio
// service, or ALSA where no sound server runs), and the capture device a
// command line names.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace lumhost {

struct SoundDevice {
    int index = 0;         // SDL's index, as `lumhost devices` lists it
    std::string name;
    bool isDefault = false;
    bool isMonitor = false;  // a sound server's monitor: what an output is playing
};

struct SoundDevices {
    std::vector<SoundDevice> capture;
    std::vector<SoundDevice> playback;
};

// SDL's audio, started and stopped (SDL counts them, so these nest).
struct SdlAudio {
    SdlAudio();
    ~SdlAudio();
    SdlAudio(const SdlAudio&) = delete;
    SdlAudio& operator=(const SdlAudio&) = delete;
};

SoundDevices listSoundDevices();

// The capture device for --capture [DEVICE]: an index, a full name, or a
// part of one name that matches no other; without DEVICE the monitor of
// the default output where there is one, else the default input. Throws
// HostError listing the candidates when DEVICE is unknown or ambiguous, or
// when there is no capture device at all.
SoundDevice chooseCaptureDevice(const SoundDevices& devices, const std::optional<std::string>& wanted);

}  // namespace lumhost
