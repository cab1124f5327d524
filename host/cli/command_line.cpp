#include "host/cli/command_line.h"

#include <CLI/CLI.hpp>

#include <unistd.h>

#include <cstdio>
#include <iostream>

#include "host/cli/commands.h"
#include "host/cli/frame_size.h"
#include "host/base/host_error.h"
#include "host/base/interrupt.h"
#include "host/cli/version_text.h"
#include "host/live/play_keys.h"
#include "host/plugins/plugin_search.h"

namespace lumhost {
namespace {

constexpr const char* conversionHelp = R"(
Sound blocks: the sound is cut into one block per video frame (sample
rate / fps sample frames; the last block may be shorter). Every sample,
whatever its width in the file, becomes one signed byte: round(x * 128)
clipped to -128..127, x being the sample in -1..1. The plug-in sums the
first third of a block into its vertical axis and the rest into its
horizontal axis, so with --layout planar (the default) a block of N sample
frames is N left samples, N right samples, N zero bytes: the left channel
steers the vertical axis, the right channel the horizontal one, with equal
weight. Mono feeds both; channels after the second are left out. With
--layout interleaved every channel goes in as read (L R L R ...).
)";

constexpr const char* parameterHelp = R"(
Parameters: --set NAME=VALUE names a parameter as the plug-in reports it
(case-insensitive; '-' or '_' may stand for a space: --set line-width=20);
--param ID=VALUE gives its id. Values are integers (decimal or 0x hex),
#RRGGBB for colours, on/off for toggles. They go through lumSetParamInfo in
the order given; a clamped value is reported with the value applied.
)";

constexpr const char* pluginHelp =
    "A plug-in name, looked up on the plug-in path (see lumhost list), or a path with a '/' (default: gyrotrail)";

constexpr const char* searchHelp = R"(
Plug-in search: a name (with or without .lum) is looked up in each folder of
$LUM_PATH (colon-separated), then ~/.local/lib/lum, the folder of lumhost
itself and the plug-in folder installed with it, /usr/local/lib/lum and the
system's plug-in folder. The first file of that name wins; list marks later
ones as shadowed. A file that does not load is listed with the reason.
)";

std::string playHelp() {
    std::string text = "\nKeys in the window:\n";
    for (const auto& binding : playKeys())
        if (binding.help != nullptr) text += std::string("  ") + binding.help + "\n";
    return text;
}

// --set and --param, in the order they were given.
struct ParamOptions {
    std::vector<std::string> sets;
    std::vector<std::string> params;
    CLI::Option* setOption = nullptr;
    CLI::Option* paramOption = nullptr;

    void add(CLI::App& command) {
        setOption = command.add_option("--set", sets, "Set a parameter by name (repeatable)")
                        ->type_name("NAME=VALUE")
                        ->expected(1)
                        ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
        paramOption = command.add_option("--param", params, "Set a parameter by id (repeatable)")
                          ->type_name("ID=VALUE")
                          ->expected(1)
                          ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
    }

    std::vector<ParamAssignment> inOrder(const CLI::App& command) const {
        std::vector<ParamAssignment> assignments;
        std::size_t nextSet = 0, nextParam = 0;
        for (const CLI::Option* option : command.parse_order()) {
            if (option == setOption && nextSet < sets.size()) assignments.push_back(parseAssignment(sets[nextSet++], true));
            if (option == paramOption && nextParam < params.size())
                assignments.push_back(parseAssignment(params[nextParam++], false));
        }
        return assignments;
    }
};

int parseFps(const std::string& text) {
    if (text.size() <= 4 && !text.empty() && text.find_first_not_of("0123456789") == std::string::npos) {
        const int fps = std::stoi(text);
        if (fps >= 1 && fps <= 1000) return fps;
    }
    throw HostError("--fps: expected a whole number from 1 to 1000, got '" + text + "'");
}

struct FrameArguments {
    std::string audio;
    std::string size = "1280x720";
    std::string layout = "planar";
    std::string fps = "60";
    std::string plugin;

    void add(CLI::App& command) {
        command.add_option("AUDIO", audio, "Audio file (WAV, FLAC, Ogg Vorbis/Opus, MP3); none: the built-in demo")->type_name("FILE");
        command.add_option("--fps", fps, "Video frames (and sound blocks) per second, 1 to 1000")->type_name("N")->capture_default_str();
        command.add_option("--size", size, "Canvas size")->type_name("WxH")->capture_default_str();
        command.add_option("--layout", layout, "How channels fill a block (see below)")
            ->type_name("LAYOUT")
            ->capture_default_str()
            ->check(CLI::IsMember({"planar", "interleaved"}));
        command.add_option("--plugin", plugin, pluginHelp)->type_name("PLUGIN");
    }

    FrameOptions toOptions(const CLI::App& command, const ParamOptions& params) const {
        FrameOptions options;
        options.plugin.plugin = plugin;
        options.plugin.assignments = params.inOrder(command);
        if (!audio.empty()) options.audio = audio;
        const auto parsed = parseFrameSize(size);
        options.width = parsed.width;
        options.height = parsed.height;
        options.fps = parseFps(fps);
        options.layout = layout == "interleaved" ? BlockLayout::interleaved : BlockLayout::planar;
        return options;
    }
};

}  // namespace

int runCommandLine(int argc, char** argv) {
    CLI::App app{"lumhost: describe, list, render and play .lum sound-visualisation plug-ins."};
    app.require_subcommand(1);
    app.footer(std::string(conversionHelp) + parameterHelp);

    app.set_version_flag("--version", [] {
        auto text = versionText();
        if (!text.empty() && text.back() == '\n') text.pop_back();
        return text;
    }, "Show lumhost's version and those of the libraries it runs with");

    auto* info = app.add_subcommand("info", "Show the plug-in's information record and its parameters");
    std::string infoPlugin;
    ParamOptions infoParams;
    info->add_option("PLUGIN", infoPlugin, pluginHelp)->type_name("NAME|PATH");
    infoParams.add(*info);
    info->footer(parameterHelp);

    auto* list = app.add_subcommand("list", "List every plug-in on the search path: name, display name, version, vendor, path");
    list->footer(searchHelp);

    auto* render = app.add_subcommand("render", "Render audio (or the demo) through the plug-in into a file");
    FrameArguments renderFrames;
    ParamOptions renderParams;
    std::string output;
    bool discard = false, quiet = false;
    renderFrames.add(*render);
    render->add_option("-o,--output", output,
                       "OUT by extension: .mp4/.webm (video with sound), .gif, .png (last frame), .y4m; "
                       "- for raw bgr0 frames (bytes B,G,R,0) on standard output")
        ->type_name("OUT");
    render->add_flag("--null", discard, "Render and discard the frames (for timing)");
    render->add_flag("-q,--quiet", quiet, "No progress on stderr");
    renderParams.add(*render);
    render->footer(std::string(conversionHelp) + parameterHelp);

    auto* play = app.add_subcommand("play", "Play audio (or the demo) with the figure in a live window");
    FrameArguments playFrames;
    ParamOptions playParams;
    playFrames.add(*play);
    playParams.add(*play);
    play->footer(std::string(conversionHelp) + parameterHelp + playHelp());

    // CLI11 would only say that a command is missing; name the unknown word.
    if (argc > 1 && argv[1][0] != '-') {
        const std::string word = argv[1];
        if (word != "info" && word != "list" && word != "render" && word != "play") {
            std::fprintf(stderr, "lumhost: unknown command '%s' (use info, list, render or play)\n", argv[1]);
            return 2;
        }
    }
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& error) {
        if (error.get_exit_code() == 0) return app.exit(error);
        std::fprintf(stderr, "lumhost: %s\n", error.what());
        return 2;
    }

    installInterruptHandlers();
    try {
        if (info->parsed()) {
            InfoOptions options;
            options.plugin.plugin = locatePlugin(infoPlugin);
            options.plugin.assignments = infoParams.inOrder(*info);
            return runInfo(options);
        }
        if (list->parsed()) return runList(ListOptions{});
        if (render->parsed()) {
            RenderOptions options;
            options.frames = renderFrames.toOptions(*render, renderParams);
            options.frames.plugin.plugin = locatePlugin(options.frames.plugin.plugin);
            if (output.empty() == !discard) throw HostError("render needs exactly one of -o OUT and --null");
            options.output = output;
            options.discard = discard;
            options.quiet = quiet;
            return runRender(options);
        }
        PlayOptions options;
        options.frames = playFrames.toOptions(*play, playParams);
        options.frames.plugin.plugin = locatePlugin(options.frames.plugin.plugin);
        return runPlay(options);
    } catch (const Interrupted&) {
        // On a terminal, end the progress line first.
        std::fprintf(stderr, "%slumhost: interrupted; no output written\n", ::isatty(STDERR_FILENO) ? "\n" : "");
        return 128 + interruptSignal();
    } catch (const std::exception& error) {
        std::fprintf(stderr, "lumhost: %s\n", error.what());
        return 1;
    }
}

}  // namespace lumhost
