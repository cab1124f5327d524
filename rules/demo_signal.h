// The built-in demo: about 20 seconds of synthesised stereo sound whose
// per-frame sums move the figure: it grows, swings from side to side, jumps
// on each beat and fades away, under a chord you can hear. lumhost plays it
// when given no sound, and the page when it has none yet.
#pragma once

#include <cstddef>
#include <cstdint>
#include <utility>

namespace lumrules {

constexpr int demoSampleRate = 48000;
constexpr int demoSeconds = 20;
constexpr int demoChannels = 2;
constexpr int64_t demoFrames = int64_t{demoSampleRate} * demoSeconds;

class DemoSignal {
public:
    // Up to `count` sample frames (left, right) from where the last read
    // ended; fewer at the end, none after it.
    std::size_t read(float* interleaved, std::size_t count);

private:
    std::pair<float, float> sampleAt(double t);
    double nextNoise();
    int64_t position_ = 0;
    uint64_t noiseState_ = 0x9E3779B97F4A7C15ULL;
};

}  // namespace lumrules
