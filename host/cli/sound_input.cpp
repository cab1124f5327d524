#include "host/cli/sound_input.h"

#include <cmath>
#include <cstdio>

#include "host/base/host_error.h"
#include "host/sound/demo_signal.h"

namespace lumhost {

std::unique_ptr<AudioSource> openSound(const FrameOptions& options) {
    std::unique_ptr<AudioSource> source;
    int64_t skip = 0;
    if (options.audio) {
        source = openMediaFile(*options.audio, MediaRequest{options.audioStream, options.start});
    } else {
        source = makeDemoSignal();
        skip = std::llround(options.start * source->sampleRate());
        if (skip >= source->frames()) throw HostError("--start: the demo lasts only " + std::to_string(demoSeconds) + " seconds");
    }
    std::optional<int64_t> keep;
    if (options.duration) keep = std::llround(*options.duration * source->sampleRate());
    if (skip == 0 && !keep) return source;
    return cutSound(std::move(source), skip, keep);
}

void reportSoundWarnings(const AudioSource& source) {
    for (const auto& line : source.warnings()) std::fprintf(stderr, "lumhost: warning: %s: %s\n", source.name().c_str(), line.c_str());
}

}  // namespace lumhost
