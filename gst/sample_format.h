// Sound as GStreamer hands it to the element, named in the sample formats
// the shared block cutter converts (as lumhost's decoding path converts
// each), so a file gives the element the blocks it gives lumhost.
#pragma once

#include <gst/audio/audio.h>

#include <optional>

#include "rules/samples.h"

namespace lumgst {

// The formats the element takes: what parsers and decoders deliver for
// ordinary files, little-endian, interleaved.
#define LUMGST_AUDIO_FORMATS "{ U8, S8, S16LE, S24LE, S32LE, F32LE, F64LE }"

// The cutter's name for a GStreamer sample format; nothing for one the element does not take.
std::optional<lumrules::SampleFormat> sampleFormatOf(GstAudioFormat format);

}  // namespace lumgst
