#include "rules/demo_signal.h"

#include <algorithm>
#include <cmath>

namespace lumrules {
namespace {

constexpr double twoPi = 6.283185307179586;

// Smooth step from 0 at `from` to 1 at `to` seconds.
double ramp(double t, double from, double to) {
    const double x = std::clamp((t - from) / (to - from), 0.0, 1.0);
    return x * x * (3 - 2 * x);
}

}  // namespace

// Every audible tone is a multiple of 60 Hz, so over any video frame at 60,
// 30, 20 or 15 frames per second it sums to nothing and leaves the figure to
// the slow movement and the beats. The movement itself lies below hearing:
// a slowly changing offset per channel is what the plug-in's sums see.
std::size_t DemoSignal::read(float* interleaved, std::size_t count) {
    count = std::min(count, static_cast<std::size_t>(demoFrames - position_));
    for (std::size_t i = 0; i < count; ++i, ++position_) {
        const auto [left, right] = sampleAt(static_cast<double>(position_) / demoSampleRate);
        interleaved[2 * i] = left;
        interleaved[2 * i + 1] = right;
    }
    return count;
}

std::pair<float, float> DemoSignal::sampleAt(double t) {
    // Movement: the figure's size grows over the first eight seconds, the
    // two channels drift apart from the fourth on (the figure leaves the
    // diagonal and swings), and over the last four seconds the sound fades
    // while the figure settles to a calmer size, still turning.
    const double fade = 1.0 - ramp(t, 16.0, 19.5);
    const double size = (0.004 + 0.018 * ramp(t, 0.0, 8.0)) * (0.6 + 0.4 * fade);
    const double spread = ramp(t, 4.0, 7.0);
    const double leftMove = std::sin(twoPi * 0.31 * t);
    const double rightMove = (1 - spread) * leftMove + spread * std::cos(twoPi * 0.47 * t);

    // Beats at 120 per minute from second 9: a short low thump that
    // throws the figure out and lets it fall back.
    const double beatTime = std::fmod(t, 0.5);
    const double beats = ramp(t, 9.0, 10.0) * (1.0 - ramp(t, 15.0, 16.5));
    const double thump = beats * 0.012 * std::exp(-beatTime * 14.0) * (beatTime < 0.12 ? 1.0 : 0.0);

    // The chord: 240, 300 and 360 Hz (a major triad), the third swapping
    // sides every two beats, pulsing with the beat.
    const double pulse = 0.6 + 0.4 * std::exp(-beatTime * 6.0);
    const double root = std::sin(twoPi * 240 * t), third = std::sin(twoPi * 300 * t), fifth = std::sin(twoPi * 360 * t);
    const double side = std::fmod(t, 2.0) < 1.0 ? 1.0 : 0.0;
    const double chordGain = 0.12 * pulse * (0.3 + 0.7 * ramp(t, 0.0, 2.0)) * fade;
    const double leftChord = chordGain * (root + fifth + 1.4 * side * third);
    const double rightChord = chordGain * (root + fifth + 1.4 * (1 - side) * third);

    // A little noise keeps the figure restless.
    const double noise = 0.02 * fade * (nextNoise() - 0.5);

    const double left = size * leftMove + thump + leftChord + noise;
    const double right = size * rightMove + 0.7 * thump + rightChord + noise;
    return {static_cast<float>(left), static_cast<float>(right)};
}

double DemoSignal::nextNoise() {
    noiseState_ = noiseState_ * 6364136223846793005ULL + 1442695040888963407ULL;
    return static_cast<double>(noiseState_ >> 11) / 9007199254740992.0;
}

}  // namespace lumrules
