// OBS's speaker layouts named channel by channel, so the shared downmix mixes
// OBS's sound by where each channel stands: OBS orders its channels its own
// way (2.1 is front left, front right, low frequencies; 4.1 puts the back
// centre after the low frequencies), not in the usual order of their count.
#pragma once

#include <media-io/audio-io.h>

#include <vector>

#include "rules/samples.h"

namespace lumobs {

// Where each channel of `speakers` stands, in the order OBS hands them to an
// audio capture callback (one plane each); an unknown layout is stereo, as
// OBS takes it.
std::vector<lumrules::ChannelPosition> speakerPositions(speaker_layout speakers);

}  // namespace lumobs
