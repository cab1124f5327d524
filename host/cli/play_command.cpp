// lumhost play: a live SDL2 window. The sound is decoded as it plays and
// queued a little ahead to SDL's audio device; each block is handed to the
// plug-in when the audio clock reaches the start of its frame.
#include <algorithm>
#include <chrono>
#include <optional>
#include <cstdio>
#include <vector>

#include "host/base/host_error.h"
#include "host/base/interrupt.h"
#include "host/cli/commands.h"
#include "host/cli/sound_input.h"
#include "host/live/live_window.h"
#include "host/live/play_keys.h"
#include "host/live/sound_output.h"
#include "host/plugins/plugin_run.h"

namespace lumhost {
namespace {

// The sound between what has been shown and what has been read: read ahead
// of the audio clock by a fraction of a second, dropped once shown.
class SoundWindow {
public:
    SoundWindow(std::unique_ptr<AudioSource> source, SoundOutput& output, int fps)
        : source_(std::move(source)), output_(output), rate_(source_->sampleRate()),
          channels_(source_->channels()), fps_(fps), chunk_(static_cast<std::size_t>(1024 * channels_)) {}

    const AudioSource& source() const { return *source_; }
    bool finished() const { return ended_ && firstFrame_ >= read_ && output_.position() >= read_; }

    // Reads until the device holds half a second more than it has played.
    void fill() {
        while (!ended_ && read_ - output_.position() < rate_ / 2) {
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

    // The next frame's block once the clock has reached the frame and its sound is in.
    bool nextBlock(BlockLayout layout, std::vector<int8_t>& block) {
        const int64_t from = frameStart(frame_, rate_, fps_);
        const int64_t to = std::min(frameStart(frame_ + 1, rate_, fps_), ended_ ? read_ : INT64_MAX);
        if (from >= to || from > output_.position() || to > read_) return false;
        const auto offset = static_cast<std::size_t>((from - firstFrame_) * channels_);
        makeSoundBlock(samples_.data() + offset, static_cast<std::size_t>(to - from), channels_, layout, block);
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

// Applies a key's change to its setting and says what the plug-in applied.
void changeSetting(const PluginModule& plugin, const KeyBinding& binding, SDL_Window* window) {
    const auto current = describeParam(plugin, binding.paramId);
    if (!current) return;
    int32_t value = current->value + binding.step;
    if (current->type == PARAMTYPE_TOGGLE) value = current->value != 0 ? 0 : 1;
    if (current->type == PARAMTYPE_COLOR) {
        const auto colours = playColours();
        const auto at = std::find(colours.begin(), colours.end(), current->value);
        value = (at == colours.end() || at + 1 == colours.end()) ? colours.front() : *(at + 1);
    }
    const auto applied = setParam(plugin, binding.paramId, value);
    if (!applied) return;
    const std::string text = current->name + ": " + formatParamValue(current->type, *applied);
    std::fprintf(stderr, "lumhost: %s\n", text.c_str());
    SDL_SetWindowTitle(window, ("lumhost - " + text).c_str());
}

// Live sound: each block as soon as its sound has arrived, never played back
// (a monitor's sound played again would feed back into it). How long blocks
// take from their arrival to the screen is kept, to report at the end.
class LiveBlocks {
public:
    LiveBlocks(AudioSource& source, int fps) : source_(source), rate_(source.sampleRate()), fps_(fps) {}

    // Every block whose sound is in; a host more than a quarter second
    // behind drops the older blocks and shows the newest.
    template <typename Show>
    bool showArrived(BlockLayout layout, std::vector<int8_t>& block, Show show) {
        bool shown = false;
        for (;;) {
            const int64_t from = frameStart(frame_, rate_, fps_), to = frameStart(frame_ + 1, rate_, fps_);
            const int64_t waiting = source_.available();
            if (waiting < to - from) break;
            samples_.resize(static_cast<std::size_t>((to - from) * source_.channels()));
            source_.read(samples_.data(), static_cast<std::size_t>(to - from));
            ++frame_;
            if (source_.paced() && waiting - (to - from) > rate_ / 4) {
                ++skipped_;
                continue;
            }
            makeSoundBlock(samples_.data(), static_cast<std::size_t>(to - from), source_.channels(), layout, block);
            show(block);
            if (const auto arrived = source_.arrivalOf(to - 1)) onScreenSoon_.push_back(*arrived);
            shown = true;
        }
        return shown;
    }

    // The window has shown the blocks drawn since the last call.
    void presented() {
        const auto now = std::chrono::steady_clock::now();
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
    AudioSource& source_;
    int rate_, fps_;
    int64_t frame_ = 0;
    int64_t skipped_ = 0;
    std::vector<float> samples_;
    std::vector<std::chrono::steady_clock::time_point> onScreenSoon_;
    std::vector<double> delays_;
};

}  // namespace

int runPlay(const PlayOptions& options) {
    const auto& frames = options.frames;
    PluginModule plugin(frames.plugin.plugin);
    auto source = openSound(frames);
    const auto info = initWithSettings(plugin, frames.plugin);

    SdlVideo sdl;
    const bool live = source->live();
    std::optional<SoundOutput> output;
    std::unique_ptr<SoundWindow> sound;
    std::optional<LiveBlocks> liveBlocks;
    if (live) {
        liveBlocks.emplace(*source, frames.fps);
    } else {
        output.emplace(source->sampleRate(), source->channels());
        sound = std::make_unique<SoundWindow>(std::move(source), *output, frames.fps);
        sound->fill();
    }
    LiveWindow screen("lumhost - " + fieldText(info.info.longName, sizeof info.info.longName), frames.width, frames.height);
    PluginRun run(plugin);
    std::vector<int8_t> block;
    const auto show = [&](const std::vector<int8_t>& data) {
        plugin.displaySoundData(&screen.canvas(), data.data(), static_cast<uint32_t>(data.size()));
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
                if (event.type != SDL_KEYDOWN) continue;
                const auto* binding = findKey(event.key.keysym.sym);
                if (binding == nullptr) continue;
                if (binding->action == KeyAction::quit) open = false;
                if (binding->action == KeyAction::step) changeSetting(plugin, *binding, screen.window());
                if (binding->action == KeyAction::restart) {
                    run.restart();
                    screen.clear();
                    if (!live) {
                        output->restart();
                        sound = std::make_unique<SoundWindow>(openSound(frames), *output, frames.fps);
                    }
                    changed = true;
                }
            } while (SDL_PollEvent(&event) != 0);
        }
        if (live) {
            source->watch();
            changed = liveBlocks->showArrived(frames.layout, block, show) || changed;
            if (source->stopped()) open = false;
        } else {
            sound->fill();
            // Every block whose frame has begun on the audio clock, in order.
            while (sound->nextBlock(frames.layout, block)) {
                show(block);
                changed = true;
            }
            if (sound->finished()) open = false;
        }
        if (changed) screen.present();
        if (live) liveBlocks->presented();
    }
    if (!live) {
        reportSoundWarnings(sound->source());
        return 0;
    }
    acceptInterrupt();
    liveBlocks->reportDelays();
    return reportLiveEnd(*source, liveBlocks->skipped(), liveBlocks->blockFrames(), "");
}

}  // namespace lumhost
