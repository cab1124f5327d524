// What the VLC module needs beyond the shared rules to turn VLC's sound into
// lumhost's blocks: VLC's channel order made into the one lumhost reads from
// a file, and the time each sample frame of a run is heard, from the times
// VLC gives its blocks. Free of VLC's headers, so it is tested on its own.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <vector>

namespace lumvlc {

// VLC's speaker bits (AOUT_CHAN_*), repeated here so this file needs no VLC header.
namespace speaker {
inline constexpr uint32_t centre = 0x1, left = 0x2, right = 0x4, rearCentre = 0x10, rearLeft = 0x20, rearRight = 0x40,
                          middleLeft = 0x100, middleRight = 0x200, lowFrequency = 0x1000;
}

// VLC interleaves channels in its own order (left, right, middles, rears,
// rear centre, centre, low frequencies); files, and so lumhost, have WAVE's
// (left, right, centre, low frequencies, rears, rear centre, middles), which
// the shared downmix expects. For the speakers in `physicalChannels`, the
// VLC channel index of each channel in WAVE's order; empty where no
// reordering is needed.
std::vector<int> waveOrderOf(uint32_t physicalChannels);

// `frames` interleaved sample frames put into `order` (from waveOrderOf) into `out`.
void reorder(const float* interleaved, std::size_t frames, const std::vector<int>& order, std::vector<float>& out);

// When each sample frame of a run is heard: VLC dates each block it passes
// by its first sample (in microseconds of its clock), and those dates need
// not follow from one another (a pause, VLC's own drift correction), so a
// sample's time is counted from the block it came in.
class SoundTimes {
public:
    explicit SoundTimes(int sampleRate = 1) : rate_(sampleRate) {}
    // A new run: sample 0 is the next block's first.
    void restart(int sampleRate);
    // The next block: `frames` sample frames, the first heard at `time`.
    void add(int64_t time, std::size_t frames);
    // The time sample frame `sample` of the run is heard; nothing for a
    // sample no block has brought. Blocks before the one asked for are forgotten.
    std::optional<int64_t> timeOf(int64_t sample);
    int64_t samples() const { return end_; }

private:
    struct Block {
        int64_t first;
        int64_t time;
    };
    int rate_;
    int64_t end_ = 0;
    std::deque<Block> blocks_;
};

}  // namespace lumvlc
