// Reducing a block of sound bytes to the two sums that steer the figure.
#pragma once

#include <cstdint>

namespace gyrotrail {

struct BlockSums {
    int32_t sumA;  // bytes of the first third
    int32_t sumB;  // bytes of the remaining two thirds
};

// Each byte counts as a signed 8-bit value. The first length/3 bytes (rounded
// down) go to sumA, the rest to sumB. Both sums wrap at 32 bits.
inline BlockSums reduceBlock(const uint8_t* data, uint32_t length) {
    const uint32_t third = length / 3;
    // Unsigned accumulation wraps by definition; the result is the 32-bit
    // two's-complement sum.
    auto sum = [data](uint32_t from, uint32_t to) {
        uint32_t total = 0;
        for (uint32_t i = from; i < to; ++i)
            total += static_cast<uint32_t>(static_cast<int32_t>(static_cast<int8_t>(data[i])));
        return static_cast<int32_t>(total);
    };
    return BlockSums{sum(0, third), sum(third, length)};
}

}  // namespace gyrotrail
