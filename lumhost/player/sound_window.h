// The sound of the file playing, between what has been shown and what has
// been read: read ahead of the output's clock by a fraction of a second,
// queued to the output as it is read, cut into one block per frame and handed
// out once the clock (shifted by the delay) reaches the frame.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "lumhost/player/player_io.h"
#include "lumhost/sound/audio_source.h"
#include "rules/block_cutter.h"

namespace lumhost {

class SoundWindow {
public:
    SoundWindow(std::unique_ptr<AudioSource> source, PlayerOutput& output, int fps, lumrules::BlockLayout layout);

    const AudioSource& source() const { return *source_; }
    int rate() const { return rate_; }

    // Every block shown, the sound heard to its end and the clock, less
    // `delay` sample frames, past it too: a figure shown late has caught up.
    bool finished(int64_t delay) const;

    // Reads until the output holds half a second more than it has played,
    // and more for a figure shown `delay` early (a negative delay). Once
    // the sound has ended, silence follows it for a figure shown late, so
    // that the output's clock runs on until its last block is due. Throws
    // HostError for a source that holds no sound at all.
    void fill(int64_t delay);

    // Queues again, at the output's present gain, what has been read but
    // not yet heard, from where the clock stands.
    void requeue();

    // The next frame's block once the clock, less `delay` sample frames, has
    // reached the frame and its sound is in.
    bool nextBlock(int64_t delay, std::vector<int8_t>& block);

private:
    // Queues silence until the output holds sound up to sample frame `end`.
    void queueSilenceTo(int64_t end);

    std::unique_ptr<AudioSource> source_;
    PlayerOutput& output_;
    int rate_, channels_;
    lumrules::BlockCutter cutter_;
    std::vector<float> chunk_;
    // What may have to be queued again: the sound, interleaved, from sample
    // frame keptFrom_ (the earlier of what is heard and what is shown) to read_.
    std::vector<float> kept_;
    int64_t keptFrom_ = 0;
    int64_t read_ = 0;    // sample frames read from the source
    int64_t queued_ = 0;  // sample frames queued: read_, and the silence after the end
    bool ended_ = false;
};

}  // namespace lumhost
