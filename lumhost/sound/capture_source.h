// Sound from a capture device through SDL's audio capture: a microphone, a
// line input, or a sound server's monitor of what an output is playing.
#pragma once

#include <memory>

#include "lumhost/sound/audio_source.h"
#include "lumhost/sound/capture_devices.h"

namespace lumhost {

std::unique_ptr<AudioSource> openCapture(const SoundDevice& device);

}  // namespace lumhost
