// Reducing a block of sound bytes to the two sums that steer the figure.
#pragma once

#include <cstdint>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace gyrotrail {

struct BlockSums {
    int32_t sumA;  // bytes of the first third
    int32_t sumB;  // bytes of the remaining two thirds
};

// The sum of `count` bytes read as signed 8-bit values, wrapped to 32 bits,
// one byte at a time. Unsigned accumulation wraps by definition; the result
// is the 32-bit two's-complement sum.
inline int32_t sumSignedBytesScalar(const uint8_t* bytes, uint32_t count) {
    uint32_t total = 0;
    for (uint32_t i = 0; i < count; ++i)
        total += static_cast<uint32_t>(static_cast<int32_t>(static_cast<int8_t>(bytes[i])));
    return static_cast<int32_t>(total);
}

// The same sum, sixteen bytes a step where SSE2 is at hand. Flipping the top
// bit turns each signed byte b into the unsigned byte b + 128, which the
// sum-of-absolute-differences instruction adds up in 64-bit lanes without
// overflow; taking 128 per byte back off and keeping the low 32 bits gives
// exactly the wrapped signed sum.
inline int32_t sumSignedBytes(const uint8_t* bytes, uint32_t count) {
#if defined(__SSE2__)
    const __m128i flip = _mm_set1_epi8(static_cast<char>(0x80));
    const __m128i zero = _mm_setzero_si128();
    __m128i lanesA = zero, lanesB = zero;
    uint32_t i = 0;
    for (; count - i >= 32; i += 32) {  // i <= count throughout: no wrap
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + i));
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + i + 16));
        lanesA = _mm_add_epi64(lanesA, _mm_sad_epu8(_mm_xor_si128(a, flip), zero));
        lanesB = _mm_add_epi64(lanesB, _mm_sad_epu8(_mm_xor_si128(b, flip), zero));
    }
    if (count - i >= 16) {
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + i));
        lanesA = _mm_add_epi64(lanesA, _mm_sad_epu8(_mm_xor_si128(a, flip), zero));
        i += 16;
    }
    const __m128i lanes = _mm_add_epi64(lanesA, lanesB);
    // Only the low 32 bits of each lane matter for a sum wrapped to 32 bits.
    const uint32_t biased = static_cast<uint32_t>(_mm_cvtsi128_si32(lanes)) +
                            static_cast<uint32_t>(_mm_cvtsi128_si32(_mm_unpackhi_epi64(lanes, lanes)));
    const uint32_t vectorPart = biased - 128u * i;
    return static_cast<int32_t>(vectorPart + static_cast<uint32_t>(sumSignedBytesScalar(bytes + i, count - i)));
#else
    return sumSignedBytesScalar(bytes, count);
#endif
}

// Each byte counts as a signed 8-bit value. The first length/3 bytes (rounded
// down) go to sumA, the rest to sumB. Both sums wrap at 32 bits.
inline BlockSums reduceBlock(const uint8_t* data, uint32_t length) {
    const uint32_t third = length / 3;
    return BlockSums{sumSignedBytes(data, third), sumSignedBytes(data + third, length - third)};
}

}  // namespace gyrotrail
