// Raw PCM from a FIFO, a pipe or standard input, as MPD's fifo output,
// `parec --raw` and `pw-record --raw` write it: no header, interleaved
// samples of one FORMAT at RATE with CHANNELS.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "lumhost/sound/audio_source.h"
#include "rules/samples.h"

namespace lumhost {

struct RawInputFormat {
    lumrules::SampleFormat format = lumrules::SampleFormat::s16;
    int rate = 44100;
    int channels = 2;
};

// FORMAT:RATE:CHANNELS, e.g. "s16le:44100:2"; throws HostError naming what is wrong.
RawInputFormat parseRawInputFormat(std::string_view text);

// Opens `path` ("-" for standard input; a FIFO waits for its writer) and
// reads it in the background until it ends.
std::unique_ptr<AudioSource> openRawInput(const std::string& path, const RawInputFormat& format);

}  // namespace lumhost
