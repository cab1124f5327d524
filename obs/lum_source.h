// One .lum plug-in as an OBS video source that draws the sound of another
// source of the scene: its properties, the capture of that sound, and the
// frames of a live run (live/live_run.h) handed to OBS.
#pragma once

#include <obs-module.h>

#include "obs/source_catalogue.h"

namespace lumobs {

// The source type of a plug-in; `description` outlives the type.
obs_source_info sourceInfo(const SourceDescription& description);

// The signal every source gives for each frame it hands to OBS, on the
// thread that draws: "frame" is the obs_source_frame, "run" counts the runs
// of the plug-in (lumStart to lumEnd; a new audio source starts one) and
// "index" is the frame's number in its run (-1 for the black frame of a
// plug-in that failed). OBS's output is what the tests judge by; this tells
// them which frame of which run they see.
inline constexpr const char* frameSignal = "void frame_drawn(ptr source, ptr frame, int run, int index)";

}  // namespace lumobs
