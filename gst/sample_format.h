// Sound as GStreamer hands it to the element, named in the sample formats
// the shared block cutter converts (as lumhost's decoding path converts
// each), so a file gives the element the blocks it gives lumhost.
#pragma once

#include <gst/audio/audio.h>

#include <optional>
#include <vector>

#include "rules/samples.h"

namespace lumgst {

// The formats the element takes: what parsers and decoders deliver for
// ordinary files, little-endian, interleaved.
#define LUMGST_AUDIO_FORMATS "{ U8, S8, S16LE, S24LE, S32LE, F32LE, F64LE }"

// The cutter's name for a GStreamer sample format; nothing for one the element does not take.
std::optional<lumrules::SampleFormat> sampleFormatOf(GstAudioFormat format);

// Where each channel of `audio` stands, in the stream's order, from the
// positions its caps give (GStreamer's own order: its 4 channels are quad, its
// 3 are 2.1); channels the caps leave unpositioned take the usual order of
// their count. A side and a rear channel are both their side's surround;
// places the shared mix does not know (overhead, wide, left and right of
// centre) are left out.
std::vector<lumrules::ChannelPosition> channelPositionsOf(const GstAudioInfo& audio);

}  // namespace lumgst
