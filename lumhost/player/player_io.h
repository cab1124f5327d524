// What the player works through besides the plug-in: the sound output that
// plays the sound and keeps the clock the blocks follow, and the screen it
// says things on. lumhost play gives SDL's audio and its window; the tests
// give their own, with no device and no window.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace lumhost {

class PlayerOutput {
public:
    virtual ~PlayerOutput() = default;
    // Queues interleaved samples (the sound's own channels) to be heard next.
    virtual void queue(const float* interleaved, std::size_t frames) = 0;
    // Sample frames heard since the last restart. A device's clock stops
    // where the queued sound ends.
    virtual int64_t position() const = 0;
    // Silence, an empty queue and the clock at `frame`.
    virtual void restart(int64_t frame = 0) = 0;
    // Holds the clock and the sound where they are, or lets them run on.
    virtual void pause(bool paused) = 0;
    // Gain for what is queued from now on, 0 to 1.
    virtual void setGain(float gain) = 0;
};

// Makes the output for sound of this rate and number of channels.
using OutputMaker = std::function<std::unique_ptr<PlayerOutput>(int rate, int channels)>;

class PlayerScreen {
public:
    virtual ~PlayerScreen() = default;
    // Lines over the picture for `seconds`; 0 keeps them until the next.
    virtual void show(const std::vector<std::string>& lines, double seconds) = 0;
    // A new file plays: its name, for the title.
    virtual void playing(const std::string& label) = 0;
};

// Hands a block to the plug-in.
using BlockShow = std::function<void(const std::vector<int8_t>& block)>;

// What the keys and presets did, where the sound is, how late live blocks
// were: a running account on stderr beside the screen, which --quiet leaves
// to the screen alone. Warnings and failures are always said.
void setCommentary(bool on);
bool commentary();

// The one place a message reaches the user: a line on stderr (unless it is
// only for the screen, or the account is off) and over the picture.
void tell(PlayerScreen& screen, const std::string& text, bool alsoOnStderr = true, double seconds = 2.0);

// A failure of what a key asked for: on stderr even with --quiet, and over the picture.
void warn(PlayerScreen& screen, const std::string& text);

// "delay +40 ms", "delay -10 ms", "delay 0 ms".
std::string delayText(int delayMs);

}  // namespace lumhost
