#include "obs/lum_source.h"

#include <pthread.h>
#include <util/platform.h>

#include <algorithm>
#include <cstdlib>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <memory>
#include <mutex>
#include <new>
#include <optional>
#include <string>
#include <vector>

#include "live/live_run.h"
#include "live/settings_mirror.h"
#include "loading/plugins/plugin_presets.h"
#include "obs/frame_alpha.h"
#include "obs/preset_choice.h"
#include "obs/speaker_layout.h"
#include "rules/defaults.h"
#include "rules/presets.h"

namespace lumobs {
namespace {

const SourceDescription& descriptionOf(void* typeData) { return *static_cast<const SourceDescription*>(typeData); }

// One source: OBS's glue around a live run of its own copy of the plug-in.
// The run owns the drawing, its timing and its failures; this keeps what OBS
// hands over (settings, the audio source followed) and hands frames to OBS.
struct LumSource {
    const SourceDescription* plugin = nullptr;
    obs_source_t* source = nullptr;
    int channels = 2;  // OBS's, as the capture callback hands them
    lumlive::CanvasLimit limit{};

    // The settings as last handed to the run: written by update (on OBS's
    // video thread) and by presets (on its interface thread). The mirror is
    // what presets are applied to and saved from, so neither waits for the plug-in.
    std::mutex settingsLock;
    int width = lumrules::defaultWidth;
    int height = lumrules::defaultHeight;
    std::vector<int32_t> values;  // by setting, as OBS's settings have them
    lumlive::SettingsMirror mirror;
    std::atomic<bool> transparent{false};

    // The audio source, followed by name: connected by update and OBS's
    // signals. Recursive: letting go of a source may be its last reference,
    // and its source_destroy signal then comes back here on the same thread.
    std::recursive_mutex connectLock;
    std::string audioName;
    obs_weak_source_t* audio = nullptr;
    bool waitingNoted = false;

    std::unique_ptr<lumlive::LiveRun> run;

    // Only on the run's thread, which calls back one at a time.
    std::vector<uint32_t> shown;  // a transparent frame made from the canvas
    long long lastRun = 0;
    std::optional<uint64_t> lastDate;  // of the last frame handed over, on the audio source's clock
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

// The canvas asked for, within what the plug-in can draw.
int sizeSetting(obs_data_t* data, const char* key, int limit) {
    return static_cast<int>(std::clamp<long long>(obs_data_get_int(data, key), 1, limit));
}

lumlive::SettingsMirror mirrorOf(const SourceDescription& plugin) {
    std::vector<lumlive::MirroredSetting> settings;
    for (const auto& setting : plugin.settings) settings.push_back({setting.probed.param, setting.probed.range});
    return lumlive::SettingsMirror(std::move(settings));
}

// ---- the audio source

// On OBS's audio thread: the sound goes to the run as it comes, with OBS's
// own timestamp (the audio source's clock, whatever it is), and nothing else.
void captureSound(void* param, obs_source_t*, const audio_data* audio, bool muted) {
    auto& s = *static_cast<LumSource*>(param);
    // A muted source is heard as silence, and the figure shows what is heard.
    std::vector<float> silence;
    const void* planes[MAX_AV_PLANES] = {};
    for (int c = 0; c < s.channels; ++c) {
        planes[c] = muted ? nullptr : audio->data[c];
        if (planes[c] == nullptr) {
            silence.resize(audio->frames, 0.0f);
            planes[c] = silence.data();
        }
    }
    s.run->pushPlanar(planes, audio->frames, lumrules::SampleFormat::f32, static_cast<int64_t>(audio->timestamp));
}

// Both with connectLock held.
void connectTo(LumSource& s, obs_source_t* audio) {
    if (audio == s.source || obs_source_removed(audio) || (obs_source_get_output_flags(audio) & OBS_SOURCE_AUDIO) == 0) return;
    s.audio = obs_source_get_weak_source(audio);
    s.waitingNoted = false;
    // Another source, or the same one again: a new run, its clock anchored afresh.
    s.run->restart();
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

// ---- frames, on the run's thread

// Hands OBS a frame of 0x00RRGGBB pixels (B, G, R and an unused byte in
// memory), dated on the audio source's clock, and gives frame_drawn.
void output(LumSource& s, const uint32_t* pixels, int width, int height, uint64_t date, long long run, long long index) {
    obs_source_frame frame{};
    frame.width = static_cast<uint32_t>(width);
    frame.height = static_cast<uint32_t>(height);
    frame.linesize[0] = frame.width * 4;
    frame.timestamp = date;
    frame.full_range = true;
    frame.format = VIDEO_FORMAT_BGRX;
    frame.data[0] = reinterpret_cast<uint8_t*>(const_cast<uint32_t*>(pixels));
    if (s.transparent.load()) {
        s.shown.resize(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
        alphaFromFigure(pixels, s.shown.data(), width, height, width * 4);
        frame.data[0] = reinterpret_cast<uint8_t*>(s.shown.data());
        frame.format = VIDEO_FORMAT_BGRA;
    }
    obs_source_output_video(s.source, &frame);
    uint8_t stack[256];
    calldata_t data;
    calldata_init_fixed(&data, stack, sizeof stack);
    calldata_set_ptr(&data, "source", s.source);
    calldata_set_ptr(&data, "frame", &frame);
    calldata_set_int(&data, "run", run);
    calldata_set_int(&data, "index", index);
    signal_handler_signal(obs_source_get_signal_handler(s.source), "frame_drawn", &data);
}

void showPicture(LumSource& s, const lumlive::Picture& picture) {
    // Named, so OBS's threads and the one that draws are told apart in top and in the benchmark.
    thread_local bool named = false;
    if (!named) named = pthread_setname_np(pthread_self(), "lum-obs draw") == 0;
    s.lastRun = picture.run;
    s.lastDate = static_cast<uint64_t>(picture.date);
    try {
        output(s, picture.pixels, picture.width, picture.height, static_cast<uint64_t>(picture.date), picture.run, picture.frame);
    } catch (const std::bad_alloc&) {
        // Only the transparent copy allocates: no memory for it is a frame not shown.
        s.shown = {};
        blog(LOG_WARNING, "[lum-obs] '%s': no memory for a %dx%d transparent frame", nameOf(s), picture.width, picture.height);
    }
}

// The plug-in failed, or cannot draw this size: one black frame, which OBS
// goes on showing until the run draws again. Dated as the last frame (on the
// audio source's clock, which OBS follows), so OBS shows it at once.
void showNothing(LumSource& s, int width, int height) {
    try {
        const std::vector<uint32_t> black(static_cast<std::size_t>(width) * static_cast<std::size_t>(height), 0u);
        output(s, black.data(), width, height, s.lastDate.value_or(os_gettime_ns()), s.lastRun, -1);
    } catch (const std::bad_alloc&) {
        obs_source_output_video(s.source, nullptr);
    }
}

void logLine(const LumSource& s, lumlive::LogLevel level, const std::string& line) {
    blog(level == lumlive::LogLevel::warning ? LOG_WARNING : LOG_INFO, "[lum-obs] '%s': %s", nameOf(s), line.c_str());
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

// A preset chosen in the list: applied to the settings kept beside the run
// (never to the plug-in, which may be drawing or hung), handed to the run for
// the next frame, and written to the settings so the properties show them.
// The list goes back to "choose", so opening the properties again applies nothing.
bool presetChosen(void* param, obs_properties_t*, obs_property_t*, obs_data_t* settings) {
    const std::string file = obs_data_get_string(settings, presetKey);
    if (param == nullptr || file.empty()) return false;
    auto& s = *static_cast<LumSource*>(param);
    obs_data_set_string(settings, presetKey, "");
    if (!isListedPreset(file, lumhost::presetFolders(presetSetting(), lumhost::presetPluginName(s.plugin->file)))) {
        blog(LOG_WARNING, "[lum-obs] '%s': %s is not a preset of the list; not applied", nameOf(s), file.c_str());
        return true;
    }
    try {
        const auto text = lumhost::readPresetFile(file);
        std::vector<std::string> notes;
        std::lock_guard lock(s.settingsLock);
        for (const auto& [id, value] : lumlive::applyPresetText(s.mirror, text, file, &notes)) s.run->set(id, value);
        for (const auto& note : notes) blog(LOG_INFO, "[lum-obs] '%s': %s", nameOf(s), note.c_str());
        for (std::size_t i = 0; i < s.plugin->settings.size(); ++i) {
            const auto& setting = s.plugin->settings[i];
            if (const auto now = s.mirror.describe(setting.probed.param.id)) {
                writeSetting(setting, now->value, settings);
                s.values[i] = settingValue(setting, settings);
            }
        }
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
    try {
        const auto folder = lumhost::userPresetFolder(presetSetting(), lumhost::presetPluginName(s.plugin->file));
        if (name.empty()) name = lumhost::freePresetName(folder, "obs");
        std::string text;
        {
            std::lock_guard lock(s.settingsLock);
            text = lumrules::presetText(s.mirror);
        }
        const auto file = lumhost::savePresetText(folder, name, text);
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

// Only what changed goes to the run, which applies it before its next frame.
void update(void* data, obs_data_t* settings) {
    auto& s = *static_cast<LumSource*>(data);
    {
        std::lock_guard lock(s.settingsLock);
        const int width = sizeSetting(settings, widthKey, s.limit.width);
        const int height = sizeSetting(settings, heightKey, s.limit.height);
        if (width != s.width || height != s.height) {
            s.width = width;
            s.height = height;
            s.run->resize(width, height);
        }
        s.transparent = obs_data_get_bool(settings, transparentKey);
        for (std::size_t i = 0; i < s.plugin->settings.size(); ++i) {
            const int32_t value = settingValue(s.plugin->settings[i], settings);
            if (value == s.values[i]) continue;
            const uint32_t id = s.plugin->settings[i].probed.param.id;
            s.values[i] = value;
            s.mirror.set(id, value);
            s.run->set(id, value);
        }
    }
    follow(s, obs_data_get_string(settings, audioSourceKey));
}

void* create(obs_data_t* settings, obs_source_t* source) {
    auto* s = new LumSource;
    s->plugin = &descriptionOf(obs_source_get_type_data(source));
    s->source = source;
    s->limit = lumlive::canvasLimitFor(s->plugin->file);
    s->mirror = mirrorOf(*s->plugin);
    lumlive::Options options;
    options.pluginFile = s->plugin->file;
    obs_audio_info audio{};
    if (obs_get_audio_info(&audio)) {
        options.rate = static_cast<int>(audio.samples_per_sec);
        options.channels = static_cast<int>(get_audio_channels(audio.speakers));
        // OBS orders its channels its own way: the downmix takes each by where it stands.
        options.positions = speakerPositions(audio.speakers);
    }
    s->channels = options.channels;
    obs_video_info video{};
    options.fpsNum = lumrules::defaultFps;
    options.fpsDen = 1;
    if (obs_get_video_info(&video) && video.fps_num > 0 && video.fps_den > 0) {
        options.fpsNum = static_cast<int>(video.fps_num);
        options.fpsDen = static_cast<int>(video.fps_den);
    }
    // The settings stored with the source, sent after lumInit.
    for (const auto& setting : s->plugin->settings) {
        const int32_t value = settingValue(setting, settings);
        s->values.push_back(value);
        s->mirror.set(setting.probed.param.id, value);
        options.settings.emplace_back(setting.probed.param.id, value);
    }
    s->width = options.width = sizeSetting(settings, widthKey, s->limit.width);
    s->height = options.height = sizeSetting(settings, heightKey, s->limit.height);
    s->transparent = obs_data_get_bool(settings, transparentKey);
    // OBS is live: its sound comes as it is heard, so a block the plug-in
    // cannot draw in time is dropped, and the figure fades on silence when
    // the audio source stops or goes.
    options.live = true;
    options.silenceWhenStopped = true;
    options.onPicture = [s](const lumlive::Picture& picture) { showPicture(*s, picture); };
    options.onNothing = [s](int width, int height) { showNothing(*s, width, height); };
    options.log = [s](lumlive::LogLevel level, const std::string& line) { logLine(*s, level, line); };
    s->run = std::make_unique<lumlive::LiveRun>(std::move(options));
    signal_handler_add(obs_source_get_signal_handler(source), frameSignal);
    watchSources(*s, true);
    follow(*s, obs_data_get_string(settings, audioSourceKey));
    return s;
}

// Returns within about a second whatever the plug-in does: a hung plug-in's
// thread is left to itself, and this module stays loaded for it (linked so).
void destroy(void* data) {
    auto* s = static_cast<LumSource*>(data);
    watchSources(*s, false);
    {
        std::lock_guard lock(s->connectLock);
        disconnect(*s);
    }
    s->run->stop(std::chrono::milliseconds(500));
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

// "At most 4096 x 2304 pixels: ..." from the module's texts.
std::string sizeLimitText(const lumlive::CanvasLimit& limit) {
    char text[256];
    std::snprintf(text, sizeof text, obs_module_text("SizeLimit"), limit.width, limit.height);
    return text;
}

obs_properties_t* getProperties(void* data, void* typeData) {
    const auto& plugin = descriptionOf(typeData);
    obs_properties_t* properties = obs_properties_create();
    obs_property_t* audio = obs_properties_add_list(properties, audioSourceKey, obs_module_text("AudioSource"), OBS_COMBO_TYPE_LIST,
                                                    OBS_COMBO_FORMAT_STRING);
    obs_property_list_add_string(audio, obs_module_text("NoAudioSource"), "");
    obs_enum_sources(listAudioSource, audio);
    // No larger than the plug-in can draw: a Windows module through the bridge less than a native one.
    const auto limit = lumlive::canvasLimitFor(plugin.file);
    const std::string sizeNote = sizeLimitText(limit);
    obs_property_set_long_description(obs_properties_add_int(properties, widthKey, obs_module_text("Width"), 1, limit.width, 1), sizeNote.c_str());
    obs_property_set_long_description(obs_properties_add_int(properties, heightKey, obs_module_text("Height"), 1, limit.height, 1), sizeNote.c_str());
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
