// Live sound (a capture device, a pipe): each block as soon as its sound has
// arrived, or the delay after, never played back (a monitor's sound played
// again would feed back into it). How long blocks take from their arrival to
// the screen is kept, to report at the end.
#pragma once

#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <vector>

#include "lumhost/player/player_io.h"
#include "lumhost/sound/audio_source.h"
#include "rules/block_cutter.h"

namespace lumhost {

// How long blocks took from their sound's arrival to the screen, over a whole
// session in a fixed room: counts in steps of a tenth of a millisecond below
// 100 ms and of a millisecond up to the longest delay and a second more
// (beyond that one count), and the exact longest.
class DelayTally {
public:
    DelayTally();
    void add(double ms);
    int64_t count() const { return count_; }
    // The delay at this rank (0: the shortest) were all delays sorted, to within its step.
    double atRank(std::size_t rank) const;
    double longest() const { return longest_; }
    // The counts kept: the same however long the session.
    std::size_t footprint() const { return counts_.size(); }

private:
    std::vector<int64_t> counts_;
    int64_t count_ = 0;
    double longest_ = 0;
};

class LiveBlocks {
public:
    using Clock = std::chrono::steady_clock;

    LiveBlocks(AudioSource& source, int fps, lumrules::BlockLayout layout, int delayMs);

    // Shows every block whose sound is in and whose time has come; a host
    // more than a quarter second behind a paced source drops the older
    // blocks and shows the newest. Sound that ended part way into a block
    // ends with a short last block. True if a block was shown.
    bool showArrived(const BlockShow& show);
    // The same, handing each block over with when its sound arrived.
    using ArrivedShow = std::function<void(const std::vector<int8_t>& block, Clock::time_point arrived)>;
    bool showArrived(const ArrivedShow& show);

    // Blocks whose sound is in but whose time has not come (the delay).
    bool holding() const { return !pending_.empty(); }

    // The window has shown the picture of a block whose sound arrived then.
    void pictureShown(Clock::time_point arrived);

    // How long after its sound's arrival a block is shown, within 0 to the longest delay.
    int delayMs() const { return delayMs_; }
    void setDelay(int ms);

    int64_t skipped() const { return skipped_; }
    int blockFrames() const { return rate_ / fps_; }

    // How long the blocks took from their sound's arrival to the screen, one line on stderr.
    void reportDelays();

private:
    void endShort(int64_t waiting);

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
    DelayTally delays_;
};

}  // namespace lumhost
