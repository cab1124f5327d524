// What opening the picture and sound encoders shares: finding an encoder by
// name, opening it with options it must all take, and frames to fill.
#pragma once

#include <string>

extern "C" {
#include <libavcodec/avcodec.h>
}

#include "lumhost/media/media_handles.h"

namespace lumhost {

// An empty frame; throws HostError when there is no memory for one.
FramePtr newFrame();

// Throws HostError naming the encoder libavcodec lacks.
const AVCodec* findEncoder(const char* name);

void setOption(AVDictionary** options, const char* key, const std::string& value);

// Opens the encoder with its options (freed here); any it refuses or does
// not know is a HostError naming `what` encoder.
void openEncoder(AVCodecContext* context, const AVCodec* codec, AVDictionary* options, const char* what);

}  // namespace lumhost
