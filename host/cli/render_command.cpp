// lumhost render: one block per video frame through the plug-in onto an
// off-screen canvas, each frame handed to the chosen sink.
#include <vector>

#include "host/cli/commands.h"
#include "host/sound/demo_signal.h"
#include "host/pictures/frame_sink.h"
#include "host/base/interrupt.h"
#include "host/plugins/plugin_run.h"
#include "host/cli/progress.h"

namespace lumhost {

int runRender(const RenderOptions& options) {
    const auto& frames = options.frames;
    PluginModule plugin(frames.plugin.plugin);
    auto source = frames.audio ? openAudioFile(*frames.audio) : makeDemoSignal();
    initWithSettings(plugin, frames.plugin);

    SinkRequest request;
    request.output = options.output;
    request.discard = options.discard;
    request.width = frames.width;
    request.height = frames.height;
    request.fps = frames.fps;
    request.sound = SoundFormat{source->sampleRate(), source->channels()};
    request.encoder = options.encoder;
    auto sink = makeFrameSink(request);

    std::vector<uint32_t> pixels(static_cast<std::size_t>(frames.width) * static_cast<std::size_t>(frames.height), 0);
    LumCanvas canvas{frames.width, frames.height, frames.width * 4, pixels.data()};
    const int rate = source->sampleRate();
    const int channels = source->channels();
    Progress progress(framesFor(source->frames(), rate, frames.fps), options.quiet);
    std::vector<float> samples;
    std::vector<int8_t> block;
    {
        PluginRun run(plugin);
        for (int64_t frame = 0;; ++frame) {
            throwIfInterrupted();
            const auto wanted = static_cast<std::size_t>(frameStart(frame + 1, rate, frames.fps) - frameStart(frame, rate, frames.fps));
            samples.resize(wanted * static_cast<std::size_t>(channels));
            std::size_t got = 0;
            while (got < wanted) {
                const std::size_t more = source->read(samples.data() + got * static_cast<std::size_t>(channels), wanted - got);
                if (more == 0) break;
                got += more;
            }
            if (got == 0 && wanted > 0) break;
            makeSoundBlock(samples.data(), got, channels, frames.layout, block);
            sink->writeSound(samples.data(), got);
            plugin.displaySoundData(&canvas, block.data(), static_cast<uint32_t>(block.size()));
            sink->writeFrame(canvas);
            progress.frameDone();
            if (got < wanted) break;
        }
    }
    sink->finish();
    progress.finish();
    return 0;
}

}  // namespace lumhost
