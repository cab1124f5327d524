#include "lumhost/sound/capture_devices.h"

#include <SDL2/SDL.h>

#include <algorithm>
#include <cctype>

#include "lumhost/base/host_error.h"
#include "rules/number_text.h"

namespace lumhost {
namespace {

std::string lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

std::vector<SoundDevice> devicesOf(bool capture) {
    std::vector<SoundDevice> devices;
    char* defaultName = nullptr;
    SDL_AudioSpec format{};
    std::string byDefault;
    if (SDL_GetDefaultAudioInfo(&defaultName, &format, capture ? 1 : 0) == 0 && defaultName != nullptr) {
        byDefault = defaultName;
        SDL_free(defaultName);
    }
    const int count = SDL_GetNumAudioDevices(capture ? 1 : 0);
    for (int i = 0; i < count; ++i) {
        const char* name = SDL_GetAudioDeviceName(i, capture ? 1 : 0);
        if (name == nullptr) continue;
        SoundDevice device{i, name, name == byDefault, capture && lower(name).rfind("monitor of ", 0) == 0};
        devices.push_back(device);
    }
    return devices;
}

std::string candidates(const std::vector<SoundDevice>& devices) {
    std::string text;
    for (const auto& device : devices) text += (text.empty() ? "" : ", ") + std::to_string(device.index) + " '" + device.name + "'";
    return text;
}

}  // namespace

SdlAudio::SdlAudio() {
    // The monitors carry what the outputs play: the sound a visualiser is mostly for.
    SDL_SetHint(SDL_HINT_AUDIO_INCLUDE_MONITORS, "1");
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) throw HostError(std::string("no sound devices: ") + SDL_GetError());
}

SdlAudio::~SdlAudio() { SDL_QuitSubSystem(SDL_INIT_AUDIO); }

SoundDevices listSoundDevices() {
    SdlAudio audio;
    return SoundDevices{devicesOf(true), devicesOf(false)};
}

SoundDevice chooseCaptureDevice(const SoundDevices& devices, const std::optional<std::string>& wanted) {
    const auto& capture = devices.capture;
    if (capture.empty()) throw HostError("--capture: no capture device (is a sound server running? see lumhost devices)");
    if (!wanted) {
        // What the default output plays is what a visualiser is mostly for.
        for (const auto& output : devices.playback)
            if (output.isDefault)
                for (const auto& device : capture)
                    if (device.isMonitor && lower(device.name) == "monitor of " + lower(output.name)) return device;
        for (const auto& device : capture)
            if (device.isDefault) return device;
        return capture.front();
    }
    if (const auto index = lumrules::parseDigits(*wanted)) {
        for (const auto& device : capture)
            if (device.index == *index) return device;
        throw HostError("--capture " + *wanted + ": no capture device has that index; there are " + candidates(capture));
    }
    for (const auto& device : capture)
        if (device.name == *wanted) return device;
    std::vector<SoundDevice> matches;
    for (const auto& device : capture)
        if (lower(device.name).find(lower(*wanted)) != std::string::npos) matches.push_back(device);
    if (matches.size() == 1) return matches.front();
    if (matches.empty()) throw HostError("--capture '" + *wanted + "': no capture device matches; there are " + candidates(capture));
    throw HostError("--capture '" + *wanted + "' matches more than one device: " + candidates(matches));
}

}  // namespace lumhost
