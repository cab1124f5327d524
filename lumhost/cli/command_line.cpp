#include "lumhost/cli/command_line.h"

#include <CLI/CLI.hpp>

#include <unistd.h>

#include <cstdio>
#include <iostream>

#include "loading/plugins/plugin_search.h"
#include "lumhost/base/host_error.h"
#include "lumhost/base/interrupt.h"
#include "lumhost/base/time_text.h"
#include "lumhost/cli/commands.h"
#include "lumhost/cli/frame_size.h"
#include "lumhost/cli/version_text.h"
#include "lumhost/media/media_log.h"
#include "rules/defaults.h"
#include "rules/number_text.h"
#include "rules/play_keys.h"

namespace lumhost {
namespace {

constexpr const char* conversionHelp = R"(
Sound blocks: the sound is cut into one block per video frame (sample
rate / fps sample frames; the last block may be shorter). Every sample,
whatever its width in the file, becomes one signed byte: x * 128 rounded
to the nearest whole number (halves to the even one) and clipped to
-128..127, x being the sample in -1..1. The plug-in sums the
first third of a block into its vertical axis and the rest into its
horizontal axis, so with --layout planar (the default) a block of N sample
frames is N left samples, N right samples, N zero bytes: the left channel
steers the vertical axis, the right channel the horizontal one, with equal
weight. Mono feeds both; more than two channels are first mixed down to
stereo: the fronts as they are, the centre and the surrounds at -3 dB, the
low frequencies left out (every front end mixes alike). With --layout
interleaved both channels go in as read (L R L R ...).
)";

constexpr const char* timeHelp = R"(
Times (--start, --duration, --at) are seconds (90, 12.5) or clock time
([hh:]mm:ss[.ff], e.g. 1:30 or 0:01:02.25). The run's lumStart happens at
--start, so the trail begins at the centre there, and the output's sound is
cut to match. --at is a moment of the sound, on the same clock as --start.
)";

constexpr const char* parameterHelp = R"(
Parameters: --set NAME=VALUE names a parameter as the plug-in reports it
(case-insensitive; '-' or '_' may stand for a space: --set line-width=20);
--param ID=VALUE gives its id. Values are integers (decimal or 0x hex),
#RRGGBB for colours, on/off for toggles. They go through lumSetParamInfo in
the order given; a clamped value is reported with the value applied.
)";

constexpr const char* presetHelp = R"(
Presets: named sets of a plug-in's settings, kept as text files of the
NAME=VALUE lines --set takes ('#' starts a comment), one file NAME.preset
per preset, in $XDG_CONFIG_HOME/lumhost/presets/PLUGIN (~/.config without
it), then in the folder installed with lumhost (share/lumhost/presets/PLUGIN)
and /usr/local/share, /usr/share (under $LUM_SYSTEM_ROOT when it is set).
The first file of a name wins.
--load-preset NAME applies one before --set and --param; the encoder's speed
is render's --preset, which has nothing to do with them.
)";

constexpr const char* pluginHelp =
    "A plug-in name, looked up on the plug-in path (see lumhost list), or a path with a '/' (default: gyrotrail)";

constexpr const char* searchHelp = R"(
Plug-in search: a name (with or without .lum) is looked up in each folder of
$LUM_PATH (colon-separated), then ~/.local/lib/lum, the folder of lumhost
itself and the plug-in folder installed with it, /usr/local/lib/lum and the
system's plug-in folder (those two under $LUM_SYSTEM_ROOT when it is set, for
trying a package's tree, and for tests that must not see what the machine has
installed). The first file of that name wins; list marks later ones as
shadowed. A file that does not load is listed with the reason.
)";

std::string playHelp() {
    std::string text = "\nKeys in the window:\n";
    for (const auto& line : lumrules::keyHelpLines()) text += "  " + line + "\n";
    return text;
}

// --set and --param, in the order they were given.
struct ParamOptions {
    std::vector<std::string> sets;
    std::vector<std::string> params;
    std::string preset;
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
        command.add_option("--load-preset", preset,
                           "Apply a saved preset (a name from lumhost presets, or a file) before --set and --param; "
                           "not the encoder's --preset")
            ->type_name("NAME");
    }

    PluginOptions toPlugin(const CLI::App& command, const std::string& plugin) const {
        PluginOptions options;
        options.plugin = plugin;
        options.assignments = inOrder(command);
        if (!preset.empty()) options.preset = preset;
        return options;
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

double parseTimeOption(const char* option, const std::string& text) {
    const auto seconds = parseTime(text);
    if (!seconds) throw HostError(std::string(option) + ": expected seconds or [hh:]mm:ss[.ff], got '" + text + "'");
    return *seconds;
}

// 192000, 192k or 1.5M bits per second.
int64_t parseBitrate(const std::string& text) {
    double scale = 1;
    std::string digits = text;
    if (!digits.empty() && (digits.back() == 'k' || digits.back() == 'K')) scale = 1e3;
    if (!digits.empty() && digits.back() == 'M') scale = 1e6;
    if (scale != 1) digits.pop_back();
    const auto value = parseTime(digits);  // digits with an optional fraction
    if (!value || digits.find(':') != std::string::npos || *value * scale < 1000 || *value * scale > 100e6)
        throw HostError("--audio-bitrate: expected bits per second from 1k to 100M (e.g. 192k), got '" + text + "'");
    return static_cast<int64_t>(*value * scale);
}

int parseWholeOption(const char* option, const std::string& text, int low, int high) {
    const auto value = lumrules::parseDigits(text);
    if (!value || *value < low || *value > high)
        throw HostError(std::string(option) + ": expected a whole number from " + std::to_string(low) + " to " +
                        std::to_string(high) + ", got '" + text + "'");
    return static_cast<int>(*value);
}

// "-2000 to 2000"
std::string delayRange(int low) { return std::to_string(low) + " to " + std::to_string(lumrules::maxDelayMs); }

int parseFps(const std::string& text) {
    if (text.size() <= 4 && !text.empty() && text.find_first_not_of("0123456789") == std::string::npos) {
        const int fps = std::stoi(text);
        if (fps >= lumrules::minFps && fps <= lumrules::maxFps) return fps;
    }
    throw HostError("--fps: expected a whole number from " + std::to_string(lumrules::minFps) + " to " +
                    std::to_string(lumrules::maxFps) + ", got '" + text + "'");
}

struct FrameArguments {
    std::string audio;
    std::vector<std::string> playlist;  // play: several files, folders, playlists
    std::string size = std::to_string(lumrules::defaultWidth) + "x" + std::to_string(lumrules::defaultHeight);
    std::string layout = "planar";
    std::string fps = std::to_string(lumrules::defaultFps);
    std::string plugin;
    std::string audioStream;
    std::string start;
    std::string duration;
    std::string captureDevice;
    CLI::Option* captureOption = nullptr;
    std::string input;
    std::string inputFormat;

    void add(CLI::App& command, bool several = false) {
        if (several)
            command.add_option("AUDIO", playlist,
                               "Audio or video files, folders (their sound files in name order) or .m3u/.m3u8 "
                               "playlists, played in order; none: the built-in demo")
                ->type_name("FILE");
        else
            command.add_option("AUDIO", audio,
                               "Audio or video file: anything the ffmpeg libraries read (WAV, FLAC, Ogg, MP3, AAC/M4A, "
                               "ALAC, WMA, the sound of MP4/MKV/WebM/MOV); none: the built-in demo")
                ->type_name("FILE");
        command.add_option("--audio-stream", audioStream, "Which of the file's audio streams, from 0 (default: the best)")
            ->type_name("N");
        command.add_option("--start", start, "Begin this far into the sound")->type_name("TIME");
        command.add_option("--duration", duration, "Use this much of the sound (default: to its end)")->type_name("TIME");
        captureOption = command.add_option("--capture", captureDevice,
                                           "Live sound from a capture device: an index or a name (or a part of one) from "
                                           "lumhost devices; alone, the monitor of the default output, else the default input")
                            ->type_name("[DEVICE]")
                            ->expected(0, 1);
        command.add_option("--input", input, "Live raw PCM from a FIFO, a pipe or - (standard input)")->type_name("FILE|-");
        command.add_option("--input-format", inputFormat, "What --input carries: s16le, s8, u8, s32le or f32le (default s16le:44100:2)")
            ->type_name("FORMAT:RATE:CHANNELS");
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
        options.plugin = params.toPlugin(command, plugin);
        if (!audio.empty()) options.audio = audio;
        if (!playlist.empty()) options.audio = playlist.front();
        const auto parsed = parseFrameSize(size);
        options.width = parsed.width;
        options.height = parsed.height;
        options.fps = parseFps(fps);
        options.layout = layout == "interleaved" ? lumrules::BlockLayout::interleaved : lumrules::BlockLayout::planar;
        if (!audioStream.empty()) options.audioStream = parseWholeOption("--audio-stream", audioStream, 0, 999);
        if (!start.empty()) options.start = parseTimeOption("--start", start);
        if (!duration.empty()) {
            options.duration = parseTimeOption("--duration", duration);
            if (*options.duration <= 0) throw HostError("--duration: must be more than 0");
        }
        options.capture = captureOption->count() > 0;
        if (!captureDevice.empty()) options.captureDevice = captureDevice;
        if (!input.empty()) options.input = input;
        if (!inputFormat.empty()) {
            if (input.empty()) throw HostError("--input-format describes --input; there is none");
            options.inputFormat = parseRawInputFormat(inputFormat);
        }
        if (!audioStream.empty() && !options.audio && !options.capture && input.empty())
            throw HostError("--audio-stream needs an audio file");
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

    auto* presets = app.add_subcommand("presets", "List a plug-in's presets, or save settings as one (--save)");
    std::string presetsPlugin, presetsSave;
    ParamOptions presetsParams;
    presets->add_option("PLUGIN", presetsPlugin, pluginHelp)->type_name("NAME|PATH");
    presets->add_option("--save", presetsSave,
                        "Save the plug-in's settings (its defaults, then --load-preset, --set and --param) as this preset")
        ->type_name("NAME");
    presetsParams.add(*presets);
    presets->footer(presetHelp);

    auto* devices = app.add_subcommand("devices", "List the sound devices: capture (with the sound server's monitors) and playback");

    auto* render = app.add_subcommand("render", "Render audio (or the demo, or live sound) through the plug-in into a file");
    FrameArguments renderFrames;
    ParamOptions renderParams;
    std::string output;
    bool discard = false, quiet = false;
    std::string at, crf, preset, audioBitrate;
    renderFrames.add(*render);
    render->add_option("-o,--output", output,
                       "OUT by extension: .mp4 (H.264 + AAC), .mkv (H.264 + FLAC), .webm (VP9 + Opus), .gif, "
                       ".png (the last frame, or the one at --at), .y4m; - for raw bgr0 frames (bytes B,G,R,0) "
                       "on standard output; or a stream's URL: rtmp://, rtmps:// (FLV), srt://, udp:// (MPEG-TS), "
                       "H.264 + AAC, a file sent at the pace it plays")
        ->type_name("OUT");
    render->add_option("--at", at, "The moment of a .png still (default: the last frame)")->type_name("TIME");
    render->add_option("--crf", crf, "Video quality, lower is better: H.264 0-51 (default 20), VP9 0-63 (default: 4 Mb/s)")
        ->type_name("N");
    render->add_option("--preset", preset,
                       "Encoder speed: H.264 ultrafast ... veryfast (default) ... placebo; VP9 realtime (default), good, best")
        ->type_name("NAME");
    render->add_option("--audio-bitrate", audioBitrate, "Sound bit rate (default: AAC 192k, Opus 160k)")->type_name("RATE");
    render->add_flag("--null", discard, "Render and discard the frames (for timing)");
    render->add_flag("-q,--quiet", quiet, "No progress on stderr");
    renderParams.add(*render);
    render->footer(std::string(conversionHelp) + timeHelp + parameterHelp + presetHelp);

    auto* play = app.add_subcommand("play", "Play audio (or the demo, or live sound) with the figure in a live window");
    FrameArguments playFrames;
    ParamOptions playParams;
    bool fullscreen = false, playQuiet = false;
    std::string delay, cyclePresets;
    playFrames.add(*play, true);
    play->add_flag("--fullscreen", fullscreen, "Start in fullscreen (f or a double click toggles it)");
    play->add_option("--delay", delay,
                     "Show the figure this many milliseconds after its sound (negative: before), " + delayRange(lumrules::minDelayMs) +
                         "; live sound: " + delayRange(lumrules::minLiveDelayMs))
        ->type_name("MS");
    play->add_option("--cycle-presets", cyclePresets, "Load the plug-in's next preset every so many seconds")->type_name("SECONDS");
    play->add_flag("-q,--quiet", playQuiet,
                   "No running account on stderr (settings changed, presets, positions): the window alone shows them; "
                   "warnings and failures are still said");
    playParams.add(*play);
    play->footer(std::string(conversionHelp) + timeHelp + parameterHelp + playHelp());

    // CLI11 would only say that a command is missing; name the unknown word.
    if (argc > 1 && argv[1][0] != '-') {
        const std::string word = argv[1];
        if (word != "info" && word != "list" && word != "render" && word != "play" && word != "devices" && word != "presets") {
            std::fprintf(stderr, "lumhost: unknown command '%s' (use info, list, render, play, presets or devices)\n", argv[1]);
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
    quietSoundLibrary();
    try {
        if (info->parsed()) {
            InfoOptions options;
            options.plugin = infoParams.toPlugin(*info, locatePlugin(infoPlugin));
            return runInfo(options);
        }
        if (list->parsed()) return runList(ListOptions{});
        if (devices->parsed()) return runDevices();
        if (presets->parsed()) {
            PresetsOptions options;
            options.plugin = presetsParams.toPlugin(*presets, locatePlugin(presetsPlugin));
            if (!presetsSave.empty()) options.save = presetsSave;
            return runPresets(options);
        }
        if (render->parsed()) {
            RenderOptions options;
            options.frames = renderFrames.toOptions(*render, renderParams);
            options.frames.plugin.plugin = locatePlugin(options.frames.plugin.plugin);
            if (output.empty() == !discard) throw HostError("render needs exactly one of -o OUT and --null");
            options.output = output;
            options.discard = discard;
            options.quiet = quiet;
            if (!at.empty()) {
                options.at = parseTimeOption("--at", at);
                const auto dot = output.rfind('.');
                std::string extension = dot == std::string::npos ? "" : output.substr(dot);
                for (auto& c : extension) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
                if (extension != ".png") throw HostError("--at picks the moment of a .png still; the output is " + output);
            }
            if (!crf.empty()) options.encoder.crf = parseWholeOption("--crf", crf, 0, 63);
            if (!preset.empty()) options.encoder.preset = preset;
            if (!audioBitrate.empty()) options.encoder.audioBitrate = parseBitrate(audioBitrate);
            return runRender(options);
        }
        PlayOptions options;
        options.frames = playFrames.toOptions(*play, playParams);
        options.frames.plugin.plugin = locatePlugin(options.frames.plugin.plugin);
        options.playlist = playFrames.playlist;
        if ((options.frames.capture || options.frames.input) && !options.playlist.empty())
            throw HostError(std::string(options.frames.capture ? "--capture" : "--input") +
                            " takes its sound live; drop the audio file " + options.playlist.front());
        options.frames.audio.reset();
        options.fullscreen = fullscreen;
        options.quiet = playQuiet;
        if (!delay.empty()) {
            const auto ms = lumrules::parseDecimal(delay);
            if (!ms || *ms < lumrules::minDelayMs || *ms > lumrules::maxDelayMs)
                throw HostError("--delay: expected milliseconds from " + delayRange(lumrules::minDelayMs) + ", got '" + delay + "'");
            options.delayMs = static_cast<int>(*ms);
        }
        if (!cyclePresets.empty()) {
            const auto seconds = parseTime(cyclePresets);
            if (!seconds || *seconds < 0.5) throw HostError("--cycle-presets: expected seconds, 0.5 or more, got '" + cyclePresets + "'");
            options.presetSeconds = *seconds;
        }
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
