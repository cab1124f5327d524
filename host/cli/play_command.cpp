// lumhost play: a live SDL2 window. The sound is decoded as it plays and
// queued a little ahead to SDL's audio device; each block is handed to the
// plug-in when the sound of its frame is heard (shifted by --delay). Files
// play in turn as a player plays them, with pause, seeking, volume,
// fullscreen, an on-screen display and presets.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <deque>
#include <filesystem>
#include <optional>
#include <random>
#include <string_view>
#include <vector>

#include "host/base/host_error.h"
#include "host/base/interrupt.h"
#include "host/base/time_text.h"
#include "host/cli/commands.h"
#include "host/cli/sound_input.h"
#include "host/window/live_window.h"
#include "host/window/play_keys.h"
#include "host/window/sound_output.h"
#include "host/plugins/plugin_presets.h"
#include "host/plugins/plugin_run.h"
#include "host/sound/playlist.h"

namespace lumhost {
namespace {

using Clock = std::chrono::steady_clock;

// The sound between what has been shown and what has been read: read ahead
// of the audio clock by a fraction of a second, dropped once shown.
class SoundWindow {
public:
    SoundWindow(std::unique_ptr<AudioSource> source, SoundOutput& output, int fps)
        : source_(std::move(source)), output_(output), rate_(source_->sampleRate()),
          channels_(source_->channels()), fps_(fps), chunk_(static_cast<std::size_t>(1024 * channels_)) {}

    const AudioSource& source() const { return *source_; }
    // Every block shown and the clock past the end of the sound.
    bool finished(int64_t delay) const { return ended_ && firstFrame_ >= read_ && output_.position() - delay >= read_; }
    int rate() const { return rate_; }

    // Reads until the device holds half a second more than it has played,
    // and more for a figure shown `delay` early.
    void fill(int64_t delay) {
        while (!ended_ && read_ - output_.position() < rate_ / 2 + std::max<int64_t>(0, -delay)) {
            const std::size_t got = source_->read(chunk_.data(), 1024);
            if (got == 0) {
                ended_ = true;
                if (read_ == 0) throw HostError("audio " + source_->name() + " holds no sound");
                break;
            }
            samples_.insert(samples_.end(), chunk_.begin(), chunk_.begin() + static_cast<std::ptrdiff_t>(got) * channels_);
            output_.queue(chunk_.data(), got);
            read_ += static_cast<int64_t>(got);
        }
    }

    // Queues again, at the present gain, what has been read but not yet heard.
    void requeue() {
        const int64_t heard = std::clamp<int64_t>(output_.position(), firstFrame_, read_);
        output_.restart(heard);
        const auto offset = static_cast<std::size_t>((heard - firstFrame_) * channels_);
        if (read_ > heard) output_.queue(samples_.data() + offset, static_cast<std::size_t>(read_ - heard));
    }

    // The next frame's block once the clock, less `delay` sample frames, has
    // reached the frame and its sound is in.
    bool nextBlock(lumrules::BlockLayout layout, int64_t delay, std::vector<int8_t>& block) {
        const int64_t from = lumrules::frameStart(frame_, rate_, fps_);
        const int64_t to = std::min(lumrules::frameStart(frame_ + 1, rate_, fps_), ended_ ? read_ : INT64_MAX);
        if (from >= to || from > output_.position() - delay || to > read_) return false;
        const auto offset = static_cast<std::size_t>((from - firstFrame_) * channels_);
        lumrules::makeSoundBlock(samples_.data() + offset, static_cast<std::size_t>(to - from), channels_, layout, block);
        ++frame_;
        // Drop what no block needs any more.
        const auto used = static_cast<std::size_t>((to - firstFrame_) * channels_);
        samples_.erase(samples_.begin(), samples_.begin() + static_cast<std::ptrdiff_t>(used));
        firstFrame_ = to;
        return true;
    }

private:
    std::unique_ptr<AudioSource> source_;
    SoundOutput& output_;
    int rate_, channels_, fps_;
    std::vector<float> chunk_;
    std::vector<float> samples_;  // interleaved, from sample frame firstFrame_ on
    int64_t firstFrame_ = 0;
    int64_t read_ = 0;  // sample frames read from the source
    int64_t frame_ = 0;
    bool ended_ = false;
};

// Live sound: each block as soon as its sound has arrived (or --delay
// after), never played back (a monitor's sound played again would feed back
// into it). How long blocks take from their arrival to the screen is kept,
// to report at the end.
class LiveBlocks {
public:
    LiveBlocks(AudioSource& source, int fps) : source_(source), rate_(source.sampleRate()), fps_(fps) {}

    // Every block whose sound is in and whose time has come; a host more
    // than a quarter second behind drops the older blocks and shows the newest.
    template <typename Show>
    bool showArrived(lumrules::BlockLayout layout, Clock::duration delay, Show show) {
        for (;;) {
            const int64_t from = lumrules::frameStart(frame_, rate_, fps_), to = lumrules::frameStart(frame_ + 1, rate_, fps_);
            const int64_t waiting = source_.available();
            if (waiting < to - from) break;
            samples_.resize(static_cast<std::size_t>((to - from) * source_.channels()));
            source_.read(samples_.data(), static_cast<std::size_t>(to - from));
            ++frame_;
            if (source_.paced() && waiting - (to - from) > rate_ / 4) {
                ++skipped_;
                continue;
            }
            Pending next;
            lumrules::makeSoundBlock(samples_.data(), static_cast<std::size_t>(to - from), source_.channels(), layout, next.block);
            next.arrived = source_.arrivalOf(to - 1).value_or(Clock::now());
            pending_.push_back(std::move(next));
        }
        bool shown = false;
        const auto now = Clock::now();
        while (!pending_.empty() && pending_.front().arrived + delay <= now) {
            show(pending_.front().block);
            onScreenSoon_.push_back(pending_.front().arrived);
            pending_.pop_front();
            shown = true;
        }
        return shown;
    }

    // The window has shown the blocks drawn since the last call.
    void presented() {
        const auto now = Clock::now();
        for (const auto& arrived : onScreenSoon_) delays_.push_back(std::chrono::duration<double, std::milli>(now - arrived).count());
        onScreenSoon_.clear();
    }

    int64_t skipped() const { return skipped_; }
    int blockFrames() const { return rate_ / fps_; }

    // How long the blocks took from their sound's arrival to the screen.
    void reportDelays() {
        if (delays_.empty()) return;
        std::sort(delays_.begin(), delays_.end());
        std::fprintf(stderr, "lumhost: %zu blocks shown a median %.1f ms after their sound arrived (95%% within %.1f ms, at most %.1f ms)\n",
                     delays_.size(), delays_[delays_.size() / 2], delays_[delays_.size() * 95 / 100], delays_.back());
    }

private:
    struct Pending {
        std::vector<int8_t> block;
        Clock::time_point arrived;
    };
    AudioSource& source_;
    int rate_, fps_;
    int64_t frame_ = 0;
    int64_t skipped_ = 0;
    std::vector<float> samples_;
    std::deque<Pending> pending_;
    std::vector<Clock::time_point> onScreenSoon_;
    std::vector<double> delays_;
};

std::string fileLabel(const std::optional<std::string>& audio) {
    return audio ? std::filesystem::path(*audio).filename().string() : "demo";
}

// The one place a message reaches the user: a line on stderr (unless it is
// only for the window) and the overlay.
void tell(LiveWindow& screen, const std::string& text, bool alsoOnStderr = true, double seconds = 2.0) {
    if (alsoOnStderr) std::fprintf(stderr, "lumhost: %s\n", text.c_str());
    screen.overlay().show({text}, seconds);
}

// Applies a key's change to its setting and says what the plug-in applied.
void changeSetting(const PluginModule& plugin, const KeyBinding& binding, LiveWindow& screen) {
    const auto current = describeParam(plugin, binding.paramId);
    if (!current) return;
    const int32_t value = lumrules::steppedValue(current->type, current->value, binding.step);
    const auto applied = setParam(plugin, binding.paramId, value);
    if (!applied) return;
    tell(screen, current->name + ": " + lumrules::formatValue(current->type, *applied));
}

std::vector<std::string> helpLines() {
    std::vector<std::string> lines{"Keys"};
    for (auto& line : lumrules::keyHelpLines()) lines.push_back(std::move(line));
    return lines;
}

// The files of a play run, and the one playing: its sound window, where in
// the file it began, and how to open it again elsewhere.
class Playlist {
public:
    Playlist(const PlayOptions& options, int delayMs) : options_(options), delayMs_(delayMs) {
        files_ = expandPlaylist(options.playlist);
        if (options.playlist.empty()) files_.emplace_back();  // the demo
        if (files_.empty()) throw HostError("the playlist holds no files");
    }

    // Opens the file at `index` from `seconds` on; false (with its line said)
    // if it cannot be played, or with `fail` the error thrown.
    bool open(std::size_t index, double seconds, bool fail = false) {
        FrameOptions frames = options_.frames;
        frames.audio = files_[index].empty() ? std::nullopt : std::optional<std::string>(files_[index]);
        const double end = frames.duration ? frames.start + *frames.duration : INFINITY;
        frames.start = seconds;
        if (frames.duration) frames.duration = end - seconds;
        try {
            if (frames.duration && *frames.duration <= 0) throw HostError("past the end");
            auto source = openSound(frames);
            current_.reset();
            // The device plays at the file's own rate and channels.
            if (!output_ || rate_ != source->sampleRate() || channels_ != source->channels()) {
                output_.reset();
                rate_ = source->sampleRate();
                channels_ = source->channels();
                output_.emplace(rate_, channels_);
                output_->setGain(gain());
                output_->pause(paused_);
            }
            output_->restart();
            current_ = std::make_unique<SoundWindow>(std::move(source), *output_, frames.fps);
            current_->fill(delayFrames());
        } catch (const Interrupted&) {
            throw;
        } catch (const HostError& error) {
            current_.reset();
            if (fail) throw;
            std::fprintf(stderr, "lumhost: %s\n", error.what());
            ++failures_;
            return false;
        }
        index_ = index;
        base_ = seconds;
        end_ = std::min(end, seconds + static_cast<double>(current_->source().frames()) / current_->rate());
        return true;
    }

    // The first file from `index` on (going forward or back) that plays; false past either end.
    bool openFrom(std::size_t index, int direction) {
        for (auto at = static_cast<std::ptrdiff_t>(index); at >= 0 && at < static_cast<std::ptrdiff_t>(files_.size()); at += direction)
            if (open(static_cast<std::size_t>(at), options_.frames.start)) return true;
        return false;
    }

    SoundWindow* current() { return current_.get(); }
    std::size_t index() const { return index_; }
    std::size_t size() const { return files_.size(); }
    int failures() const { return failures_; }
    double seconds() const { return current_ ? base_ + static_cast<double>(output_->position()) / current_->rate() : 0; }
    SoundOutput* output() { return output_ ? &*output_ : nullptr; }
    // The figure's delay in sample frames of the playing file.
    int64_t delayFrames() const { return static_cast<int64_t>(delayMs_) * rate_ / 1000; }
    int delayMs() const { return delayMs_; }
    void setDelay(int ms) { delayMs_ = std::clamp(ms, lumrules::minDelayMs, lumrules::maxDelayMs); }

    void setPaused(bool paused) {
        paused_ = paused;
        if (output_) output_->pause(paused);
    }
    bool paused() const { return paused_; }
    // Volume in percent and mute; what is queued is played again at the new gain at once.
    void setVolume(int percent, bool muted) {
        volume_ = std::clamp(percent, 0, 100);
        muted_ = muted;
        if (!output_) return;
        output_->setGain(gain());
        if (current_) current_->requeue();
    }
    int volume() const { return volume_; }
    bool muted() const { return muted_; }
    double end() const { return end_; }
    std::string label() const {
        return fileLabel(files_[index_].empty() ? std::nullopt : std::optional<std::string>(files_[index_]));
    }
    // "name  0:12.50 / 3:25.00  [2/3]"
    std::string where() const {
        std::string text = label() + "  " + formatTime(std::max(0.0, seconds()));
        if (std::isfinite(end_)) text += " / " + formatTime(end_);
        if (files_.size() > 1) text += "  [" + std::to_string(index_ + 1) + "/" + std::to_string(files_.size()) + "]";
        return text;
    }

    
private:
    float gain() const { return muted_ ? 0.0f : static_cast<float>(volume_) / 100.0f; }

    const PlayOptions& options_;
    int delayMs_;
    std::optional<SoundOutput> output_;
    int rate_ = 0, channels_ = 0;
    bool paused_ = false, muted_ = false;
    int volume_ = 100;
    std::vector<std::string> files_;
    std::unique_ptr<SoundWindow> current_;
    std::size_t index_ = 0;
    double base_ = 0, end_ = INFINITY;
    int failures_ = 0;
};

// The presets of the plug-in being played, and the window's use of them.
class PresetKeys {
public:
    explicit PresetKeys(const PluginModule& plugin) : plugin_(plugin), name_(presetPluginName(plugin.path())) {}

    // The next preset after the one shown last; a bad one is said in one line and changes nothing.
    void next(LiveWindow& screen) {
        std::vector<FoundPreset> presets;
        for (auto& preset : findPresets(presetFolders(currentPresetSetting(), name_)))
            if (!preset.shadowedBy) presets.push_back(std::move(preset));
        if (presets.empty()) {
            tell(screen, "no presets for " + name_ + " (w saves one)");
            return;
        }
        next_ %= presets.size();
        const auto& preset = presets[next_++];
        try {
            applyPreset(plugin_, preset.file, std::cerr);
            tell(screen, "preset " + preset.name);
        } catch (const HostError& error) {
            tell(screen, error.what());
        }
    }

    void save(LiveWindow& screen) {
        try {
            const auto folder = userPresetFolder(currentPresetSetting(), name_);
            const auto file = savePreset(plugin_, folder, freePresetName(folder, "saved"));
            tell(screen, "saved preset " + file.stem().string() + " in " + file.string());
        } catch (const HostError& error) {
            tell(screen, error.what());
        }
    }

    void randomise(LiveWindow& screen) {
        std::vector<std::string> lines{"random settings"};
        for (auto& change : randomiseSettings(plugin_, random_)) lines.push_back(std::move(change));
        std::string joined;
        for (std::size_t i = 1; i < lines.size(); ++i) joined += (i > 1 ? ", " : "") + lines[i];
        std::fprintf(stderr, "lumhost: random settings: %s\n", joined.c_str());
        screen.overlay().show(lines, 3.0);
    }

private:
    const PluginModule& plugin_;
    std::string name_;
    std::size_t next_ = 0;
    std::mt19937 random_{std::random_device{}()};
};

std::string delayText(int delay) { return "delay " + std::string(delay > 0 ? "+" : "") + std::to_string(delay) + " ms"; }

}  // namespace

int runPlay(const PlayOptions& options) {
    const auto& frames = options.frames;
    PluginModule plugin(frames.plugin.plugin);
    const bool live = frames.capture || frames.input;
    std::unique_ptr<AudioSource> liveSource;
    if (live) liveSource = openSound(frames);
    int delayMs = std::clamp(options.delayMs, -lumrules::maxDelayMs, lumrules::maxDelayMs);
    if (live && delayMs < 0) throw HostError("--delay: live sound cannot be shown before it arrives; give 0 or more");
    initWithSettings(plugin, frames.plugin);

    // The sound first: a file that cannot be played fails before a window opens.
    std::optional<SdlVideo> sdl;
    std::optional<Playlist> playlist;
    std::optional<LiveBlocks> liveBlocks;
    if (live) {
        liveBlocks.emplace(*liveSource, frames.fps);
    } else {
        playlist.emplace(options, delayMs);
        if (playlist->size() == 1)
            playlist->open(0, frames.start, true);
        else if (!playlist->openFrom(0, 1))
            throw HostError("no file of the playlist plays");
    }
    sdl.emplace();
    const auto title = [&] { return "lumhost - " + (live ? liveSource->name() : playlist->label()); };
    LiveWindow screen(title(), frames.width, frames.height, options.fullscreen);
    if (!live && playlist->size() > 1) screen.overlay().show({playlist->where()}, 3.0);
    PluginRun run(plugin);
    PresetKeys presets(plugin);
    std::vector<int8_t> block;
    const auto show = [&](const std::vector<int8_t>& data) {
        plugin.displaySoundData(&screen.canvas(), data.data(), static_cast<uint32_t>(data.size()));
    };
    bool helpShown = false;
    // --cycle-presets: when the next preset is due.
    const auto presetPeriod = std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(options.presetSeconds.value_or(0)));
    Clock::time_point nextPresetAt = Clock::now() + presetPeriod;
    // A new file: its name in the title and the overlay.
    const auto announce = [&] {
        SDL_SetWindowTitle(screen.window(), title().c_str());
        screen.overlay().show({playlist->where()}, 3.0);
    };
    const auto changeFile = [&](int direction) {
        if (live) return true;
        const auto at = static_cast<std::ptrdiff_t>(playlist->index()) + direction;
        if (at < 0 || at >= static_cast<std::ptrdiff_t>(playlist->size()) || !playlist->openFrom(static_cast<std::size_t>(at), direction))
            return false;
        announce();
        return true;
    };
    for (bool open = true; open && !interrupted();) {
        bool changed = false;
        SDL_Event event;
        if (SDL_WaitEventTimeout(&event, live ? 1 : 4) != 0) {
            do {
                if (event.type == SDL_QUIT) open = false;
                if (event.type == SDL_WINDOWEVENT && event.window.event == SDL_WINDOWEVENT_SIZE_CHANGED) {
                    screen.resize(event.window.data1, event.window.data2);
                    changed = true;
                }
                if (event.type == SDL_MOUSEBUTTONDOWN && event.button.button == SDL_BUTTON_LEFT && event.button.clicks == 2)
                    screen.setFullscreen(!screen.fullscreen());
                const KeyBinding* binding = nullptr;
                if (event.type == SDL_KEYDOWN) binding = findKey(event.key.keysym.sym, event.key.keysym.mod);
                if (event.type == SDL_TEXTINPUT) binding = findTyped(event.text.text);
                if (binding == nullptr) continue;
                changed = true;
                switch (binding->action) {
                    case KeyAction::none: break;
                    case KeyAction::quit:
                        if (std::string_view(binding->key) == "Escape" && screen.fullscreen())
                            screen.setFullscreen(false);
                        else
                            open = false;
                        break;
                    case KeyAction::step: changeSetting(plugin, *binding, screen); break;
                    case KeyAction::restart:
                        run.restart();
                        screen.clear();
                        if (!live && !playlist->open(playlist->index(), frames.start)) open = changeFile(1);
                        break;
                    case KeyAction::fullscreen: screen.setFullscreen(!screen.fullscreen()); break;
                    case KeyAction::help:
                        helpShown = !helpShown;
                        if (helpShown)
                            screen.overlay().show(helpLines(), 0);
                        else
                            screen.overlay().hide();
                        break;
                    case KeyAction::nextPreset: presets.next(screen); break;
                    case KeyAction::savePreset: presets.save(screen); break;
                    case KeyAction::randomise: presets.randomise(screen); break;
                    case KeyAction::delay:
                        if (live) {
                            delayMs = std::clamp(delayMs + binding->step, 0, lumrules::maxDelayMs);
                            tell(screen, delayText(delayMs));
                        } else {
                            playlist->setDelay(playlist->delayMs() + binding->step);
                            tell(screen, delayText(playlist->delayMs()));
                        }
                        break;
                    case KeyAction::pause:
                        if (live) break;
                        playlist->setPaused(!playlist->paused());
                        if (playlist->paused()) {
                            std::fprintf(stderr, "lumhost: paused at %s\n", formatTime(playlist->seconds()).c_str());
                            screen.overlay().show({"paused", playlist->where()}, 0);
                        } else {
                            tell(screen, "playing from " + formatTime(playlist->seconds()), true, 1.5);
                        }
                        break;
                    case KeyAction::seek: {
                        if (live) break;
                        const double target = std::max(frames.start, playlist->seconds() + binding->step);
                        if (target >= playlist->end()) {
                            if (!changeFile(1)) open = false;
                            break;
                        }
                        if (!playlist->open(playlist->index(), target)) {
                            open = changeFile(1);
                            break;
                        }
                        std::fprintf(stderr, "lumhost: at %s\n", formatTime(target).c_str());
                        screen.overlay().show(playlist->paused() ? std::vector<std::string>{"paused", playlist->where()}
                                                                 : std::vector<std::string>{playlist->where()},
                                              playlist->paused() ? 0 : 2.0);
                        break;
                    }
                    case KeyAction::nextFile:
                    case KeyAction::previousFile: {
                        const int direction = binding->action == KeyAction::nextFile ? 1 : -1;
                        if (!live && !changeFile(direction) && direction > 0) open = false;
                        break;
                    }
                    case KeyAction::mute:
                        if (live) break;
                        playlist->setVolume(playlist->volume(), !playlist->muted());
                        tell(screen, playlist->muted() ? "muted" : "volume " + std::to_string(playlist->volume()) + "%");
                        break;
                    case KeyAction::volume:
                        if (live) break;
                        playlist->setVolume(playlist->volume() + binding->step, false);
                        tell(screen, "volume " + std::to_string(playlist->volume()) + "%");
                        break;
                }
            } while (SDL_PollEvent(&event) != 0);
        }
        if (options.presetSeconds && Clock::now() >= nextPresetAt) {
            presets.next(screen);
            nextPresetAt += presetPeriod;
            changed = true;
        }
        if (live) {
            liveSource->watch();
            changed = liveBlocks->showArrived(frames.layout, std::chrono::milliseconds(delayMs), show) || changed;
            if (liveSource->stopped()) open = false;
        } else if (open && !playlist->paused()) {
            try {
                auto* sound = playlist->current();
                sound->fill(playlist->delayFrames());
                // Every block whose frame has begun on the audio clock (less the delay), in order.
                while (sound->nextBlock(frames.layout, playlist->delayFrames(), block)) {
                    show(block);
                    changed = true;
                }
                if (sound->finished(playlist->delayFrames())) {
                    reportSoundWarnings(sound->source());
                    if (!changeFile(1)) open = false;
                }
            } catch (const Interrupted&) {
                throw;
            } catch (const HostError& error) {
                // A file that fails while it plays: its line, and on to the next.
                std::fprintf(stderr, "lumhost: %s\n", error.what());
                if (!changeFile(1)) open = false;
            }
        }
        if (screen.overlay().expired()) changed = true;
        if (changed) screen.present();
        if (live) liveBlocks->presented();
    }
    if (!live) return 0;
    acceptInterrupt();
    liveBlocks->reportDelays();
    return reportLiveEnd(*liveSource, liveBlocks->skipped(), liveBlocks->blockFrames(), "");
}

}  // namespace lumhost
