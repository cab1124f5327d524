// The sound a command works on: a file's audio or the built-in demo, cut to
// --start and --duration.
#pragma once

#include <memory>

#include "host/cli/commands.h"
#include "host/sound/audio_source.h"

namespace lumhost {

std::unique_ptr<AudioSource> openSound(const FrameOptions& options);

// Prints what the source noticed on the way (damaged packets, an early end).
void reportSoundWarnings(const AudioSource& source);

}  // namespace lumhost
