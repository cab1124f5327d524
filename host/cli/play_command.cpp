// lumhost play: a live SDL2 window. The player (host/player) decodes the
// sound as it plays, queues it a little ahead to SDL's audio device and hands
// each block to the plug-in when the sound of its frame is heard (shifted by
// --delay); files play in turn as a player plays them. Here are the command
// line's side of it, the window and the keys.
#include <algorithm>
#include <chrono>
#include <memory>
#include <optional>
#include <string_view>
#include <vector>

#include "host/base/host_error.h"
#include "host/base/interrupt.h"
#include "host/cli/commands.h"
#include "host/cli/sound_input.h"
#include "host/player/live_blocks.h"
#include "host/player/player.h"
#include "host/player/plugin_keys.h"
#include "host/plugins/plugin_run.h"
#include "host/window/live_window.h"
#include "host/window/play_keys.h"
#include "host/window/sound_output.h"

namespace lumhost {
namespace {

using Clock = std::chrono::steady_clock;

// SDL's audio device as the player's output.
class DeviceOutput final : public PlayerOutput {
public:
    DeviceOutput(int rate, int channels) : sound_(rate, channels) {}
    void queue(const float* interleaved, std::size_t frames) override { sound_.queue(interleaved, frames); }
    int64_t position() const override { return sound_.position(); }
    void restart(int64_t frame) override { sound_.restart(frame); }
    void pause(bool paused) override { sound_.pause(paused); }
    void setGain(float gain) override { sound_.setGain(gain); }

private:
    SoundOutput sound_;
};

// The window as the player's screen: the overlay and the title.
class WindowScreen final : public PlayerScreen {
public:
    explicit WindowScreen(LiveWindow& window) : window_(window) {}
    void show(const std::vector<std::string>& lines, double seconds) override { window_.overlay().show(lines, seconds); }
    void playing(const std::string& label) override { SDL_SetWindowTitle(window_.window(), ("lumhost - " + label).c_str()); }

private:
    LiveWindow& window_;
};

std::vector<std::string> helpLines() {
    std::vector<std::string> lines{"Keys"};
    for (auto& line : lumrules::keyHelpLines()) lines.push_back(std::move(line));
    return lines;
}

}  // namespace

int runPlay(const PlayOptions& options) {
    const auto& frames = options.frames;
    const bool live = frames.capture || frames.input;
    setCommentary(!options.quiet);
    int delayMs = std::clamp(options.delayMs, lumrules::minDelayMs, lumrules::maxDelayMs);
    if (live && delayMs < 0) throw HostError("--delay: live sound cannot be shown before it arrives; give 0 or more");
    // Somewhere to show the window before anything else: without a display
    // no plug-in (nor its bridge) is started and no sound is heard.
    SdlVideo sdl;
    PluginModule plugin(frames.plugin.plugin);
    std::unique_ptr<AudioSource> liveSource;
    if (live) liveSource = openSound(frames);
    initWithSettings(plugin, frames.plugin);

    // The sound next: a file that cannot be played fails before a window opens.
    std::optional<Player> player;
    std::optional<LiveBlocks> liveBlocks;
    if (live) {
        liveBlocks.emplace(*liveSource, frames.fps, frames.layout, delayMs);
    } else {
        const auto openFile = [&frames](const std::optional<std::string>& file, double start, std::optional<double> duration) {
            FrameOptions part = frames;
            part.audio = file;
            part.start = start;
            part.duration = duration;
            return openSound(part);
        };
        player.emplace(PlayerSettings{options.playlist, frames.start, frames.duration, frames.fps, frames.layout, delayMs}, openFile,
                       [](int rate, int channels) { return std::make_unique<DeviceOutput>(rate, channels); });
        player->begin();
    }
    LiveWindow window("lumhost - " + (live ? liveSource->name() : player->label()), frames.width, frames.height, options.fullscreen);
    WindowScreen screen(window);
    if (!live && player->size() > 1) screen.show({player->where()}, 3.0);
    PluginRun run(plugin);
    PresetKeys presets(plugin);
    const auto show = [&](const std::vector<int8_t>& data) {
        plugin.displaySoundData(&window.canvas(), data.data(), static_cast<uint32_t>(data.size()));
    };
    bool helpShown = false;
    // --cycle-presets: when the next preset is due.
    const auto presetPeriod = std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(options.presetSeconds.value_or(0)));
    Clock::time_point nextPresetAt = Clock::now() + presetPeriod;
    for (bool open = true; open && !interrupted();) {
        bool changed = false;
        SDL_Event event;
        if (SDL_WaitEventTimeout(&event, live ? 1 : 4) != 0) {
            do {
                if (event.type == SDL_QUIT) open = false;
                if (event.type == SDL_WINDOWEVENT && event.window.event == SDL_WINDOWEVENT_SIZE_CHANGED) {
                    window.resize(event.window.data1, event.window.data2);
                    changed = true;
                }
                if (event.type == SDL_MOUSEBUTTONDOWN && event.button.button == SDL_BUTTON_LEFT && event.button.clicks == 2)
                    window.setFullscreen(!window.fullscreen());
                const KeyBinding* binding = nullptr;
                if (event.type == SDL_KEYDOWN) binding = findKey(event.key.keysym.sym, event.key.keysym.mod);
                if (event.type == SDL_TEXTINPUT) binding = findTyped(event.text.text);
                if (binding == nullptr) continue;
                changed = true;
                switch (binding->action) {
                    case KeyAction::none: break;
                    case KeyAction::quit:
                        if (std::string_view(binding->key) == "Escape" && window.fullscreen())
                            window.setFullscreen(false);
                        else
                            open = false;
                        break;
                    case KeyAction::step: changeSetting(plugin, *binding, screen); break;
                    case KeyAction::restart:
                        run.restart();
                        window.clear();
                        if (!live) player->restartFile(screen);
                        break;
                    case KeyAction::fullscreen: window.setFullscreen(!window.fullscreen()); break;
                    case KeyAction::help:
                        helpShown = !helpShown;
                        if (helpShown)
                            window.overlay().show(helpLines(), 0);
                        else
                            window.overlay().hide();
                        break;
                    case KeyAction::nextPreset: presets.next(screen); break;
                    case KeyAction::savePreset: presets.save(screen); break;
                    case KeyAction::randomise: presets.randomise(screen); break;
                    case KeyAction::delay:
                        if (live) {
                            liveBlocks->setDelay(liveBlocks->delayMs() + binding->step);
                            tell(screen, delayText(liveBlocks->delayMs()));
                        } else {
                            player->changeDelay(binding->step, screen);
                        }
                        break;
                    case KeyAction::pause:
                        if (!live) player->togglePause(screen);
                        break;
                    case KeyAction::seek:
                        if (!live) player->seek(binding->step, screen);
                        break;
                    case KeyAction::nextFile:
                        if (!live) player->changeFile(1, screen);
                        break;
                    case KeyAction::previousFile:
                        if (!live) player->changeFile(-1, screen);
                        break;
                    case KeyAction::mute:
                        if (!live) player->toggleMute(screen);
                        break;
                    case KeyAction::volume:
                        if (!live) player->changeVolume(binding->step, screen);
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
            changed = liveBlocks->showArrived(show) || changed;
            // Sound that stopped ends the window once its last blocks are shown.
            if (liveSource->stopped() && !liveBlocks->holding()) open = false;
        } else if (open) {
            changed = player->advance(screen, show) || changed;
        }
        if (!live && player->over()) open = false;
        if (window.overlay().expired()) changed = true;
        if (changed) window.present();
        if (live) liveBlocks->presented();
    }
    if (!live) return 0;
    acceptInterrupt();
    liveBlocks->reportDelays();
    return reportLiveEnd(*liveSource, liveBlocks->skipped(), liveBlocks->blockFrames(), "");
}

}  // namespace lumhost
