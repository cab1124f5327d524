// One run of blocks, from a lumStart to the next: the sound that has come in
// since, cut into one block per video frame by lumhost's rule (frame f takes
// the sample frames from frameStart(f) to frameStart(f + 1), so the fraction
// of a sample per frame is carried and the frames never drift from the
// sound), each block laid out planar as lumhost lays it out.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace lumgst {

class BlockRun {
public:
    // A new run at this sample rate, channel count and frame rate.
    void reset(int sampleRate, int channels, int fpsNumerator, int fpsDenominator);

    // The sound's next sample frames, interleaved floats (`channels` a frame).
    std::vector<float>& incoming() { return samples_; }

    // Sample frames the next block takes, and how many are here.
    std::size_t wanted() const;
    std::size_t available() const;

    // Cuts the next block if its sound is all here, or, at the end of the
    // sound, whatever is left (a short last block, as lumhost's last frame);
    // false if there is nothing to cut.
    bool cut(std::vector<int8_t>& block, bool atEnd);

    // The frame the next block belongs to, and the sample frame it starts at.
    int64_t frame() const { return frame_; }
    int64_t frameStartSample(int64_t frame) const;
    int sampleRate() const { return rate_; }

private:
    int rate_ = 1;
    int channels_ = 1;
    int fpsNumerator_ = 1;
    int fpsDenominator_ = 1;
    int64_t frame_ = 0;
    std::size_t taken_ = 0;  // sample frames at the front of samples_ already cut
    std::vector<float> samples_;
};

}  // namespace lumgst
