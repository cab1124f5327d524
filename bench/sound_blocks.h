// Generated blocks of sound bytes for the benchmarks, as a host hands them
// to lumDisplaySoundData: signed 8-bit samples, one block per frame.
#pragma once

#include <cstdint>
#include <vector>

namespace gyrotrail::bench {

using Block = std::vector<uint8_t>;

// One 60 fps frame of 44.1 kHz mono.
inline constexpr uint32_t kFrameBlockBytes = 735;

// Music-like sound at a moderate level: a bass line, a few tones with
// envelopes and a little noise, cut into blocks of `blockBytes`.
std::vector<Block> musicBlocks(int count, uint32_t blockBytes = kFrameBlockBytes, uint32_t seed = 1);

// Loud blocks that throw each new point to a random spot of a width x height
// area about the centre (before rotation), so the segments are long: the
// first third of each block sums to zoomDivisor * A, the rest to
// zoomDivisor * B, with A and B uniform over the area.
std::vector<Block> scatterBlocks(int count, int32_t width, int32_t height, int32_t zoomDivisor,
                                 uint32_t blockBytes = kFrameBlockBytes, uint32_t seed = 1);

// Random bytes, for the block reduction.
Block randomBytes(uint32_t length, uint32_t seed = 1);

}  // namespace gyrotrail::bench
