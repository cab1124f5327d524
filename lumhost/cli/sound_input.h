// The sound a command works on: a file's audio, the built-in demo, or live
// sound (a capture device with --capture, raw PCM from a FIFO, a pipe or
// standard input with --input), cut to --start and --duration (live sound:
// --duration only).
#pragma once

#include <memory>

#include "lumhost/cli/commands.h"
#include "lumhost/sound/audio_source.h"

namespace lumhost {

std::unique_ptr<AudioSource> openSound(const FrameOptions& options);

// The end of a live run: one line for blocks dropped while the host fell
// behind (`skipped` by the host, and what the source's ring dropped, in
// blocks of `blockFrames`), one for a lost device, naming what was kept.
// The exit status: 1 if the device was lost, else 0.
int reportLiveEnd(const AudioSource& source, int64_t skipped, int blockFrames, const std::string& kept);

}  // namespace lumhost
