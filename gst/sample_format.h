// Sound as GStreamer hands it to the element, turned into the interleaved
// floats in -1..1 that lumhost's sound room works on, converted exactly as
// lumhost's decoding path (libswresample) converts each sample format, so a
// file gives the element the blocks it gives lumhost.
#pragma once

#include <gst/audio/audio.h>

#include <cstddef>
#include <vector>

namespace lumgst {

// The formats the element takes: what parsers and decoders deliver for
// ordinary files, little-endian, interleaved.
#define LUMGST_AUDIO_FORMATS "{ U8, S16LE, S24LE, S32LE, F32LE, F64LE }"

bool sampleFormatSupported(GstAudioFormat format);

// Appends `frames` sample frames of `channels` channels in `format` to `out`.
void appendAsFloat(GstAudioFormat format, const guint8* data, std::size_t frames, int channels, std::vector<float>& out);

}  // namespace lumgst
