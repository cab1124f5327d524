// VLC driven through libvlc, as a player program would drive it, with the
// module of this build: the sound taken by amem and paced to its own times
// (so every picture is shown, none is late), the pictures taken by vmem in
// the canvas's own RV32, so they are compared with lumhost's byte for byte.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace vlctest {

struct PlayOptions {
    std::vector<std::string> args;  // more of VLC's options: "--lum-width=320", ...
    int width = 320, height = 180;  // the pictures VLC is asked for (vmem)
    int rate = 44100;               // the sound amem takes (stereo floats)
    // A seek to `seekTo` seconds once `seekAfter` pictures are shown.
    std::optional<double> seekTo;
    int seekAfter = 0;
    std::vector<std::string> environment;  // "NAME=value" set before VLC starts
};

struct Played {
    std::vector<std::string> pictures;    // each new picture shown, its RV32 bytes
    std::vector<int64_t> shownAt;         // libvlc_clock() when each was shown
    int64_t seekShownFrom = -1;           // the first picture shown after the seek
    struct SoundBlock {
        int64_t pts;     // when its first sample is heard (libvlc_clock)
        unsigned count;  // sample frames
    };
    std::vector<SoundBlock> sound;        // what amem was given, in order
    int64_t soundFrames = 0;
    std::vector<std::string> errors;      // VLC's error lines
    std::vector<std::string> lumLines;    // every line of the lum module
    std::vector<std::string> lumErrors;   // its error lines
    bool ended = false;                   // VLC reached the end of the file
    // Bytes in use on the process's heap while the sound played, about every
    // quarter second: (libvlc_clock, bytes).
    std::vector<std::pair<int64_t, std::size_t>> heapInUse;
    // Seconds VLC took to stop and let go of the player at the end; negative
    // when it had not done so after ten seconds (the player is then left).
    double closingSeconds = 0;
};

// Plays `file` with --audio-visual=lum to its end (or a minute).
Played play(const std::string& file, const PlayOptions& options);

// What VLC prints for `args` (-p lum --advanced, -H, ...).
std::string helpText(const std::vector<std::string>& args);

// Lines of `lines` that contain `text`.
std::vector<std::string> linesWith(const std::vector<std::string>& lines, const std::string& text);

}  // namespace vlctest
