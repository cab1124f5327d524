// The commands of lumhost, each given its parsed options.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "host/pictures/frame_sink.h"
#include "host/plugins/plugin_run.h"
#include "host/sound/sound_block.h"

namespace lumhost {

struct InfoOptions {
    PluginOptions plugin;
};

struct FrameOptions {
    PluginOptions plugin;
    std::optional<std::string> audio;  // nothing: the built-in demo
    int fps = 60;
    int width = 1280;
    int height = 720;
    BlockLayout layout = BlockLayout::planar;
};

struct RenderOptions {
    FrameOptions frames;
    std::string output;  // a path or "-"
    bool discard = false;
    bool quiet = false;
    EncoderSettings encoder;
};

struct PlayOptions {
    FrameOptions frames;
};

struct ListOptions {};

int runInfo(const InfoOptions& options);
int runList(const ListOptions& options);
int runRender(const RenderOptions& options);
int runPlay(const PlayOptions& options);

}  // namespace lumhost
