#include "obs_support.h"

#include <gtest/gtest.h>
#include <obs-nix-platform.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>
#include <util/base.h>
#include <util/platform.h>
// Last: Xlib's macros (None, Status) clash with GoogleTest's names.
#include <X11/Xlib.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "loading/plugins/plugin_module.h"
#include "loading/plugins/plugin_params.h"
#include "rules/block_cutter.h"
#include "sound_files.h"

namespace obstest {
namespace {

pid_t xvfb = -1;
Display* display = nullptr;

std::mutex logLock;
std::vector<std::pair<int, std::string>> logged;

void logHandler(int level, const char* format, va_list args, void*) {
    char line[4096];
    vsnprintf(line, sizeof line, format, args);
    if (level <= LOG_WARNING) std::fprintf(stderr, "obs: %s\n", line);
    std::lock_guard lock(logLock);
    logged.emplace_back(level, line);
}

// Xvfb on the first free display; the display's name, empty if it did not start.
std::string startXvfb() {
    int pipe[2];
    if (::pipe(pipe) != 0) return {};
    xvfb = fork();
    if (xvfb == 0) {
        close(pipe[0]);
        const std::string fd = std::to_string(pipe[1]);
        const int null = open("/dev/null", O_WRONLY);
        dup2(null, 1);
        dup2(null, 2);
        execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "640x480x24", "-nolisten", "tcp", static_cast<char*>(nullptr));
        _exit(127);
    }
    close(pipe[1]);
    std::string number;
    char c;
    while (read(pipe[0], &c, 1) == 1 && c != '\n') number += c;
    close(pipe[0]);
    return number.empty() ? std::string() : ":" + number;
}

void stopXvfb() {
    if (xvfb <= 0) return;
    kill(xvfb, SIGTERM);
    waitpid(xvfb, nullptr, 0);
    xvfb = -1;
}

// ---- the tests' own sources

const char* soundName(void*) { return "Test sound"; }
void* makeNothing(obs_data_t*, obs_source_t*) { return new int(0); }
void freeNothing(void* data) { delete static_cast<int*>(data); }
const char* colourName(void*) { return "Test colour"; }

void registerTestSources() {
    obs_source_info sound{};
    sound.id = "test_sound";
    sound.type = OBS_SOURCE_TYPE_INPUT;
    sound.output_flags = OBS_SOURCE_AUDIO;
    sound.get_name = soundName;
    sound.create = makeNothing;
    sound.destroy = freeNothing;
    obs_register_source(&sound);
    obs_source_info colour{};
    colour.id = "test_colour";
    colour.type = OBS_SOURCE_TYPE_INPUT;
    colour.output_flags = OBS_SOURCE_ASYNC_VIDEO;
    colour.get_name = colourName;
    colour.create = makeNothing;
    colour.destroy = freeNothing;
    obs_register_source(&colour);
}

float swing(long frame, int channel) {
    const double t = static_cast<double>(frame) / 48000;
    const double pi = 3.14159265358979;
    if (channel == 0) return static_cast<float>(0.045 * std::sin(2 * pi * 0.9 * t) + 0.01 * std::sin(2 * pi * 7.0 * t));
    return static_cast<float>(0.04 * std::cos(2 * pi * 0.55 * t + 0.4) + 0.012 * std::sin(2 * pi * 3.1 * t));
}

}  // namespace

std::string startObs(const hosttest::Scratch& scratch, const Start& start) {
    if (std::system("command -v Xvfb >/dev/null 2>&1") != 0) return "Xvfb is not installed";
    const std::string name = startXvfb();
    if (name.empty()) return "Xvfb did not start";
    display = XOpenDisplay(name.c_str());
    if (display == nullptr) {
        stopXvfb();
        return "cannot open Xvfb's display " + name;
    }
    setenv("DISPLAY", name.c_str(), 1);
    setenv("LUM_PATH", "", 1);
    setenv("XDG_CONFIG_HOME", scratch.path("config").c_str(), 1);
    for (const auto& setting : start.environment) {
        const auto equals = setting.find('=');
        setenv(setting.substr(0, equals).c_str(), setting.substr(equals + 1).c_str(), 1);
    }
    {
        std::lock_guard lock(logLock);
        logged.clear();
    }
    base_set_log_handler(logHandler, nullptr);
    obs_set_nix_platform(OBS_NIX_PLATFORM_X11_EGL);
    obs_set_nix_platform_display(display);
    if (!obs_startup("en-US", nullptr, nullptr)) {
        stopObs();
        return "libobs does not start here (obs_startup failed)";
    }
    obs_video_info video{};
    video.graphics_module = "libobs-opengl";
    video.fps_num = static_cast<uint32_t>(start.fps);
    video.fps_den = 1;
    video.base_width = video.output_width = static_cast<uint32_t>(start.width);
    video.base_height = video.output_height = static_cast<uint32_t>(start.height);
    video.output_format = VIDEO_FORMAT_BGRA;
    video.colorspace = VIDEO_CS_SRGB;
    video.range = VIDEO_RANGE_FULL;
    video.scale_type = OBS_SCALE_POINT;
    if (const int result = obs_reset_video(&video); result != OBS_VIDEO_SUCCESS) {
        stopObs();
        return "libobs cannot draw here (obs_reset_video: " + std::to_string(result) + ")";
    }
    obs_audio_info audio{48000, SPEAKERS_STEREO};
    if (!obs_reset_audio(&audio)) {
        stopObs();
        return "libobs has no sound here (obs_reset_audio failed)";
    }
    registerTestSources();
    obs_module_t* module = nullptr;
    const int opened = obs_open_module(&module, LUMOBS_MODULE_PATH, LUMOBS_DATA_PATH);
    EXPECT_EQ(opened, MODULE_SUCCESS) << LUMOBS_MODULE_PATH;
    if (opened == MODULE_SUCCESS) {
        EXPECT_TRUE(obs_init_module(module));
    }
    for (const auto& name : start.obsModules) {
        const std::string file = std::string(OBS_MODULE_DIR) + "/" + name + ".so";
        if (access(file.c_str(), R_OK) != 0) {
            stopObs();
            return "OBS's module " + name + " is not installed (" + file + ": in Debian's obs-studio package)";
        }
        obs_module_t* own = nullptr;
        if (obs_open_module(&own, file.c_str(), (std::string(OBS_MODULE_DATA_DIR) + "/" + name).c_str()) != MODULE_SUCCESS ||
            !obs_init_module(own)) {
            stopObs();
            return "OBS's module " + name + " does not load headless";
        }
    }
    return {};
}

void stopObs(bool clearOutput) {
    if (obs_initialized()) {
        // As OBS Studio does before it shuts down: with a scene still on the
        // output, libobs 29 destroys its sources twice over (and says so).
        if (clearOutput) obs_set_output_source(0, nullptr);
        obs_shutdown();
    }
    base_set_log_handler(nullptr, nullptr);
    if (display != nullptr) XCloseDisplay(display);
    display = nullptr;
    stopXvfb();
}

std::vector<std::string> logLines(int level) {
    std::lock_guard lock(logLock);
    std::vector<std::string> lines;
    for (const auto& [l, text] : logged)
        if (l <= level) lines.push_back(text);
    return lines;
}

std::vector<float> swingSamples(long frames) {
    std::vector<float> samples;
    for (long frame = 0; frame < frames; ++frame)
        for (int channel = 0; channel < 2; ++channel) {
            const double x = std::clamp(static_cast<double>(swing(frame, channel)), -1.0, 1.0);
            const auto value = static_cast<int16_t>(std::lround(std::min(x * 32768.0, 32767.0)));
            samples.push_back(static_cast<float>(value) * (1.0f / 32768));
        }
    return samples;
}

void writeSwing(const std::string& path, long frames) {
    hosttest::writeSound(path, 48000, 2, frames, [](long frame, int channel) { return swing(frame, channel); });
}

obs_source_t* makeSoundSource(const std::string& name) { return obs_source_create("test_sound", name.c_str(), nullptr, nullptr); }

void sendSound(obs_source_t* source, const std::vector<float>& interleaved, long from, long to, uint64_t start) {
    std::vector<float> left, right;
    for (long at = from; at < to; at += 1024) {
        const long count = std::min<long>(1024, to - at);
        left.resize(static_cast<std::size_t>(count));
        right.resize(static_cast<std::size_t>(count));
        for (long i = 0; i < count; ++i) {
            left[static_cast<std::size_t>(i)] = interleaved[static_cast<std::size_t>(2 * (at + i))];
            right[static_cast<std::size_t>(i)] = interleaved[static_cast<std::size_t>(2 * (at + i) + 1)];
        }
        obs_source_audio audio{};
        audio.data[0] = reinterpret_cast<const uint8_t*>(left.data());
        audio.data[1] = reinterpret_cast<const uint8_t*>(right.data());
        audio.frames = static_cast<uint32_t>(count);
        audio.speakers = SPEAKERS_STEREO;
        audio.format = AUDIO_FORMAT_FLOAT_PLANAR;
        audio.samples_per_sec = 48000;
        audio.timestamp = start + static_cast<uint64_t>((at - from) * 1000000000LL / 48000);
        obs_source_output_audio(source, &audio);
    }
}

void paintColour(obs_source_t* source, uint32_t bgra, int width, int height) {
    std::vector<uint32_t> pixels(static_cast<std::size_t>(width) * static_cast<std::size_t>(height), bgra);
    obs_source_frame frame{};
    frame.data[0] = reinterpret_cast<uint8_t*>(pixels.data());
    frame.linesize[0] = static_cast<uint32_t>(width) * 4;
    frame.width = static_cast<uint32_t>(width);
    frame.height = static_cast<uint32_t>(height);
    frame.format = VIDEO_FORMAT_BGRX;
    frame.full_range = true;
    frame.timestamp = os_gettime_ns();
    obs_source_output_video(source, &frame);
}

obs_source_t* makeColourSource(const std::string& name, uint32_t bgra, int width, int height) {
    obs_source_t* source = obs_source_create("test_colour", name.c_str(), nullptr, nullptr);
    obs_source_set_async_unbuffered(source, true);
    paintColour(source, bgra, width, height);
    return source;
}

obs_source_t* makeLumSource(const std::string& id, const std::string& name, obs_data_t* settings) {
    return obs_source_create(id.c_str(), name.c_str(), settings, nullptr);
}

FrameCatcher::FrameCatcher(obs_source_t* source) : source_(source) {
    signal_handler_connect(obs_source_get_signal_handler(source_), "frame_drawn", caught, this);
}

FrameCatcher::~FrameCatcher() { signal_handler_disconnect(obs_source_get_signal_handler(source_), "frame_drawn", caught, this); }

void FrameCatcher::caught(void* self, calldata_t* data) {
    auto& catcher = *static_cast<FrameCatcher*>(self);
    const auto* frame = static_cast<const obs_source_frame*>(calldata_ptr(data, "frame"));
    Frame copy;
    copy.width = static_cast<int>(frame->width);
    copy.height = static_cast<int>(frame->height);
    copy.alpha = frame->format == VIDEO_FORMAT_BGRA;
    copy.timestamp = frame->timestamp;
    copy.run = calldata_int(data, "run");
    copy.index = calldata_int(data, "index");
    for (uint32_t y = 0; y < frame->height; ++y)
        copy.bytes.append(reinterpret_cast<const char*>(frame->data[0] + static_cast<std::size_t>(y) * frame->linesize[0]), frame->width * 4);
    {
        std::lock_guard lock(catcher.lock_);
        catcher.frames_.push_back(std::move(copy));
    }
    catcher.arrived_.notify_all();
}

std::vector<FrameCatcher::Frame> FrameCatcher::waitFor(std::size_t count, double seconds) {
    std::unique_lock lock(lock_);
    arrived_.wait_for(lock, std::chrono::duration<double>(seconds), [&] { return frames_.size() >= count; });
    return frames_;
}

std::vector<FrameCatcher::Frame> FrameCatcher::waitForRun(std::size_t count, double seconds, long long after) {
    std::vector<Frame> run;
    auto complete = [&] {
        run.clear();
        if (frames_.empty() || frames_.back().run <= after) return false;
        for (const auto& frame : frames_)
            if (frame.run == frames_.back().run && frame.index >= 0 && static_cast<std::size_t>(frame.index) < count) run.push_back(frame);
        return run.size() >= count;
    };
    std::unique_lock lock(lock_);
    arrived_.wait_for(lock, std::chrono::duration<double>(seconds), complete);
    return run;
}

std::size_t FrameCatcher::count() {
    std::lock_guard lock(lock_);
    return frames_.size();
}

CanvasCatcher::CanvasCatcher() {
    obs_video_info video{};
    obs_get_video_info(&video);
    width = static_cast<int>(video.output_width);
    height = static_cast<int>(video.output_height);
    obs_add_raw_video_callback(nullptr, caught, this);
}

CanvasCatcher::~CanvasCatcher() { obs_remove_raw_video_callback(caught, this); }

void CanvasCatcher::caught(void* self, video_data* frame) {
    auto& catcher = *static_cast<CanvasCatcher*>(self);
    std::vector<uint32_t> pixels(static_cast<std::size_t>(catcher.width) * static_cast<std::size_t>(catcher.height));
    for (int y = 0; y < catcher.height; ++y)
        std::memcpy(pixels.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(catcher.width),
                    frame->data[0] + static_cast<std::size_t>(y) * frame->linesize[0], static_cast<std::size_t>(catcher.width) * 4);
    {
        std::lock_guard lock(catcher.lock_);
        catcher.latest_ = std::move(pixels);
        ++catcher.count_;
    }
    catcher.arrived_.notify_all();
}

std::vector<uint32_t> CanvasCatcher::next(int frames, double seconds) {
    std::unique_lock lock(lock_);
    const long until = count_ + frames;
    arrived_.wait_for(lock, std::chrono::duration<double>(seconds), [&] { return count_ >= until; });
    return latest_;
}

CornerWatch::CornerWatch() { obs_add_raw_video_callback(nullptr, caught, this); }

CornerWatch::~CornerWatch() { obs_remove_raw_video_callback(caught, this); }

void CornerWatch::caught(void* self, video_data* frame) {
    auto& watch = *static_cast<CornerWatch*>(self);
    uint32_t pixels[4];
    std::memcpy(pixels, frame->data[0], sizeof pixels);
    // BGRA, opaque: the plug-in's 0x00RRGGBB with OBS's alpha on top.
    Shown shown;
    shown.frame = pixels[0] & 0xFFFFFFu;
    shown.sum = static_cast<int32_t>((pixels[1] & 0xFFFFFFu) << 8) >> 8;
    shown.length = pixels[2] & 0xFFFFFFu;
    shown.runs = pixels[3] & 0xFFFFFFu;
    shown.at = std::chrono::steady_clock::now();
    {
        std::lock_guard lock(watch.lock_);
        watch.shown_.push_back(shown);
    }
    watch.arrived_.notify_all();
}

std::size_t CornerWatch::count() {
    std::lock_guard lock(lock_);
    return shown_.size();
}

std::vector<CornerWatch::Shown> CornerWatch::since(std::size_t from) {
    std::lock_guard lock(lock_);
    return {shown_.begin() + static_cast<std::ptrdiff_t>(std::min(from, shown_.size())), shown_.end()};
}

std::vector<CornerWatch::Shown> CornerWatch::next(std::size_t frames, double seconds) {
    std::unique_lock lock(lock_);
    const std::size_t from = shown_.size();
    arrived_.wait_for(lock, std::chrono::duration<double>(seconds), [&] { return shown_.size() >= from + frames; });
    return {shown_.begin() + static_cast<std::ptrdiff_t>(from), shown_.end()};
}

obs_scene_t* showScene(const std::vector<obs_source_t*>& sources) {
    obs_scene_t* scene = obs_scene_create("scene");
    for (obs_source_t* source : sources) obs_scene_add(scene, source);
    obs_set_output_source(0, obs_scene_get_source(scene));
    return scene;
}

std::vector<std::string> referenceFrames(const std::vector<float>& interleaved, int fps, int width, int height,
                                         const std::vector<TimedSetting>& settings, std::size_t count) {
    lumhost::PluginModule plugin(GYROTRAIL_MODULE_PATH, lumhost::ModuleSharing::ownCopy);
    lumhost::initPlugin(plugin);
    std::vector<uint32_t> pixels(static_cast<std::size_t>(width) * static_cast<std::size_t>(height), 0);
    LumCanvas canvas{width, height, width * 4, pixels.data()};
    auto apply = [&](int frame) {
        for (const auto& setting : settings)
            if (setting.beforeFrame == frame) lumhost::setParam(plugin, setting.id, setting.value);
    };
    apply(0);
    plugin.start();
    lumrules::BlockCutter cutter(48000, 2, fps);
    cutter.push(interleaved.data(), interleaved.size() / 2);
    std::vector<int8_t> block;
    std::vector<std::string> frames;
    while (frames.size() < count && cutter.cut(block)) {
        if (!frames.empty()) apply(static_cast<int>(frames.size()));
        plugin.displaySoundData(&canvas, block.data(), static_cast<uint32_t>(block.size()));
        frames.emplace_back(reinterpret_cast<const char*>(pixels.data()), pixels.size() * 4);
    }
    plugin.end();
    return frames;
}

uint32_t settingId(const std::string& name) {
    lumhost::PluginModule plugin(GYROTRAIL_MODULE_PATH, lumhost::ModuleSharing::ownCopy);
    lumhost::initPlugin(plugin);
    const auto found = lumrules::findParam(lumhost::ModuleParams(plugin), name);
    EXPECT_TRUE(found) << name;
    return found ? found->id : 0;
}

}  // namespace obstest
