// Raw PCM from a FIFO, a pipe or standard input, as MPD's fifo output,
// `parec --raw` and `pw-record --raw` write it: no header, interleaved
// samples of one FORMAT at RATE with CHANNELS.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "host/sound/audio_source.h"

namespace lumhost {

enum class SampleFormat { s16le, s8, u8, s32le, f32le };

struct RawInputFormat {
    SampleFormat format = SampleFormat::s16le;
    int rate = 44100;
    int channels = 2;
};

// FORMAT:RATE:CHANNELS, e.g. "s16le:44100:2"; throws HostError naming what is wrong.
RawInputFormat parseRawInputFormat(std::string_view text);

// Bytes of one sample.
int sampleBytes(SampleFormat format);

// Opens `path` ("-" for standard input; a FIFO waits for its writer) and
// reads it in the background until it ends.
std::unique_ptr<AudioSource> openRawInput(const std::string& path, const RawInputFormat& format);

// Converts whole sample frames of raw bytes to interleaved floats in -1..1,
// keeping the channels as they are.
void rawToFloat(const unsigned char* bytes, std::size_t samples, SampleFormat format, float* out);

}  // namespace lumhost
