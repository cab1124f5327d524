// Saving a source's sound as a 32-bit float WAV file, so that ffmpeg can mux
// sound that exists only in memory (the demo).
#pragma once

#include <string>

#include "host/sound/audio_source.h"

namespace lumhost {

void saveAsWav(AudioSource& source, const std::string& path);

}  // namespace lumhost
