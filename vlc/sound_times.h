// What the VLC module needs beyond the shared rules to turn VLC's sound into
// lumhost's blocks: VLC's channel order made into the one lumhost reads from
// a file. Free of VLC's headers, so it is tested on its own.
#pragma once

#include <cstddef>
#include <cstdint>
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

}  // namespace lumvlc
