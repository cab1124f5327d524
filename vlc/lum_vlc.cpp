// The VLC module (liblum_plugin.so, "lum"): a .lum plug-in as one of VLC's
// visualisations, chosen with --audio-visual=lum. VLC hands every sound block
// to the audio filter on its audio thread; the filter cuts lumhost's blocks
// from it with the shared cutter, dates each at its sound and queues it; a
// thread of the module's own draws them with the plug-in and hands the
// pictures to the video output VLC gave it. The sound is passed on untouched
// whatever the plug-in does, so a plug-in that is slow, crashes or hangs
// costs the pictures, never the sound.
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
#include <deque>
#include <exception>
#include <filesystem>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include <time.h>

#include "host/plugins/host_library.h"
#include "host/plugins/plugin_module.h"
#include "host/plugins/plugin_params.h"
#include "host/plugins/plugin_presets.h"
#include "host/plugins/plugin_search.h"
#include "rules/block_cutter.h"
#include "rules/defaults.h"
#include "rules/param_text.h"
#include "vlc/sound_times.h"

namespace {

// One block of the plug-in's sound and when its picture is to be shown.
struct Job {
    std::vector<int8_t> block;
    vlc_tick_t date = VLC_TICK_INVALID;
    bool restart = false;  // the first block of a run: lumEnd, lumStart and a black canvas first
};

}  // namespace

// What one visualisation holds. VLC names the type; the module defines it.
struct filter_sys_t {
    filter_t* filter = nullptr;
    std::string pluginFile;
    std::unique_ptr<lumhost::PluginModule> module;
    vout_thread_t* vout = nullptr;
    int width = lumrules::defaultWidth;
    int height = lumrules::defaultHeight;
    std::size_t catchUpAfter = 0;  // blocks waiting that make a late picture skipped

    // VLC's audio thread only.
    int rate = 1;
    lumrules::BlockCutter cutter;
    lumvlc::SoundTimes times;
    std::vector<int> channelOrder;  // VLC's channels into WAVE's order; empty: as they come
    std::vector<float> reordered;
    std::vector<int8_t> block;
    bool restartDue = true;

    // Between the two threads, under `lock`.
    vlc_mutex_t lock;
    vlc_cond_t wake;
    std::deque<Job> jobs;
    std::atomic<bool> failed{false};  // the plug-in failed: no more pictures

    // What the module cost, for the line at the end: blocks drawn, and
    // processor time in nanoseconds on the drawing thread (of it, in the
    // plug-in and copying into VLC's pictures) and on VLC's audio thread.
    std::atomic<int64_t> drawn{0};
    std::atomic<int64_t> drawingTime{0};
    int64_t pluginTime = 0, copyTime = 0;  // the drawing thread's; read after it ends
    int64_t cuttingTime = 0;

    // The drawing thread only.
    vlc_thread_t thread;
    bool running = false;  // between lumStart and lumEnd
    std::vector<uint32_t> canvas;
};

namespace {

int64_t threadTime() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<int64_t>(now.tv_sec) * 1000000000 + now.tv_nsec;
}

constexpr const char* pluginOption = "lum-plugin";
constexpr const char* setOption = "lum-set";
constexpr const char* presetOption = "lum-preset";
constexpr const char* widthOption = "lum-width";
constexpr const char* heightOption = "lum-height";
constexpr const char* fpsOption = "lum-fps";
// The largest picture side taken, as the GStreamer element takes.
constexpr int maxSide = 16384;

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

// ---- the drawing thread

// Draws one block onto the canvas; false if the plug-in failed (it is then
// named in one error line, and no more is drawn).
bool draw(filter_sys_t& s, const Job& job) {
    if (s.failed) return false;
    try {
        if (job.restart) {
            if (s.running) s.module->end();
            s.running = false;
            s.module->start();
            s.running = true;
            std::fill(s.canvas.begin(), s.canvas.end(), 0u);
        }
        LumCanvas canvas{s.width, s.height, s.width * 4, s.canvas.data()};
        const int64_t start = threadTime();
        s.module->displaySoundData(&canvas, job.block.data(), static_cast<uint32_t>(job.block.size()));
        s.pluginTime += threadTime() - start;
        return true;
    } catch (const std::exception& error) {
        msg_Err(s.filter, "plug-in %s: %s; the sound plays on without pictures", s.pluginFile.c_str(), error.what());
        s.failed = true;
        return false;
    }
}

// The canvas's 0x00RRGGBB pixels are VLC's RV32 with masks 0xff0000, 0xff00
// and 0xff as they are: copied row by row into the picture's pitch.
void copyCanvas(const filter_sys_t& s, picture_t* picture) {
    const plane_t& plane = picture->p[0];
    const auto rowBytes = std::min<std::size_t>(static_cast<std::size_t>(s.width) * 4, static_cast<std::size_t>(plane.i_pitch));
    const int rows = std::min(s.height, plane.i_visible_lines);
    const auto* canvas = reinterpret_cast<const uint8_t*>(s.canvas.data());
    for (int y = 0; y < rows; ++y)
        std::memcpy(plane.p_pixels + static_cast<std::ptrdiff_t>(y) * plane.i_pitch,
                    canvas + static_cast<std::size_t>(y) * static_cast<std::size_t>(s.width) * 4, rowBytes);
}

void* drawingThread(void* data) {
    auto& s = *static_cast<filter_sys_t*>(data);
    for (;;) {
        Job job;
        std::size_t waiting = 0;
        vlc_mutex_lock(&s.lock);
        mutex_cleanup_push(&s.lock);
        while (s.jobs.empty()) vlc_cond_wait(&s.wake, &s.lock);
        vlc_cleanup_pop();
        job = std::move(s.jobs.front());
        s.jobs.pop_front();
        waiting = s.jobs.size();
        vlc_mutex_unlock(&s.lock);

        // Waiting for the next block is the one place the thread is
        // cancelled: never inside the plug-in or the output's picture pool.
        const int state = vlc_savecancel();
        const bool drawn = draw(s, job);
        // Every block is drawn (the figure grows from each), but a plug-in
        // that has fallen half a second behind shows no late pictures until
        // it has caught up.
        if (drawn) {
            ++s.drawn;
            s.drawingTime = threadTime();
        }
        if (!drawn || (waiting > s.catchUpAfter && job.date < mdate())) {
            vlc_restorecancel(state);
            continue;
        }
        // Waits for a picture the output has done with.
        picture_t* picture = vout_GetPicture(s.vout);
        if (picture == nullptr) {
            vlc_restorecancel(state);
            continue;
        }
        const int64_t copyStart = threadTime();
        copyCanvas(s, picture);
        s.copyTime += threadTime() - copyStart;
        picture->date = job.date;
        // Whole pictures: VLC would otherwise take them for interlaced and blend their fields.
        picture->b_progressive = true;
        vout_PutPicture(s.vout, picture);
        vlc_restorecancel(state);
        s.drawingTime = threadTime();
    }
    return nullptr;
}

// ---- VLC's audio thread

// Cuts every block whose sound is in (at the end, the short rest too) and
// queues it for the drawing thread, dated when its first sample is heard.
void queueBlocks(filter_sys_t& s, bool atEnd) {
    std::vector<Job> ready;
    while (s.cutter.cut(s.block, atEnd)) {
        const int64_t frame = s.cutter.frame() - 1;
        const auto date = s.times.timeOf(s.cutter.frameStartSample(frame));
        ready.push_back({s.block, date.value_or(VLC_TICK_INVALID), s.restartDue});
        s.restartDue = false;
    }
    if (ready.empty()) return;
    vlc_mutex_lock(&s.lock);
    for (auto& job : ready) s.jobs.push_back(std::move(job));
    vlc_cond_signal(&s.wake);
    vlc_mutex_unlock(&s.lock);
}

// A new run: what is held or queued belongs to the sound before.
void newRun(filter_sys_t& s) {
    s.cutter.restart();
    s.times.restart(s.rate);
    s.restartDue = true;
    vlc_mutex_lock(&s.lock);
    s.jobs.clear();
    vlc_mutex_unlock(&s.lock);
}

block_t* filterSound(filter_t* filter, block_t* in) {
    auto& s = *filter->p_sys;
    if (s.failed || in->i_nb_samples == 0) return in;
    const int64_t start = threadTime();
    const auto frames = static_cast<std::size_t>(in->i_nb_samples);
    const auto* samples = reinterpret_cast<const float*>(in->p_buffer);
    if (!s.channelOrder.empty()) {
        lumvlc::reorder(samples, frames, s.channelOrder, s.reordered);
        samples = s.reordered.data();
    }
    s.times.add(in->i_pts, frames);
    s.cutter.push(samples, frames);
    queueBlocks(s, false);
    s.cuttingTime += threadTime() - start;
    return in;
}

// A seek: the next sound starts a new run, as lumhost's --start does.
void flush(filter_t* filter) { newRun(*filter->p_sys); }

// The end of the stream: the short last block makes the last picture, and
// any sound after it starts a run of its own.
block_t* drain(filter_t* filter) {
    auto& s = *filter->p_sys;
    if (!s.failed) queueBlocks(s, true);
    s.cutter.restart();
    s.times.restart(s.rate);
    s.restartDue = true;
    return nullptr;
}

// ---- opening and closing

// Loads the plug-in and applies the preset, then the settings; throws with
// the line VLC's log shows.
void loadPlugin(filter_t* filter, filter_sys_t& s) {
    const std::string name = inheritedString(filter, pluginOption);
    const auto home = lumhostFolder();
    try {
        s.pluginFile = lumhost::locatePlugin(name, lumhost::searchFoldersBeside(home));
        s.module = std::make_unique<lumhost::PluginModule>(s.pluginFile, lumhost::ModuleSharing::ownCopy);
        lumhost::initPlugin(*s.module);
    } catch (const std::exception& error) {
        throw std::runtime_error("plug-in " + (name.empty() ? std::string(lumhost::defaultPluginName) : name) + ": " + error.what() +
                                 "; the sound plays on without pictures");
    }
    const std::string preset = inheritedString(filter, presetOption);
    if (!preset.empty()) {
        try {
            auto setting = lumhost::currentPresetSetting();
            setting.executableFolder = home;
            const auto file = lumhost::locatePreset(preset, lumhost::presetFolders(setting, lumhost::presetPluginName(s.pluginFile)));
            std::ostringstream notes;
            lumhost::applyPreset(*s.module, file, notes);
            std::istringstream lines(notes.str());
            for (std::string line; std::getline(lines, line);) msg_Warn(filter, "%s", line.c_str());
        } catch (const std::exception& error) {
            throw std::runtime_error(std::string("--") + presetOption + " " + preset + ": " + error.what());
        }
    }
    const std::string settings = inheritedString(filter, setOption);
    if (!settings.empty()) {
        try {
            const lumhost::ModuleParams params(*s.module);
            for (const auto& assignment : lumrules::resolveList(params, settings))
                if (const auto note = lumrules::apply(params, assignment)) msg_Warn(filter, "%s", note->c_str());
        } catch (const std::exception& error) {
            throw std::runtime_error(std::string("--") + setOption + ": " + error.what());
        }
    }
}

int openVisual(vlc_object_t* object) {
    auto* filter = reinterpret_cast<filter_t*>(object);
    auto s = std::make_unique<filter_sys_t>();
    s->filter = filter;
    s->width = static_cast<int>(var_InheritInteger(filter, widthOption));
    s->height = static_cast<int>(var_InheritInteger(filter, heightOption));
    const int fps = static_cast<int>(var_InheritInteger(filter, fpsOption));
    if (s->width < 1 || s->width > maxSide || s->height < 1 || s->height > maxSide || fps < lumrules::minFps || fps > lumrules::maxFps) {
        msg_Err(filter, "--%s %d, --%s %d, --%s %d: sides are 1 to %d, rates %d to %d", widthOption, s->width, heightOption, s->height,
                fpsOption, fps, maxSide, lumrules::minFps, lumrules::maxFps);
        return VLC_EGENERIC;
    }
    // Blocks are cut at --lum-fps: one above the sound's sample rate would leave some without sound.
    if (!lumrules::frameRateFits(static_cast<int>(filter->fmt_in.audio.i_rate), fps)) {
        msg_Err(filter, "--%s: %s", fpsOption, lumrules::frameRateTooHigh(static_cast<int>(filter->fmt_in.audio.i_rate), fps).c_str());
        return VLC_EGENERIC;
    }
    try {
        loadPlugin(filter, *s);
    } catch (const std::exception& error) {
        msg_Err(filter, "%s", error.what());
        return VLC_EGENERIC;
    }

    video_format_t picture;
    video_format_Init(&picture, VLC_CODEC_RGB32);
    picture.i_width = picture.i_visible_width = static_cast<unsigned>(s->width);
    picture.i_height = picture.i_visible_height = static_cast<unsigned>(s->height);
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
    s->catchUpAfter = static_cast<std::size_t>(fps / 2 + 1);
    s->cutter.reset(s->rate, channels, fps);
    s->times.restart(s->rate);
    s->canvas.assign(static_cast<std::size_t>(s->width) * static_cast<std::size_t>(s->height), 0u);

    vlc_mutex_init(&s->lock);
    vlc_cond_init(&s->wake);
    if (vlc_clone(&s->thread, drawingThread, s.get(), VLC_THREAD_PRIORITY_VIDEO) != 0) {
        vlc_cond_destroy(&s->wake);
        vlc_mutex_destroy(&s->lock);
        aout_filter_RequestVout(filter, s->vout, nullptr);
        msg_Err(filter, "cannot start the drawing thread");
        return VLC_EGENERIC;
    }
    msg_Dbg(filter, "%s: %dx%d, %d fps, %d Hz, %d channels", s->pluginFile.c_str(), s->width, s->height, fps, s->rate, channels);
    filter->p_sys = s.release();
    filter->pf_audio_filter = filterSound;
    filter->pf_flush = flush;
    filter->pf_audio_drain = drain;
    return VLC_SUCCESS;
}

void closeVisual(vlc_object_t* object) {
    auto* filter = reinterpret_cast<filter_t*>(object);
    std::unique_ptr<filter_sys_t> s(filter->p_sys);
    vlc_cancel(s->thread);
    vlc_join(s->thread, nullptr);
    if (s->running && !s->failed) {
        try {
            s->module->end();
        } catch (const std::exception& error) {
            msg_Err(filter, "plug-in %s: %s", s->pluginFile.c_str(), error.what());
        }
    }
    const int64_t drawn = s->drawn;
    msg_Dbg(filter, "%s: %lld pictures drawn, processor time %.3f ms drawing and %.3f ms cutting (%.3f ms in the plug-in, %.3f ms copying)",
            s->pluginFile.c_str(), static_cast<long long>(drawn), static_cast<double>(s->drawingTime) / 1e6,
            static_cast<double>(s->cuttingTime) / 1e6, static_cast<double>(s->pluginTime) / 1e6, static_cast<double>(s->copyTime) / 1e6);
    aout_filter_RequestVout(filter, s->vout, nullptr);
    vlc_cond_destroy(&s->wake);
    vlc_mutex_destroy(&s->lock);
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
    add_integer_with_range(widthOption, lumrules::defaultWidth, 1, maxSide, "Width", "The pictures' width in pixels.", false)
    add_integer_with_range(heightOption, lumrules::defaultHeight, 1, maxSide, "Height", "The pictures' height in pixels.", false)
    add_integer_with_range(fpsOption, lumrules::defaultFps, lumrules::minFps, lumrules::maxFps, "Pictures per second",
                           "Pictures (and so blocks of sound) per second.", false)
    set_callbacks(openVisual, closeVisual)
vlc_module_end()
