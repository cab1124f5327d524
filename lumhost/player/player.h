// The player of lumhost play: the files of a run played in turn through an
// output, the one playing cut into blocks as its sound is heard (shifted by
// the delay), with pause, seeking, volume and mute. What it says goes to a
// PlayerScreen; the event loop that turns keys into these calls is the
// command's.
#pragma once

#include <cmath>
#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "lumhost/player/player_io.h"
#include "lumhost/player/sound_window.h"
#include "lumhost/sound/audio_source.h"
#include "rules/block_cutter.h"
#include "rules/defaults.h"

namespace lumhost {

struct PlayerSettings {
    std::vector<std::string> arguments;  // files, folders and playlists; none: the demo
    double start = 0;                    // where each file begins, in seconds
    std::optional<double> duration;      // how much of each file plays; nothing: to its end
    int fps = lumrules::defaultFps;
    lumrules::BlockLayout layout = lumrules::BlockLayout::planar;
    int delayMs = 0;  // the figure against the sound: later if positive
};

// Opens a file's sound (nothing: the demo) from `start` seconds on, at most
// `duration` seconds of it. Throws HostError if it cannot be played.
using SoundOpener =
    std::function<std::unique_ptr<AudioSource>(const std::optional<std::string>& file, double start, std::optional<double> duration)>;

class Player {
public:
    // Expands the arguments into files (throws HostError for an unreadable
    // playlist or one that holds nothing); nothing is opened yet.
    Player(PlayerSettings settings, SoundOpener open, OutputMaker makeOutput);

    // Opens the first file that plays. A run of one file fails with its
    // error; a playlist fails only if none of its files plays.
    void begin();

    // Shows every block whose time has come, in order, and at the end of a
    // file goes on to the next. Nothing while paused. True if a block was shown.
    bool advance(PlayerScreen& screen, const BlockShow& show);
    // Past the last file: the run is over.
    bool over() const { return over_; }

    // The keys.
    void restartFile(PlayerScreen& screen);
    void togglePause(PlayerScreen& screen);
    // By `seconds` from where the sound is; not before the run's start, past the file's end on to the next.
    void seek(double seconds, PlayerScreen& screen);
    // The next (1) or previous (-1) file that plays; past the last the run is over.
    void changeFile(int direction, PlayerScreen& screen);
    void toggleMute(PlayerScreen& screen);
    void changeVolume(int step, PlayerScreen& screen);
    void changeDelay(int stepMs, PlayerScreen& screen);

    std::size_t index() const { return index_; }
    std::size_t size() const { return files_.size(); }
    int failures() const { return failures_; }
    // Where the sound playing is, in seconds of the file.
    double seconds() const;
    // Where the file playing ends, in seconds; infinite if that is not known.
    double end() const { return end_; }
    bool paused() const { return paused_; }
    int volume() const { return volume_; }
    bool muted() const { return muted_; }
    int delayMs() const { return delayMs_; }
    // The file's name, "demo" for the demo.
    std::string label() const;
    // "name  0:12.50 / 3:25.00  [2/3]"
    std::string where() const;

private:
    // Opens the file at `index` from `seconds` on; false (with its line said)
    // if it cannot be played, or with `fail` the error thrown.
    bool open(std::size_t index, double seconds, bool fail = false);
    // The first file from `index` on (going forward or back) that plays; false past either end.
    bool openFrom(std::size_t index, int direction);
    void announce(PlayerScreen& screen);
    // The figure's delay in sample frames of the playing file.
    int64_t delayFrames() const { return static_cast<int64_t>(delayMs_) * rate_ / 1000; }
    float gain() const { return muted_ ? 0.0f : static_cast<float>(volume_) / 100.0f; }
    void setVolume(int percent, bool muted);

    PlayerSettings settings_;
    SoundOpener open_;
    OutputMaker makeOutput_;
    int delayMs_;
    std::unique_ptr<PlayerOutput> output_;
    int rate_ = 0, channels_ = 0;
    bool paused_ = false, muted_ = false, over_ = false;
    int volume_ = 100;
    std::vector<std::string> files_;
    std::unique_ptr<SoundWindow> current_;
    std::vector<int8_t> block_;
    std::size_t index_ = 0;
    double base_ = 0, end_ = INFINITY;
    int failures_ = 0;
};

}  // namespace lumhost
