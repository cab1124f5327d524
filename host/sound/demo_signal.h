// The built-in demo: about 20 seconds of synthesised stereo sound whose
// per-frame sums move the figure: it grows, swings from side to side, jumps
// on each beat and fades away, under a chord you can hear.
#pragma once

#include <memory>

#include "host/sound/audio_source.h"

namespace lumhost {

constexpr int demoSampleRate = 48000;
constexpr int demoSeconds = 20;

std::unique_ptr<AudioSource> makeDemoSignal();

}  // namespace lumhost
