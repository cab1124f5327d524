// Live sound (a capture device, a pipe): each block as soon as its sound has
// arrived, or the delay after, never played back (a monitor's sound played
// again would feed back into it). How long blocks take from their arrival to
// the screen is kept, to report at the end.
#pragma once

#include <chrono>
#include <cstdint>
#include <deque>
#include <vector>

#include "host/player/player_io.h"
#include "host/sound/audio_source.h"
#include "rules/block_cutter.h"

namespace lumhost {

class LiveBlocks {
public:
    using Clock = std::chrono::steady_clock;

    LiveBlocks(AudioSource& source, int fps, lumrules::BlockLayout layout, int delayMs);

    // Shows every block whose sound is in and whose time has come; a host
    // more than a quarter second behind a paced source drops the older
    // blocks and shows the newest. True if a block was shown.
    bool showArrived(const BlockShow& show);

    // The window has shown the blocks drawn since the last call.
    void presented();

    // How long after its sound's arrival a block is shown, within 0 to the longest delay.
    int delayMs() const { return delayMs_; }
    void setDelay(int ms);

    int64_t skipped() const { return skipped_; }
    int blockFrames() const { return rate_ / fps_; }

    // How long the blocks took from their sound's arrival to the screen, one line on stderr.
    void reportDelays();

private:
    struct Pending {
        std::vector<int8_t> block;
        Clock::time_point arrived;
    };
    AudioSource& source_;
    int rate_, fps_;
    int delayMs_;
    lumrules::BlockCutter cutter_;
    int64_t skipped_ = 0;
    std::vector<float> samples_;  // what is read, before it goes to the cutter
    std::deque<Pending> pending_;
    std::vector<Clock::time_point> onScreenSoon_;
    std::vector<double> delays_;
};

}  // namespace lumhost
