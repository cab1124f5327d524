// lumhost render: one block per video frame through the plug-in onto an
// off-screen canvas, each frame and its sound handed to the chosen sink.
#include <cmath>
#include <vector>

#include "loading/plugins/plugin_run.h"
#include "lumhost/base/host_error.h"
#include "lumhost/base/interrupt.h"
#include "lumhost/base/time_text.h"
#include "lumhost/cli/commands.h"
#include "lumhost/cli/progress.h"
#include "lumhost/cli/sound_input.h"
#include "lumhost/pictures/frame_sink.h"

namespace lumhost {
namespace {

// The frame a still shows: the one whose sound contains the moment --at.
std::optional<int64_t> stillFrame(const RenderOptions& options) {
    if (!options.at) return std::nullopt;
    const auto& frames = options.frames;
    const double from = frames.start, at = *options.at;
    if (at < from) throw HostError("--at " + formatTime(at) + " comes before --start " + formatTime(from));
    if (frames.duration && at >= from + *frames.duration)
        throw HostError("--at " + formatTime(at) + " lies after the end of --duration (" + formatTime(from + *frames.duration) + ")");
    return static_cast<int64_t>(std::floor((at - from) * frames.fps));
}

}  // namespace

int runRender(const RenderOptions& options) {
    const auto& frames = options.frames;
    const auto still = stillFrame(options);
    PluginModule plugin(frames.plugin.plugin);
    auto source = openSound(frames);
    const int rate = source->sampleRate();
    const int channels = source->channels();
    if (still && lumrules::framesFor(source->frames(), rate, frames.fps) <= *still && source->frames() > 0)
        throw HostError("--at " + formatTime(*options.at) + ": the sound ends at " +
                        formatTime(frames.start + static_cast<double>(source->frames()) / rate));
    initWithSettings(plugin, frames.plugin);

    SinkRequest request;
    request.output = options.output;
    request.discard = options.discard;
    request.width = frames.width;
    request.height = frames.height;
    request.fps = frames.fps;
    request.sound = SoundFormat{rate, channels};
    request.encoder = options.encoder;
    // A server is sent a file at the pace it plays; live sound paces itself.
    request.paceRealTime = !source->live() && !streamScheme(options.output).empty();
    auto sink = makeFrameSink(request);

    std::vector<uint32_t> pixels(static_cast<std::size_t>(frames.width) * static_cast<std::size_t>(frames.height), 0);
    LumCanvas canvas{frames.width, frames.height, frames.width * 4, pixels.data()};
    int64_t total = lumrules::framesFor(source->frames(), rate, frames.fps);
    if (still) total = std::min(total, *still + 1);
    Progress progress(total, options.quiet);
    lumrules::BlockCutter cutter(rate, channels, frames.fps, 1, frames.layout);
    std::vector<float> chunk;
    std::vector<int8_t> block;
    int64_t frame = 0, behind = 0;
    const bool live = source->live();
    {
        PluginRun run(plugin);
        for (;; ++frame) {
            // A live recording ends on Ctrl-C and keeps what it has.
            if (live && interrupted()) break;
            throwIfInterrupted();
            if (still && frame > *still) break;
            // The next block's sound, read as the cutter asks for it.
            bool atEnd = false;
            while (cutter.available() < cutter.wanted()) {
                const std::size_t need = cutter.wanted() - cutter.available();
                chunk.resize(need * static_cast<std::size_t>(channels));
                const std::size_t more = source->read(chunk.data(), need);
                if (more == 0) {
                    atEnd = true;
                    break;
                }
                cutter.push(chunk.data(), more);
            }
            // More than a second behind live sound: this block is dropped, not waited for.
            if (source->paced() && !atEnd && source->available() > rate) {
                cutter.skip();
                ++behind;
                continue;
            }
            if (!cutter.cut(block, atEnd)) break;
            try {
                sink->writeSound(cutter.lastSamples(), cutter.lastCount());
                plugin.displaySoundData(&canvas, block.data(), static_cast<uint32_t>(block.size()));
                sink->writeFrame(canvas);
            } catch (const Interrupted&) {
                // A sink waiting for its encoder was interrupted; a live recording still ends whole.
                if (!live) throw;
                break;
            }
            progress.frameDone();
            // The short last block ends the sound.
            if (atEnd) {
                ++frame;
                break;
            }
        }
    }
    if (live) acceptInterrupt();
    if (still && frame <= *still)
        throw HostError("--at " + formatTime(*options.at) + ": the sound ends at " +
                        formatTime(frames.start + static_cast<double>(lumrules::frameStart(frame, rate, frames.fps)) / rate));
    sink->finish();
    progress.finish();
    reportSoundWarnings(*source);
    if (live) return reportLiveEnd(*source, behind, rate / frames.fps, options.discard ? "" : options.output);
    return 0;
}

}  // namespace lumhost
