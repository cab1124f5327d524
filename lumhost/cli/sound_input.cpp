#include "lumhost/cli/sound_input.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "lumhost/base/host_error.h"
#include "lumhost/sound/capture_source.h"
#include "lumhost/sound/demo_signal.h"
#include "lumhost/sound/raw_input.h"
#include "rules/block_cutter.h"
#include "rules/demo_signal.h"

namespace lumhost {

std::unique_ptr<AudioSource> openSound(const FrameOptions& options) {
    std::unique_ptr<AudioSource> source;
    int64_t skip = 0;
    if (options.capture || options.input) {
        const char* option = options.capture ? "--capture" : "--input";
        if (options.audio) throw HostError(std::string(option) + " takes its sound live; drop the audio file " + *options.audio);
        if (options.capture && options.input) throw HostError("--capture and --input: choose one source of sound");
        if (options.start > 0) throw HostError(std::string("--start: live sound has no beginning to skip (") + option + ")");
        if (options.audioStream) throw HostError(std::string("--audio-stream applies to files, not to ") + option);
        if (options.capture)
            source = openCapture(chooseCaptureDevice(listSoundDevices(), options.captureDevice));
        else
            source = openRawInput(*options.input, options.inputFormat);
    } else if (options.audio) {
        source = openMediaFile(*options.audio, MediaRequest{options.audioStream, options.start});
    } else {
        source = makeDemoSignal();
        skip = std::llround(options.start * source->sampleRate());
        if (skip >= source->frames()) throw HostError("--start: the demo lasts only " + std::to_string(lumrules::demoSeconds) + " seconds");
    }
    // Sound too slow for the frame rate would give blocks without a sample.
    if (!lumrules::frameRateFits(source->sampleRate(), options.fps))
        throw HostError((options.audio ? *options.audio + ": " : std::string()) + "--fps: " +
                        lumrules::frameRateTooHigh(source->sampleRate(), options.fps));
    std::optional<int64_t> keep;
    if (options.duration) keep = std::llround(*options.duration * source->sampleRate());
    if (skip == 0 && !keep) return source;
    return cutSound(std::move(source), skip, keep);
}

int reportLiveEnd(const AudioSource& source, int64_t skipped, int blockFrames, const std::string& kept) {
    const int64_t dropped = skipped + (source.dropped() + blockFrames - 1) / std::max(blockFrames, 1);
    if (dropped > 0)
        std::fprintf(stderr, "lumhost: fell behind the live sound: %lld block%s dropped\n", static_cast<long long>(dropped),
                     dropped == 1 ? "" : "s");
    const auto failure = source.failure();
    if (!failure) return 0;
    std::fprintf(stderr, "lumhost: %s%s\n", failure->c_str(), kept.empty() ? "" : ("; what was recorded is kept in " + kept).c_str());
    return 1;
}

}  // namespace lumhost
