#include "obs/lum_source.h"

#include <pthread.h>
#include <util/platform.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <fstream>
#include <memory>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "host/plugins/plugin_module.h"
#include "host/plugins/plugin_params.h"
#include "host/plugins/plugin_presets.h"
#include "obs/frame_alpha.h"
#include "obs/preset_choice.h"
#include "obs/speaker_layout.h"
#include "rules/block_cutter.h"
#include "rules/defaults.h"

namespace lumobs {
namespace {

constexpr uint64_t msNs = 1000000;
// Sound that comes more than this far from where the last piece ended is a
// new stretch of sound (a seek, a pause, a source that stalled): the frames
// follow its timestamps from there.
constexpr uint64_t gapNs = 100 * msNs;
// With no sound for this long the figure runs on silence, this far behind
// the clock, so a source that stops or goes away leaves a figure that fades.
constexpr uint64_t silenceAfterNs = 150 * msNs;
// Sound waiting for the drawing thread beyond this many pieces (about ten
// seconds) is dropped oldest first: a plug-in that hangs must not fill memory.
constexpr std::size_t maxWaitingPieces = 500;

const SourceDescription& descriptionOf(void* typeData) { return *static_cast<const SourceDescription*>(typeData); }

// A piece of captured sound, its channels one after another.
struct SoundPiece {
    uint64_t timestamp = 0;
    std::size_t frames = 0;
    unsigned connection = 0;  // the connection it came through
    std::vector<float> samples;
};

struct LumSource {
    const SourceDescription* plugin = nullptr;
    obs_source_t* source = nullptr;
    // OBS's sound and video formats when the source was made.
    int rate = 48000;
    int channels = 2;
    speaker_layout speakers = SPEAKERS_STEREO;
    int fpsNum = lumrules::defaultFps;
    int fpsDen = 1;

    // Settings: written by update on OBS's thread, taken by the drawing thread.
    std::mutex settingsLock;
    int width = lumrules::defaultWidth;
    int height = lumrules::defaultHeight;
    bool transparent = false;
    std::vector<int32_t> values;  // by setting
    std::vector<bool> changed;    // to send before the next frame

    // The audio source, followed by name: connected by update and OBS's
    // signals. Recursive: letting go of a source may be its last reference,
    // and its source_destroy signal then comes back here on the same thread.
    std::recursive_mutex connectLock;
    std::string audioName;
    obs_weak_source_t* audio = nullptr;
    std::atomic<unsigned> connection{0};  // a new connection starts a new run
    bool waitingNoted = false;

    // Captured sound, from the capture callback to the drawing thread.
    std::mutex soundLock;
    std::condition_variable wake;
    std::deque<SoundPiece> sound;
    bool stopping = false;

    // The plug-in: drawn with by the drawing thread; presets reach it from OBS's thread.
    std::mutex moduleLock;
    std::unique_ptr<lumhost::PluginModule> module;

    std::thread worker;
};

const char* nameOf(const LumSource& s) { return obs_source_get_name(s.source); }

// ---- settings

int32_t settingValue(const SettingKey& setting, obs_data_t* data) {
    switch (setting.probed.param.type) {
        case PARAMTYPE_TOGGLE: return obs_data_get_bool(data, setting.key.c_str()) ? 1 : 0;
        case PARAMTYPE_COLOR: return pluginColour(obs_data_get_int(data, setting.key.c_str()));
        default: return static_cast<int32_t>(obs_data_get_int(data, setting.key.c_str()));
    }
}

void writeSetting(const SettingKey& setting, int32_t value, obs_data_t* data) {
    switch (setting.probed.param.type) {
        case PARAMTYPE_TOGGLE: obs_data_set_bool(data, setting.key.c_str(), value != 0); break;
        case PARAMTYPE_COLOR: obs_data_set_int(data, setting.key.c_str(), obsColour(value)); break;
        default: obs_data_set_int(data, setting.key.c_str(), value); break;
    }
}

// ---- the audio source

void captureSound(void* param, obs_source_t*, const audio_data* audio, bool muted) {
    auto& s = *static_cast<LumSource*>(param);
    SoundPiece piece;
    piece.timestamp = audio->timestamp;
    piece.frames = audio->frames;
    piece.connection = s.connection.load();
    // A muted source is heard as silence, and the figure shows what is heard.
    piece.samples.assign(static_cast<std::size_t>(s.channels) * audio->frames, 0.0f);
    if (!muted)
        for (int c = 0; c < s.channels; ++c)
            if (audio->data[c] != nullptr)
                std::memcpy(piece.samples.data() + static_cast<std::size_t>(c) * audio->frames, audio->data[c], audio->frames * sizeof(float));
    {
        std::lock_guard lock(s.soundLock);
        s.sound.push_back(std::move(piece));
        while (s.sound.size() > maxWaitingPieces) s.sound.pop_front();
    }
    s.wake.notify_one();
}

// Both with connectLock held.
void connectTo(LumSource& s, obs_source_t* audio) {
    if (audio == s.source || obs_source_removed(audio) || (obs_source_get_output_flags(audio) & OBS_SOURCE_AUDIO) == 0) return;
    s.audio = obs_source_get_weak_source(audio);
    ++s.connection;
    s.waitingNoted = false;
    obs_source_add_audio_capture_callback(audio, captureSound, &s);
    blog(LOG_INFO, "[lum-obs] '%s' draws the sound of '%s'", nameOf(s), s.audioName.c_str());
}

void disconnect(LumSource& s, obs_source_t* known = nullptr) {
    if (s.audio == nullptr) return;
    obs_source_t* audio = known != nullptr ? known : obs_weak_source_get_source(s.audio);
    if (audio != nullptr) {
        obs_source_remove_audio_capture_callback(audio, captureSound, &s);
        if (known == nullptr) obs_source_release(audio);
    }
    obs_weak_source_release(s.audio);
    s.audio = nullptr;
}

// The source of that name, if it has sound; otherwise the figure runs on
// silence until one appears (an ordinary state while a scene collection loads).
void follow(LumSource& s, const std::string& name) {
    std::lock_guard lock(s.connectLock);
    if (name == s.audioName && s.audio != nullptr) return;
    disconnect(s);
    s.audioName = name;
    if (name.empty()) return;
    obs_source_t* audio = obs_get_source_by_name(name.c_str());
    if (audio != nullptr) {
        connectTo(s, audio);
        obs_source_release(audio);
    }
    if (s.audio == nullptr && !s.waitingNoted) {
        blog(LOG_INFO, "[lum-obs] '%s' waits for the audio source '%s'", nameOf(s), name.c_str());
        s.waitingNoted = true;
    }
}

obs_source_t* signalSource(calldata_t* data) { return static_cast<obs_source_t*>(calldata_ptr(data, "source")); }

// A source made or renamed to the name followed is picked up.
void sourceAppeared(void* param, calldata_t* data) {
    auto& s = *static_cast<LumSource*>(param);
    obs_source_t* candidate = signalSource(data);
    const char* newName = calldata_string(data, "new_name");
    const char* name = newName != nullptr ? newName : obs_source_get_name(candidate);
    std::lock_guard lock(s.connectLock);
    if (s.audio == nullptr && candidate != nullptr && name != nullptr && !s.audioName.empty() && s.audioName == name) connectTo(s, candidate);
}

// The source followed, removed or going away, is let go; its name is still
// followed, and a new source of that name is picked up.
void sourceWent(void* param, calldata_t* data) {
    auto& s = *static_cast<LumSource*>(param);
    obs_source_t* gone = signalSource(data);
    std::lock_guard lock(s.connectLock);
    if (s.audio != nullptr && gone != nullptr && obs_weak_source_references_source(s.audio, gone)) {
        disconnect(s, gone);
        blog(LOG_INFO, "[lum-obs] '%s': the audio source '%s' went; the figure runs on silence", nameOf(s), s.audioName.c_str());
    }
}

constexpr const char* appearSignals[] = {"source_create", "source_rename"};
constexpr const char* goneSignals[] = {"source_remove", "source_destroy"};

void watchSources(LumSource& s, bool on) {
    signal_handler_t* handler = obs_get_signal_handler();
    for (const char* name : appearSignals)
        on ? signal_handler_connect(handler, name, sourceAppeared, &s) : signal_handler_disconnect(handler, name, sourceAppeared, &s);
    for (const char* name : goneSignals)
        on ? signal_handler_connect(handler, name, sourceWent, &s) : signal_handler_disconnect(handler, name, sourceWent, &s);
}

// ---- drawing

// What the drawing thread keeps of one run of the plug-in (lumStart to lumEnd).
struct Run {
    lumrules::BlockCutter cutter;
    std::vector<int8_t> block;
    int width = 0, height = 0;
    bool transparent = false;
    std::vector<uint32_t> canvas;  // what the plug-in draws on, frame after frame
    std::vector<uint32_t> shown;   // the transparent frame made from it
    std::vector<std::pair<uint32_t, int32_t>> pending;  // settings to send before the next block
    bool running = false;       // between lumStart and lumEnd
    bool drawn = false;         // a frame of this run was drawn
    bool failed = false;        // the plug-in failed: black from then on
    unsigned connection = 0;
    long long runs = 0;         // runs started
    // Sample `baseSample` of the run (counted as the cutter counts) was heard at `base`.
    bool haveBase = false;
    uint64_t base = 0;
    int64_t baseSample = 0;
    int64_t pushed = 0;
    uint64_t lastSound = 0;
    std::vector<float> zeros;
};

uint64_t timestampOf(const LumSource& s, const Run& run, int64_t sample) {
    const int64_t offset = (sample - run.baseSample) * 1000000000 / s.rate;
    return static_cast<uint64_t>(static_cast<int64_t>(run.base) + offset);
}

void output(LumSource& s, Run& run, uint64_t timestamp, int64_t index = -1) {
    obs_source_frame frame{};
    frame.width = static_cast<uint32_t>(run.width);
    frame.height = static_cast<uint32_t>(run.height);
    frame.linesize[0] = frame.width * 4;
    frame.timestamp = timestamp;
    frame.full_range = true;
    if (run.transparent) {
        run.shown.resize(run.canvas.size());
        alphaFromFigure(run.canvas.data(), run.shown.data(), run.width, run.height, run.width * 4);
        frame.data[0] = reinterpret_cast<uint8_t*>(run.shown.data());
        frame.format = VIDEO_FORMAT_BGRA;
    } else {
        // The canvas's 0x00RRGGBB pixels are B, G, R and an unused byte in memory.
        frame.data[0] = reinterpret_cast<uint8_t*>(run.canvas.data());
        frame.format = VIDEO_FORMAT_BGRX;
    }
    obs_source_output_video(s.source, &frame);
    uint8_t stack[256];
    calldata_t data;
    calldata_init_fixed(&data, stack, sizeof stack);
    calldata_set_ptr(&data, "source", s.source);
    calldata_set_ptr(&data, "frame", &frame);
    calldata_set_int(&data, "run", run.runs);
    calldata_set_int(&data, "index", index);
    signal_handler_signal(obs_source_get_signal_handler(s.source), "frame_drawn", &data);
}

// The plug-in is let go and the source shows black; OBS goes on.
void fail(LumSource& s, Run& run, const char* what) {
    blog(LOG_WARNING, "[lum-obs] '%s' (%s): %s; the source shows black", nameOf(s), s.plugin->file.c_str(), what);
    s.module.reset();
    run.failed = true;
    run.running = false;
    std::fill(run.canvas.begin(), run.canvas.end(), 0u);
}

void takeSettings(LumSource& s, Run& run) {
    std::lock_guard lock(s.settingsLock);
    if (s.width != run.width || s.height != run.height) {
        // A new size is a new black canvas; the plug-in centres its figure in it.
        run.width = s.width;
        run.height = s.height;
        run.canvas.assign(static_cast<std::size_t>(run.width) * static_cast<std::size_t>(run.height), 0u);
    }
    run.transparent = s.transparent;
    for (std::size_t i = 0; i < s.values.size(); ++i)
        if (s.changed[i]) {
            run.pending.emplace_back(s.plugin->settings[i].probed.param.id, s.values[i]);
            s.changed[i] = false;
        }
}

// Starts a run: lumEnd of the last if one was drawn, lumStart, a black
// canvas and blocks counted again from the next sound.
void startRun(LumSource& s, Run& run) {
    run.cutter.reset(s.rate, speakerPositions(s.speakers), s.fpsNum, s.fpsDen);
    run.haveBase = false;
    run.pushed = 0;
    if (run.failed || (run.running && !run.drawn)) return;
    std::lock_guard lock(s.moduleLock);
    try {
        if (run.running) s.module->end();
        run.running = false;
        s.module->start();
        run.running = true;
        ++run.runs;
        run.drawn = false;
        std::fill(run.canvas.begin(), run.canvas.end(), 0u);
    } catch (const std::exception& error) {
        fail(s, run, error.what());
    }
}

void draw(LumSource& s, Run& run) {
    const int64_t frame = run.cutter.frame() - 1;
    const uint64_t timestamp = timestampOf(s, run, run.cutter.frameStartSample(frame));
    if (run.failed) return;
    {
        std::lock_guard lock(s.moduleLock);
        LumCanvas canvas{run.width, run.height, run.width * 4, run.canvas.data()};
        try {
            for (const auto& [id, value] : run.pending) lumhost::setParam(*s.module, id, value);
            run.pending.clear();
            s.module->displaySoundData(&canvas, run.block.data(), static_cast<uint32_t>(run.block.size()));
            run.drawn = true;
        } catch (const std::exception& error) {
            fail(s, run, error.what());
        }
    }
    // A plug-in that failed here gets its one black frame from the drawing loop.
    if (!run.failed) output(s, run, timestamp, frame);
}

void pushSound(LumSource& s, Run& run, const SoundPiece& piece, uint64_t now) {
    if (piece.connection != run.connection) {
        // Another audio source, or the same one again: a new run.
        run.connection = piece.connection;
        startRun(s, run);
    }
    const uint64_t expected = run.haveBase ? timestampOf(s, run, run.pushed) : 0;
    if (!run.haveBase || (piece.timestamp > expected ? piece.timestamp - expected : expected - piece.timestamp) > gapNs) {
        run.haveBase = true;
        run.base = piece.timestamp;
        run.baseSample = run.pushed;
    }
    std::vector<const void*> planes;
    for (int c = 0; c < s.channels; ++c) planes.push_back(piece.samples.data() + static_cast<std::size_t>(c) * piece.frames);
    run.cutter.pushPlanar(planes.data(), piece.frames, lumrules::SampleFormat::f32);
    run.pushed += static_cast<int64_t>(piece.frames);
    run.lastSound = now;
}

// No sound for a while: silence up to a little behind the clock.
void pushSilence(LumSource& s, Run& run, uint64_t now) {
    if (now - run.lastSound < silenceAfterNs) return;
    const uint64_t until = now - silenceAfterNs;
    if (!run.haveBase) {
        run.haveBase = true;
        run.base = until;
        run.baseSample = run.pushed;
        return;
    }
    const uint64_t next = timestampOf(s, run, run.pushed);
    if (until <= next) return;
    const auto frames = static_cast<std::size_t>((until - next) * static_cast<uint64_t>(s.rate) / 1000000000);
    if (frames == 0) return;
    if (run.zeros.size() < frames) run.zeros.assign(frames, 0.0f);
    std::vector<const void*> planes(static_cast<std::size_t>(s.channels), run.zeros.data());
    run.cutter.pushPlanar(planes.data(), frames, lumrules::SampleFormat::f32);
    run.pushed += static_cast<int64_t>(frames);
}

// Loads the source's own copy of the plug-in (lumInit) and sends it every
// setting; a Windows module's bridge may take seconds to start, so this is
// the drawing thread's work, never OBS's.
void load(LumSource& s, Run& run) {
    std::vector<int32_t> values;
    {
        std::lock_guard lock(s.settingsLock);
        values = s.values;
        std::fill(s.changed.begin(), s.changed.end(), false);
    }
    std::lock_guard lock(s.moduleLock);
    try {
        s.module = std::make_unique<lumhost::PluginModule>(s.plugin->file, lumhost::ModuleSharing::ownCopy);
        lumhost::initPlugin(*s.module);
        for (std::size_t i = 0; i < values.size(); ++i) lumhost::setParam(*s.module, s.plugin->settings[i].probed.param.id, values[i]);
    } catch (const std::exception& error) {
        fail(s, run, error.what());
    }
}

void work(LumSource& s) {
    // Named, so OBS's threads and this one are told apart in top and in the benchmark.
    pthread_setname_np(pthread_self(), "lum-obs draw");
    Run run;
    takeSettings(s, run);
    run.pending.clear();
    load(s, run);
    if (run.failed) output(s, run, os_gettime_ns());
    startRun(s, run);
    run.lastSound = os_gettime_ns();
    const auto period = std::chrono::nanoseconds(1000000000LL * s.fpsDen / s.fpsNum);
    for (;;) {
        std::deque<SoundPiece> pieces;
        {
            std::unique_lock lock(s.soundLock);
            s.wake.wait_for(lock, period, [&] { return s.stopping || !s.sound.empty(); });
            if (s.stopping) break;
            pieces.swap(s.sound);
        }
        const bool wasFailed = run.failed;
        const int oldWidth = run.width, oldHeight = run.height;
        takeSettings(s, run);
        const uint64_t now = os_gettime_ns();
        for (const auto& piece : pieces) pushSound(s, run, piece, now);
        pushSilence(s, run, now);
        while (run.cutter.cut(run.block)) draw(s, run);
        // A failed source shows black at its size.
        if (run.failed && (!wasFailed || run.width != oldWidth || run.height != oldHeight)) output(s, run, now);
    }
    std::lock_guard lock(s.moduleLock);
    if (run.running && s.module) {
        try {
            s.module->end();
        } catch (const std::exception& error) {
            blog(LOG_WARNING, "[lum-obs] '%s': %s", nameOf(s), error.what());
        }
    }
    s.module.reset();
}

// ---- presets

lumhost::PresetSetting presetSetting() {
    auto setting = lumhost::currentPresetSetting();
    // Presets installed with lumhost are found beside the lumhost that came with this module.
    setting.executableFolder = lumhostFolder();
    return setting;
}

void fillPresets(obs_property_t* list, const SourceDescription& plugin) {
    obs_property_list_clear(list);
    obs_property_list_add_string(list, obs_module_text("ChoosePreset"), "");
    const auto folders = lumhost::presetFolders(presetSetting(), lumhost::presetPluginName(plugin.file));
    for (const auto& found : lumhost::findPresets(folders))
        if (!found.shadowedBy) obs_property_list_add_string(list, found.name.c_str(), found.file.c_str());
}

// A preset chosen in the list: applied to the plug-in at once, and its values
// written to the settings so the properties show them. The list goes back to
// "choose", so opening the properties again applies nothing.
bool presetChosen(void* param, obs_properties_t*, obs_property_t*, obs_data_t* settings) {
    const std::string file = obs_data_get_string(settings, presetKey);
    if (param == nullptr || file.empty()) return false;
    auto& s = *static_cast<LumSource*>(param);
    obs_data_set_string(settings, presetKey, "");
    if (!isListedPreset(file, lumhost::presetFolders(presetSetting(), lumhost::presetPluginName(s.plugin->file)))) {
        blog(LOG_WARNING, "[lum-obs] '%s': %s is not a preset of the list; not applied", nameOf(s), file.c_str());
        return true;
    }
    std::lock_guard lock(s.moduleLock);
    if (!s.module) {
        blog(LOG_WARNING, "[lum-obs] '%s': the plug-in is not loaded; preset %s not applied", nameOf(s), file.c_str());
        return true;
    }
    try {
        std::ostringstream notes;
        lumhost::applyPreset(*s.module, file, notes);
        if (!notes.str().empty()) blog(LOG_INFO, "[lum-obs] '%s': %s", nameOf(s), notes.str().c_str());
        for (const auto& setting : s.plugin->settings)
            if (const auto now = lumhost::describeParam(*s.module, setting.probed.param.id)) writeSetting(setting, now->value, settings);
    } catch (const std::exception& error) {
        blog(LOG_WARNING, "[lum-obs] '%s': %s", nameOf(s), error.what());
    }
    return true;
}

bool savePresetClicked(obs_properties_t* properties, obs_property_t*, void* param) {
    auto& s = *static_cast<LumSource*>(param);
    obs_data_t* settings = obs_source_get_settings(s.source);
    std::string name = obs_data_get_string(settings, presetNameKey);
    obs_data_release(settings);
    const auto folder = lumhost::userPresetFolder(presetSetting(), lumhost::presetPluginName(s.plugin->file));
    try {
        if (name.empty()) name = lumhost::freePresetName(folder, "obs");
        std::lock_guard lock(s.moduleLock);
        if (!s.module) throw std::runtime_error("the plug-in is not loaded");
        const auto file = lumhost::savePreset(*s.module, folder, name);
        blog(LOG_INFO, "[lum-obs] '%s': saved preset %s", nameOf(s), file.c_str());
    } catch (const std::exception& error) {
        blog(LOG_WARNING, "[lum-obs] '%s': preset not saved: %s", nameOf(s), error.what());
        return false;
    }
    fillPresets(obs_properties_get(properties, presetKey), *s.plugin);
    return true;
}

// ---- OBS's callbacks

const char* getName(void* typeData) { return descriptionOf(typeData).displayName.c_str(); }

void update(void* data, obs_data_t* settings) {
    auto& s = *static_cast<LumSource*>(data);
    {
        std::lock_guard lock(s.settingsLock);
        s.width = static_cast<int>(std::clamp<long long>(obs_data_get_int(settings, widthKey), 1, 16384));
        s.height = static_cast<int>(std::clamp<long long>(obs_data_get_int(settings, heightKey), 1, 16384));
        s.transparent = obs_data_get_bool(settings, transparentKey);
        for (std::size_t i = 0; i < s.plugin->settings.size(); ++i) {
            const int32_t value = settingValue(s.plugin->settings[i], settings);
            if (value != s.values[i]) {
                s.values[i] = value;
                s.changed[i] = true;
            }
        }
    }
    follow(s, obs_data_get_string(settings, audioSourceKey));
}

void* create(obs_data_t* settings, obs_source_t* source) {
    auto* s = new LumSource;
    s->plugin = &descriptionOf(obs_source_get_type_data(source));
    s->source = source;
    obs_audio_info audio{};
    if (obs_get_audio_info(&audio)) {
        s->rate = static_cast<int>(audio.samples_per_sec);
        s->channels = static_cast<int>(get_audio_channels(audio.speakers));
        s->speakers = audio.speakers;
    }
    obs_video_info video{};
    if (obs_get_video_info(&video) && video.fps_num > 0 && video.fps_den > 0) {
        s->fpsNum = static_cast<int>(video.fps_num);
        s->fpsDen = static_cast<int>(video.fps_den);
    }
    for (const auto& setting : s->plugin->settings) s->values.push_back(setting.probed.param.value);
    s->changed.assign(s->values.size(), false);
    signal_handler_add(obs_source_get_signal_handler(source), frameSignal);
    watchSources(*s, true);
    update(s, settings);
    s->worker = std::thread(work, std::ref(*s));
    return s;
}

void destroy(void* data) {
    auto* s = static_cast<LumSource*>(data);
    watchSources(*s, false);
    {
        std::lock_guard lock(s->connectLock);
        disconnect(*s);
    }
    {
        std::lock_guard lock(s->soundLock);
        s->stopping = true;
    }
    s->wake.notify_one();
    s->worker.join();
    delete s;
}

void getDefaults(void* typeData, obs_data_t* settings) {
    const auto& plugin = descriptionOf(typeData);
    obs_data_set_default_string(settings, audioSourceKey, "");
    obs_data_set_default_int(settings, widthKey, lumrules::defaultWidth);
    obs_data_set_default_int(settings, heightKey, lumrules::defaultHeight);
    obs_data_set_default_bool(settings, transparentKey, false);
    obs_data_set_default_string(settings, presetKey, "");
    obs_data_set_default_string(settings, presetNameKey, "");
    for (const auto& setting : plugin.settings) {
        const int32_t value = setting.probed.param.value;
        switch (setting.probed.param.type) {
            case PARAMTYPE_TOGGLE: obs_data_set_default_bool(settings, setting.key.c_str(), value != 0); break;
            case PARAMTYPE_COLOR: obs_data_set_default_int(settings, setting.key.c_str(), obsColour(value)); break;
            default: obs_data_set_default_int(settings, setting.key.c_str(), value); break;
        }
    }
}

bool listAudioSource(void* param, obs_source_t* source) {
    if ((obs_source_get_output_flags(source) & OBS_SOURCE_AUDIO) != 0) {
        const char* name = obs_source_get_name(source);
        obs_property_list_add_string(static_cast<obs_property_t*>(param), name, name);
    }
    return true;
}

obs_properties_t* getProperties(void* data, void* typeData) {
    const auto& plugin = descriptionOf(typeData);
    obs_properties_t* properties = obs_properties_create();
    obs_property_t* audio = obs_properties_add_list(properties, audioSourceKey, obs_module_text("AudioSource"), OBS_COMBO_TYPE_LIST,
                                                    OBS_COMBO_FORMAT_STRING);
    obs_property_list_add_string(audio, obs_module_text("NoAudioSource"), "");
    obs_enum_sources(listAudioSource, audio);
    obs_properties_add_int(properties, widthKey, obs_module_text("Width"), 1, 16384, 1);
    obs_properties_add_int(properties, heightKey, obs_module_text("Height"), 1, 16384, 1);
    obs_properties_add_bool(properties, transparentKey, obs_module_text("Transparent"));
    for (const auto& setting : plugin.settings) {
        const auto& param = setting.probed.param;
        const char* label = param.name.empty() ? setting.key.c_str() : param.name.c_str();
        obs_property_t* property = nullptr;
        if (param.type == PARAMTYPE_TOGGLE)
            property = obs_properties_add_bool(properties, setting.key.c_str(), label);
        else if (param.type == PARAMTYPE_COLOR)
            property = obs_properties_add_color(properties, setting.key.c_str(), label);
        else if (setting.probed.range)
            property = obs_properties_add_int_slider(properties, setting.key.c_str(), label, setting.probed.range->low,
                                                     setting.probed.range->high, 1);
        else
            property = obs_properties_add_int(properties, setting.key.c_str(), label, INT32_MIN, INT32_MAX, 1);
        if (!param.description.empty()) obs_property_set_long_description(property, param.description.c_str());
    }
    obs_property_t* presets = obs_properties_add_list(properties, presetKey, obs_module_text("Preset"), OBS_COMBO_TYPE_LIST,
                                                      OBS_COMBO_FORMAT_STRING);
    fillPresets(presets, plugin);
    obs_property_set_modified_callback2(presets, presetChosen, data);
    if (data != nullptr) {
        obs_properties_add_text(properties, presetNameKey, obs_module_text("PresetName"), OBS_TEXT_DEFAULT);
        obs_properties_add_button2(properties, savePresetKey, obs_module_text("SavePreset"), savePresetClicked, data);
    }
    return properties;
}

}  // namespace

obs_source_info sourceInfo(const SourceDescription& description) {
    obs_source_info info{};
    info.id = description.id.c_str();
    info.type = OBS_SOURCE_TYPE_INPUT;
    info.output_flags = OBS_SOURCE_ASYNC_VIDEO;
    info.get_name = getName;
    info.create = create;
    info.destroy = destroy;
    info.update = update;
    info.get_defaults2 = getDefaults;
    info.get_properties2 = getProperties;
    info.type_data = const_cast<SourceDescription*>(&description);
    info.icon_type = OBS_ICON_TYPE_AUDIO_OUTPUT;
    return info;
}

}  // namespace lumobs
