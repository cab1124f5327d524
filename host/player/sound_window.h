// The sound of the file playing, between what has been shown and what has
// been read: read ahead of the output's clock by a fraction of a second,
// queued to the output as it is read, cut into one block per frame and handed
// out once the clock (shifted by the delay) reaches the frame.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "host/player/player_io.h"
#include "host/sound/audio_source.h"
#include "rules/block_cutter.h"

namespace lumhost {

class SoundWindow {
public:
    SoundWindow(std::unique_ptr<AudioSource> source, PlayerOutput& output, int fps, lumrules::BlockLayout layout);

    const AudioSource& source() const { return *source_; }
    int rate() const { return rate_; }

    // Every block shown and the clock, less `delay` sample frames, past the end of the sound.
    bool finished(int64_t delay) const;

    // Reads until the output holds half a second more than it has played,
    // and more for a figure shown `delay` early (a negative delay). Throws
    // HostError for a source that holds no sound at all.
    void fill(int64_t delay);

    // Queues again, at the output's present gain, what has been read but not yet heard.
    void requeue();

    // The next frame's block once the clock, less `delay` sample frames, has
    // reached the frame and its sound is in.
    bool nextBlock(int64_t delay, std::vector<int8_t>& block);

private:
    std::unique_ptr<AudioSource> source_;
    PlayerOutput& output_;
    int rate_, channels_, fps_;
    lumrules::BlockLayout layout_;
    std::vector<float> chunk_;
    std::vector<float> samples_;  // interleaved, from sample frame firstFrame_ on
    int64_t firstFrame_ = 0;
    int64_t read_ = 0;  // sample frames read from the source
    int64_t frame_ = 0;
    bool ended_ = false;
};

}  // namespace lumhost
