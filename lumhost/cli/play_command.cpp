// lumhost play: a live SDL2 window. The player (lumhost/player) decodes the
// sound as it plays, queues it a little ahead to SDL's audio device and hands
// each block over when the sound of its frame is heard (shifted by --delay);
// files play in turn as a player plays them. The plug-in draws on the live
// run's thread, as under every live front end: a slow plug-in has blocks
// dropped to stay in step, one that fails or hangs shows black and is loaded
// again, and the window answers its keys and closes whatever the plug-in
// does. Here are the command line's side of it, the window and the keys.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <memory>
#include <mutex>
#include <optional>
#include <string_view>
#include <vector>

#include "live/live_run.h"
#include "live/settings_mirror.h"
#include "loading/plugins/plugin_run.h"
#include "lumhost/base/host_error.h"
#include "lumhost/base/interrupt.h"
#include "lumhost/cli/commands.h"
#include "lumhost/cli/sound_input.h"
#include "lumhost/player/live_blocks.h"
#include "lumhost/player/player.h"
#include "lumhost/player/plugin_keys.h"
#include "lumhost/window/live_window.h"
#include "lumhost/window/play_keys.h"
#include "lumhost/window/sound_output.h"

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

// The run's pictures, from its drawing thread to the window's: the newest
// only, with when its block's sound arrived (the block's date).
class PictureMailbox {
public:
    PictureMailbox() : wakeEvent_(SDL_RegisterEvents(1)) {}

    // On the run's thread; no pixels: black.
    void put(const uint32_t* pixels, int width, int height, int64_t date) {
        {
            std::lock_guard guard(lock_);
            const auto size = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
            if (pixels != nullptr)
                pixels_.assign(pixels, pixels + size);
            else
                pixels_.assign(size, 0u);
            width_ = width;
            height_ = height;
            if (date != 0 && dates_.size() < maxDates) dates_.push_back(date);
            fresh_ = true;
        }
        // Wakes the window's loop; it takes the picture on its next round.
        if (wakeEvent_ != static_cast<Uint32>(-1)) {
            SDL_Event wake{};
            wake.type = wakeEvent_;
            SDL_PushEvent(&wake);
        }
    }

    // A picture of the run before a restart that the window has not taken yet is not shown.
    void discard() {
        std::lock_guard guard(lock_);
        fresh_ = false;
        dates_.clear();
    }

    // The newest picture into the window's canvas if one came since the
    // last and has the canvas's size; true if so. `dates` gets the dates of
    // the pictures drawn since the last call, this one's among them.
    bool takeInto(LiveWindow& window, std::vector<int64_t>& dates) {
        std::lock_guard guard(lock_);
        dates.swap(dates_);
        dates_.clear();
        if (!fresh_) return false;
        fresh_ = false;
        return window.showPicture(pixels_.data(), width_, height_);
    }

private:
    Uint32 wakeEvent_;
    std::mutex lock_;
    std::vector<uint32_t> pixels_;
    int width_ = 0, height_ = 0;
    static constexpr std::size_t maxDates = 4096;  // a window held up keeps no more
    std::vector<int64_t> dates_;
    bool fresh_ = false;
};

int64_t steadyNs(Clock::time_point at) { return std::chrono::duration_cast<std::chrono::nanoseconds>(at.time_since_epoch()).count(); }

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
    // The plug-in is loaded here once, so that one that cannot be loaded, and
    // the command line's preset and settings (their errors and notes), are
    // said before a window opens; what it says of its settings is kept in a
    // mirror the keys change. The live run loads a copy of its own to draw with.
    std::optional<PluginModule> probe(std::in_place, frames.plugin.plugin);
    initWithSettings(*probe, frames.plugin);
    lumlive::SettingsMirror mirror = lumlive::mirrorOf(ModuleParams(*probe));
    probe.reset();

    // Each block is handed over when it is due, dated then (live sound: when
    // it arrived, the figure's present being the delay before now), so the
    // run counts a block as behind by how long it has waited for the plug-in.
    std::atomic<int64_t> figureDelayNs{live ? int64_t{delayMs} * 1000000 : 0};
    PictureMailbox pictures;
    lumlive::Options runOptions;
    runOptions.pluginFile = frames.plugin.plugin;
    runOptions.settings = mirror.values();
    runOptions.fpsNum = frames.fps;
    runOptions.fpsDen = 1;
    runOptions.width = frames.width;
    runOptions.height = frames.height;
    // Sound that comes as it is heard (files played, a capture device) is
    // live: a block the plug-in cannot draw in time is dropped. Sound read
    // faster than that (a file given as --input) waits for every block.
    runOptions.live = !frames.input;
    runOptions.now = [&figureDelayNs] { return steadyNs(Clock::now()) - figureDelayNs.load(); };
    runOptions.onPicture = [&pictures](const lumlive::Picture& picture) {
        pictures.put(picture.pixels, picture.width, picture.height, picture.date);
    };
    runOptions.onNothing = [&pictures](int width, int height) { pictures.put(nullptr, width, height, 0); };
    runOptions.log = [](lumlive::LogLevel level, const std::string& line) {
        if (level == lumlive::LogLevel::warning || commentary()) std::fprintf(stderr, "lumhost: %s\n", line.c_str());
    };
    lumlive::LiveRun run(std::move(runOptions));
    // The sound starts once the plug-in can draw (a Windows module's bridge
    // takes seconds), so none of it is lost to the loading.
    while (!interrupted() && !run.waitLoaded(std::chrono::milliseconds(50)) && !run.status().failed) {
    }

    // The sound next: a file that cannot be played fails before a window opens.
    std::optional<Player> player;
    std::optional<LiveBlocks> liveBlocks;
    std::unique_ptr<AudioSource> liveSource;
    if (live) {
        liveSource = openSound(frames);
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
    run.resize(window.canvas().width, window.canvas().height);

    const lumlive::HandedOnSettings settings(mirror, [&run](uint32_t id, int32_t value) { run.set(id, value); });
    PresetKeys presets(settings, frames.plugin.plugin);
    const auto showFileBlock = [&](const std::vector<int8_t>& block) { run.pushBlock(block, steadyNs(Clock::now())); };
    const auto showLiveBlock = [&](const std::vector<int8_t>& block, Clock::time_point arrived) { run.pushBlock(block, steadyNs(arrived)); };
    std::vector<int64_t> drawnDates;
    // The newest picture into the window; the live delays of all drawn since.
    const auto takePictures = [&] {
        const bool shown = pictures.takeInto(window, drawnDates);
        if (live)
            for (const int64_t date : drawnDates) liveBlocks->pictureShown(Clock::time_point(std::chrono::nanoseconds(date)));
        return shown;
    };
    bool helpShown = false;
    bool ended = false;  // the sound ended (rather than the window being closed)
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
                    run.resize(window.canvas().width, window.canvas().height);
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
                    case KeyAction::step: changeSetting(settings, *binding, screen); break;
                    case KeyAction::restart:
                        run.restart();
                        pictures.discard();
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
                            figureDelayNs = int64_t{liveBlocks->delayMs()} * 1000000;
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
            liveBlocks->showArrived(showLiveBlock);
            // Sound that stopped ends the window once its last blocks are handed over.
            if (liveSource->stopped() && !liveBlocks->holding()) {
                open = false;
                ended = true;
            }
        } else if (open) {
            player->advance(screen, showFileBlock);
        }
        if (!live && player->over()) {
            open = false;
            ended = true;
        }
        if (takePictures()) changed = true;
        if (window.overlay().expired()) changed = true;
        if (changed) window.present();
    }
    if (ended && !interrupted()) {
        // The last blocks' pictures, unless the plug-in is stuck on them.
        run.waitDrawn(std::chrono::seconds(1));
        if (takePictures()) window.present();
    }
    // The plug-in is let go within a second, whatever it is doing.
    run.stop();
    if (!live) return 0;
    acceptInterrupt();
    liveBlocks->reportDelays();
    return reportLiveEnd(*liveSource, liveBlocks->skipped(), liveBlocks->blockFrames(), "");
}

}  // namespace lumhost
