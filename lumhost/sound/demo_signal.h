// The built-in demo (the core's demo signal) as a sound source of lumhost's.
#pragma once

#include <memory>

#include "lumhost/sound/audio_source.h"

namespace lumhost {

std::unique_ptr<AudioSource> makeDemoSignal();

}  // namespace lumhost
