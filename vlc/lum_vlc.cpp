// The VLC module (liblum_plugin.so, "lum"): a .lum plug-in as one of VLC's
// visualisations, chosen with --audio-visual=lum. The plug-in runs in a live
// run of its own (live/live_run.h): VLC's audio thread only hands it each
// sound block with its date, and the run's drawing thread hands back
// pictures dated at their sound, which go to the video output VLC gave the
// module. The sound is passed on untouched whatever the plug-in does, so a
// plug-in that is slow, crashes or hangs costs the pictures, never the sound.
#include <vlc_common.h>
#include <vlc_plugin.h>
#include <vlc_aout.h>
#include <vlc_block.h>
#include <vlc_filter.h>
#include <vlc_picture.h>
#include <vlc_vout.h>

#include <algorithm>
#include <atomic>
#include <bit>
#include <cstdint>
#include <cstring>
#include <exception>
#include <filesystem>
#include <iterator>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include <time.h>

#include "live/live_run.h"
#include "live/settings_mirror.h"
#include "loading/bridge/bridge_protocol.h"
#include "loading/plugins/host_library.h"
#include "loading/plugins/plugin_presets.h"
#include "loading/plugins/plugin_probe.h"
#include "loading/plugins/plugin_search.h"
#include "rules/block_cutter.h"
#include "rules/defaults.h"
#include "rules/param_text.h"
#include "vlc/sound_times.h"

// What one visualisation holds. VLC names the type; the module defines it.
struct filter_sys_t {
    std::string pluginFile;
    vout_thread_t* vout = nullptr;

    // VLC's audio thread only.
    int rate = 1;
    std::vector<int> channelOrder;  // VLC's channels into WAVE's order; empty: as they come
    std::vector<float> reordered;
    mtime_t nextDate = VLC_TICK_INVALID;  // where the sound handed over ends, for a block VLC left undated

    std::unique_ptr<lumlive::LiveRun> run;
    std::atomic<lumlive::LiveRun*> started{nullptr};  // the run, for its log lines, once it is made

    // What the module cost, for the line at the end: processor time in
    // nanoseconds of the run's drawing thread up to its last picture (of it,
    // copying into VLC's pictures) and of VLC's audio thread handing the
    // sound over.
    std::atomic<int64_t> pictures{0};
    std::atomic<int64_t> drawingTime{0};
    std::atomic<int64_t> copyTime{0};
    int64_t handingTime = 0;
};

namespace {

constexpr const char* pluginOption = "lum-plugin";
constexpr const char* setOption = "lum-set";
constexpr const char* presetOption = "lum-preset";
constexpr const char* widthOption = "lum-width";
constexpr const char* heightOption = "lum-height";
constexpr const char* fpsOption = "lum-fps";
// The largest picture side the options take; the plug-in's kind may allow less.
constexpr int maxSide = 16384;
// The options' help names the bridge's limit for a Windows module.
static_assert(lumbridge::maxWidth == 4096 && lumbridge::maxHeight == 2304, "say the bridge's canvas limit in --lum-width and --lum-height");

// The lumhost installed (or built) with this module: the module stands in
// for lumhost's executable when it looks for plug-ins, presets and bridges.
std::filesystem::path lumhostFolder() {
    static const int here = 0;
    return lumhost::lumhostFolderFor(lumhost::libraryFolderOf(&here),
                                     {LUMVLC_BUILD_FOLDER, LUMVLC_LUMHOST_BUILD_FOLDER, LUMVLC_BINDIR_FROM_PLUGINDIR});
}

std::string inheritedString(filter_t* filter, const char* name) {
    char* value = var_InheritString(filter, name);
    std::string text = value != nullptr ? value : "";
    free(value);
    return text;
}

int64_t threadTime() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<int64_t>(now.tv_sec) * 1000000000 + now.tv_nsec;
}

// ---- the run's drawing thread

// The canvas's 0x00RRGGBB pixels are VLC's RV32 with masks 0xff0000, 0xff00
// and 0xff as they are: copied row by row into the picture's pitch.
void copyCanvas(const lumlive::Picture& canvas, picture_t* picture) {
    const plane_t& plane = picture->p[0];
    const auto canvasRow = static_cast<std::size_t>(canvas.width) * 4;
    const auto rowBytes = std::min<std::size_t>(canvasRow, static_cast<std::size_t>(plane.i_pitch));
    const int rows = std::min(canvas.height, plane.i_visible_lines);
    const auto* pixels = reinterpret_cast<const uint8_t*>(canvas.pixels);
    for (int y = 0; y < rows; ++y)
        std::memcpy(plane.p_pixels + static_cast<std::ptrdiff_t>(y) * plane.i_pitch, pixels + static_cast<std::size_t>(y) * canvasRow,
                    rowBytes);
}

// A picture from the output (waiting for one it has shown), with the canvas,
// shown when its block's sound is heard.
void showPicture(filter_sys_t& s, const lumlive::Picture& canvas) {
    picture_t* picture = vout_GetPicture(s.vout);
    if (picture == nullptr) return;
    const int64_t copyStart = threadTime();
    copyCanvas(canvas, picture);
    s.copyTime += threadTime() - copyStart;
    picture->date = canvas.date / 1000;
    // Whole pictures: VLC would otherwise take them for interlaced and blend their fields.
    picture->b_progressive = true;
    vout_PutPicture(s.vout, picture);
    ++s.pictures;
    s.drawingTime = threadTime();
}

// ---- VLC's audio thread

block_t* filterSound(filter_t* filter, block_t* in) {
    auto& s = *filter->p_sys;
    if (in->i_nb_samples == 0) return in;
    const int64_t start = threadTime();
    const auto frames = static_cast<std::size_t>(in->i_nb_samples);
    const auto* samples = reinterpret_cast<const float*>(in->p_buffer);
    if (!s.channelOrder.empty()) {
        lumvlc::reorder(samples, frames, s.channelOrder, s.reordered);
        samples = s.reordered.data();
    }
    // VLC dates its blocks on its own clock (mdate's) by their first sample.
    const mtime_t date = in->i_pts != VLC_TICK_INVALID ? in->i_pts : s.nextDate;
    if (date == VLC_TICK_INVALID) {
        s.handingTime += threadTime() - start;
        return in;
    }
    s.nextDate = date + static_cast<mtime_t>(frames) * CLOCK_FREQ / s.rate;
    s.run->pushInterleaved(samples, frames, lumrules::SampleFormat::f32, date * 1000);
    s.handingTime += threadTime() - start;
    return in;
}

// A seek: the next sound starts a new run, as lumhost's --start does.
void flush(filter_t* filter) {
    auto& s = *filter->p_sys;
    s.nextDate = VLC_TICK_INVALID;
    s.run->restart();
}

// The end of the stream: the short last block makes the last picture.
block_t* drain(filter_t* filter) {
    filter->p_sys->run->drain();
    return nullptr;
}

// ---- opening and closing

// The line VLC's log shows when the plug-in cannot be had.
std::runtime_error noPlugin(const std::string& name, const std::string& why) {
    return std::runtime_error("plug-in " + (name.empty() ? std::string(lumhost::defaultPluginName) : name) + ": " + why +
                              "; the sound plays on without pictures");
}

// Reads the plug-in's settings (in a process of their own, so a plug-in that
// crashes at lumInit only fails the opening), then applies the preset and the
// settings to that copy of them: the run is handed the values that changed,
// in order. Throws with the line VLC's log shows.
std::vector<std::pair<uint32_t, int32_t>> settingsFor(filter_t* filter, const filter_sys_t& s, const std::string& name,
                                                      const std::filesystem::path& home) {
    const auto probe = lumhost::probePlugin(s.pluginFile);
    if (!probe.loaded) throw noPlugin(name, probe.error);
    std::vector<lumlive::MirroredSetting> probed;
    for (const auto& param : probe.params) probed.push_back({param.param, param.range});
    lumlive::SettingsMirror mirror(std::move(probed));
    std::vector<std::pair<uint32_t, int32_t>> changed;
    const std::string preset = inheritedString(filter, presetOption);
    if (!preset.empty()) {
        try {
            auto setting = lumhost::currentPresetSetting();
            setting.executableFolder = home;
            const auto file = lumhost::locatePreset(preset, lumhost::presetFolders(setting, lumhost::presetPluginName(s.pluginFile)));
            std::vector<std::string> notes;
            changed = lumlive::applyPresetText(mirror, lumhost::readPresetFile(file), file.string(), &notes);
            for (const auto& note : notes) msg_Warn(filter, "%s", note.c_str());
        } catch (const std::exception& error) {
            throw std::runtime_error(std::string("--") + presetOption + " " + preset + ": " + error.what());
        }
    }
    const std::string settings = inheritedString(filter, setOption);
    if (!settings.empty()) {
        try {
            for (const auto& assignment : lumrules::resolveList(mirror, settings)) {
                if (const auto note = lumrules::apply(mirror, assignment)) msg_Warn(filter, "%s", note->c_str());
                changed.emplace_back(assignment.id, mirror.describe(assignment.id).value_or(lumrules::ParamInfo{}).value);
            }
        } catch (const std::exception& error) {
            throw std::runtime_error(std::string("--") + setOption + ": " + error.what());
        }
    }
    return changed;
}

int openVisual(vlc_object_t* object) {
    auto* filter = reinterpret_cast<filter_t*>(object);
    auto s = std::make_unique<filter_sys_t>();
    const int width = static_cast<int>(var_InheritInteger(filter, widthOption));
    const int height = static_cast<int>(var_InheritInteger(filter, heightOption));
    const int fps = static_cast<int>(var_InheritInteger(filter, fpsOption));
    if (width < 1 || width > maxSide || height < 1 || height > maxSide || fps < lumrules::minFps || fps > lumrules::maxFps) {
        msg_Err(filter, "--%s %d, --%s %d, --%s %d: sides are 1 to %d, rates %d to %d", widthOption, width, heightOption, height,
                fpsOption, fps, maxSide, lumrules::minFps, lumrules::maxFps);
        return VLC_EGENERIC;
    }
    // Blocks are cut at --lum-fps: one above the sound's sample rate would leave some without sound.
    if (!lumrules::frameRateFits(static_cast<int>(filter->fmt_in.audio.i_rate), fps)) {
        msg_Err(filter, "--%s: %s", fpsOption, lumrules::frameRateTooHigh(static_cast<int>(filter->fmt_in.audio.i_rate), fps).c_str());
        return VLC_EGENERIC;
    }
    const std::string name = inheritedString(filter, pluginOption);
    const auto home = lumhostFolder();
    try {
        s->pluginFile = lumhost::locatePlugin(name, lumhost::searchFoldersBeside(home));
    } catch (const std::exception& error) {
        msg_Err(filter, "%s", noPlugin(name, error.what()).what());
        return VLC_EGENERIC;
    }
    const auto limit = lumlive::canvasLimitFor(s->pluginFile);
    if (width > limit.width || height > limit.height) {
        msg_Err(filter, "--%s %d, --%s %d: %s draws at most %dx%d", widthOption, width, heightOption, height, s->pluginFile.c_str(),
                limit.width, limit.height);
        return VLC_EGENERIC;
    }
    lumlive::Options options;
    try {
        options.settings = settingsFor(filter, *s, name, home);
    } catch (const std::exception& error) {
        msg_Err(filter, "%s", error.what());
        return VLC_EGENERIC;
    }

    video_format_t picture;
    video_format_Init(&picture, VLC_CODEC_RGB32);
    picture.i_width = picture.i_visible_width = static_cast<unsigned>(width);
    picture.i_height = picture.i_visible_height = static_cast<unsigned>(height);
    picture.i_rmask = 0xff0000;
    picture.i_gmask = 0x00ff00;
    picture.i_bmask = 0x0000ff;
    picture.i_sar_num = picture.i_sar_den = 1;
    picture.i_frame_rate = static_cast<unsigned>(fps);
    picture.i_frame_rate_base = 1;
    s->vout = aout_filter_RequestVout(filter, nullptr, &picture);
    if (s->vout == nullptr) {
        msg_Err(filter, "no video output for the pictures of %s", s->pluginFile.c_str());
        return VLC_EGENERIC;
    }

    // Float samples in, the same out: converters before and after are VLC's.
    filter->fmt_in.audio.i_format = VLC_CODEC_FL32;
    aout_FormatPrepare(&filter->fmt_in.audio);
    filter->fmt_out.audio = filter->fmt_in.audio;
    const auto& audio = filter->fmt_in.audio;
    const int channels = static_cast<int>(aout_FormatNbChannels(&audio));
    if (std::popcount(static_cast<unsigned>(audio.i_physical_channels)) == channels)
        s->channelOrder = lumvlc::waveOrderOf(audio.i_physical_channels);
    s->rate = static_cast<int>(audio.i_rate);

    options.pluginFile = s->pluginFile;
    options.rate = s->rate;
    options.channels = channels;
    options.fpsNum = fps;
    options.fpsDen = 1;
    options.width = width;
    options.height = height;
    // Playing, VLC is live: its present is mdate(), the clock its sound is dated on.
    options.live = true;
    options.now = [] { return static_cast<int64_t>(mdate()) * 1000; };
    filter_sys_t* sys = s.get();
    options.onPicture = [sys](const lumlive::Picture& canvas) { showPicture(*sys, canvas); };
    // No picture while the plug-in fails: the output keeps the last one.
    options.onNothing = [](int, int) {};
    // The plug-in's failure is VLC's error (one line); that it cannot keep
    // up with the sound, a warning. Before the run is made, a warning can
    // only be that the plug-in did not load.
    options.log = [filter, sys](lumlive::LogLevel level, const std::string& line) {
        const lumlive::LiveRun* run = sys->started;
        if (level == lumlive::LogLevel::info) msg_Info(filter, "%s", line.c_str());
        else if (run == nullptr || run->status().failed) msg_Err(filter, "%s", line.c_str());
        else msg_Warn(filter, "%s", line.c_str());
    };
    try {
        s->run = std::make_unique<lumlive::LiveRun>(std::move(options));
        s->started = s->run.get();
    } catch (const std::exception& error) {
        aout_filter_RequestVout(filter, s->vout, nullptr);
        msg_Err(filter, "%s: %s", s->pluginFile.c_str(), error.what());
        return VLC_EGENERIC;
    }
    msg_Dbg(filter, "%s: %dx%d, %d fps, %d Hz, %d channels", s->pluginFile.c_str(), width, height, fps, s->rate, channels);
    filter->p_sys = s.release();
    filter->pf_audio_filter = filterSound;
    filter->pf_flush = flush;
    filter->pf_audio_drain = drain;
    return VLC_SUCCESS;
}

void closeVisual(vlc_object_t* object) {
    auto* filter = reinterpret_cast<filter_t*>(object);
    std::unique_ptr<filter_sys_t> s(filter->p_sys);
    // Within a second whatever the plug-in does; no picture is handed over after it.
    s->run->stop();
    const auto status = s->run->status();
    msg_Dbg(filter,
            "%s: %lld pictures shown, %lld blocks drawn, %lld dropped, %lld runs, processor time %.3f ms drawing and %.3f ms handing "
            "the sound over (%.3f ms copying into VLC's pictures)",
            s->pluginFile.c_str(), static_cast<long long>(s->pictures.load()), status.drawn, status.dropped, status.runs,
            static_cast<double>(s->drawingTime) / 1e6, static_cast<double>(s->handingTime) / 1e6,
            static_cast<double>(s->copyTime) / 1e6);
    s->run.reset();
    aout_filter_RequestVout(filter, s->vout, nullptr);
}

}  // namespace

vlc_module_begin()
    set_shortname("lum")
    set_description("gyrotrail: a .lum plug-in as a visualisation")
    set_category(CAT_AUDIO)
    set_subcategory(SUBCAT_AUDIO_VISUAL)
    set_capability("visualization", 0)
    add_string(pluginOption, lumhost::defaultPluginName, "Plug-in",
               "The .lum plug-in to show: a name looked up on lumhost's search path ($LUM_PATH, ~/.local/lib/lum, the "
               "folder installed with lumhost, the system's), or a file. Windows modules run through lumhost's Wine bridge.",
               false)
    add_string(setOption, "", "Settings",
               "The plug-in's settings as lumhost's --set takes them, separated by ';': "
               "\"zoom factor=80;line width=3;color=#20c0ff\". Applied after the preset.",
               false)
    add_string(presetOption, "", "Preset",
               "One of lumhost's presets for the plug-in (lumhost presets lists them), by name or file.", false)
    add_integer_with_range(widthOption, lumrules::defaultWidth, 1, maxSide, "Width",
                           "The pictures' width in pixels: up to 16384, up to 4096 for a Windows module (its bridge's display).",
                           false)
    add_integer_with_range(heightOption, lumrules::defaultHeight, 1, maxSide, "Height",
                           "The pictures' height in pixels: up to 16384, up to 2304 for a Windows module (its bridge's display).",
                           false)
    add_integer_with_range(fpsOption, lumrules::defaultFps, lumrules::minFps, lumrules::maxFps, "Pictures per second",
                           "Pictures (and so blocks of sound) per second.", false)
    set_callbacks(openVisual, closeVisual)
vlc_module_end()
