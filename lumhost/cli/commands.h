// The commands of lumhost, each given its parsed options.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "loading/plugins/plugin_run.h"
#include "lumhost/pictures/frame_sink.h"
#include "lumhost/sound/raw_input.h"
#include "rules/block_cutter.h"
#include "rules/defaults.h"

namespace lumhost {

struct InfoOptions {
    PluginOptions plugin;
};

struct FrameOptions {
    PluginOptions plugin;
    std::optional<std::string> audio;  // nothing: the built-in demo
    int fps = lumrules::defaultFps;
    int width = lumrules::defaultWidth;
    int height = lumrules::defaultHeight;
    lumrules::BlockLayout layout = lumrules::BlockLayout::planar;
    std::optional<int> audioStream;     // among the file's audio streams; nothing: the best
    double start = 0;                   // seconds into the sound where the run begins
    std::optional<double> duration;     // seconds of sound to use; nothing: to the end
    bool capture = false;               // --capture: from a capture device
    std::optional<std::string> captureDevice;  // its index or name; nothing: the default monitor or input
    std::optional<std::string> input;   // --input: raw PCM from a FIFO, a pipe or "-"
    RawInputFormat inputFormat;
};

struct RenderOptions {
    FrameOptions frames;
    std::string output;  // a path or "-"
    bool discard = false;
    bool quiet = false;
    std::optional<double> at;  // the moment of a .png still; nothing: the last frame
    EncoderSettings encoder;
};

struct PlayOptions {
    FrameOptions frames;                  // frames.audio: unused; the files are in playlist
    std::vector<std::string> playlist;    // files, folders and playlists; empty: the demo
    bool fullscreen = false;
    int delayMs = 0;                      // the figure against the sound: later if positive
    std::optional<double> presetSeconds;  // --cycle-presets: the next preset every so many seconds
    bool quiet = false;                   // no running account on stderr, only warnings and failures
};

struct ListOptions {};

// lumhost presets: list a plug-in's presets, or save the settings as one.
struct PresetsOptions {
    PluginOptions plugin;
    std::optional<std::string> save;  // the name to save the settings under
};

int runInfo(const InfoOptions& options);
int runDevices();
int runList(const ListOptions& options);
int runRender(const RenderOptions& options);
int runPlay(const PlayOptions& options);
int runPresets(const PresetsOptions& options);

}  // namespace lumhost
