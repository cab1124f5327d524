#include "sound_blocks.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <random>

namespace gyrotrail::bench {

namespace {

// Spreads `total` over `count` bytes as evenly as signed bytes allow.
void fillWithSum(uint8_t* bytes, uint32_t count, int64_t total) {
    if (count == 0) return;
    const int64_t n = count;
    total = std::clamp<int64_t>(total, -127 * n, 127 * n);
    const int64_t base = total >= 0 ? total / n : -((-total) / n);
    int64_t rest = total - base * n;
    for (uint32_t i = 0; i < count; ++i) {
        int64_t v = base;
        if (rest > 0) {
            ++v;
            --rest;
        } else if (rest < 0) {
            --v;
            ++rest;
        }
        bytes[i] = static_cast<uint8_t>(static_cast<int8_t>(v));
    }
}

}  // namespace

std::vector<Block> musicBlocks(int count, uint32_t blockBytes, uint32_t seed) {
    constexpr double rate = 44100.0;
    constexpr double tau = 2.0 * std::numbers::pi;
    const double bassNotes[4] = {55.0, 73.42, 65.41, 49.0};
    std::mt19937 random(seed);
    std::normal_distribution<double> noise(0.0, 0.02);
    std::vector<Block> blocks(static_cast<size_t>(count), Block(blockBytes));
    uint64_t sample = 0;
    for (Block& block : blocks)
        for (uint8_t& byte : block) {
            const double t = static_cast<double>(sample++) / rate;
            const double beat = std::fmod(t * 2.0, 1.0);  // 120 beats per minute
            const double bass = bassNotes[static_cast<int>(t / 2.0) % 4];
            double v = 0.30 * std::sin(tau * bass * t) * (1.0 - 0.5 * beat);
            v += 0.15 * std::sin(tau * 220.0 * t) * std::exp(-3.0 * beat);
            v += 0.10 * std::sin(tau * 329.63 * t + 0.3 * std::sin(tau * 5.0 * t));
            v += 0.05 * std::sin(tau * 1318.5 * t) * std::exp(-8.0 * beat);
            v += noise(random);
            const long q = std::lround(std::clamp(v, -1.0, 1.0) * 127.0);
            byte = static_cast<uint8_t>(static_cast<int8_t>(q));
        }
    return blocks;
}

std::vector<Block> scatterBlocks(int count, int32_t width, int32_t height, int32_t zoomDivisor,
                                 uint32_t blockBytes, uint32_t seed) {
    std::mt19937 random(seed);
    std::uniform_int_distribution<int32_t> across(-width / 2, width / 2);
    std::uniform_int_distribution<int32_t> down(-height / 2, height / 2);
    std::vector<Block> blocks(static_cast<size_t>(count), Block(blockBytes));
    const uint32_t third = blockBytes / 3;
    for (Block& block : blocks) {
        const int64_t a = down(random), b = across(random);
        fillWithSum(block.data(), third, a * zoomDivisor);
        fillWithSum(block.data() + third, blockBytes - third, b * zoomDivisor);
    }
    return blocks;
}

Block randomBytes(uint32_t length, uint32_t seed) {
    std::mt19937 random(seed);
    Block bytes(length);
    for (uint8_t& b : bytes) b = static_cast<uint8_t>(random());
    return bytes;
}

}  // namespace gyrotrail::bench
