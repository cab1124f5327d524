#include "vlc_sounds.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "sound_files.h"

namespace vlctest {

void writeSwingSound(const hosttest::Scratch& scratch, const std::string& path, int rate, int channels, double seconds) {
    constexpr double pi = 3.14159265358979;
    auto swing = [rate](long frame, int channel) {
        const double t = static_cast<double>(frame) / rate;
        const double slow = 0.9 - 0.17 * channel, fast = 7.0 - 1.3 * channel;
        return static_cast<float>((0.045 - 0.004 * channel) * std::sin(2 * pi * slow * t + 0.4 * channel) +
                                  0.01 * std::sin(2 * pi * fast * t));
    };
    const long frames = std::lround(seconds * rate);
    if (channels <= 2) {
        hosttest::writeSound(path, rate, channels, frames, swing);
        return;
    }
    const auto plain = scratch.path("plain-" + std::to_string(channels) + ".wav");
    hosttest::writeSound(plain, rate, channels, frames, swing);
    const std::string layout = channels == 6 ? "5.1" : channels == 8 ? "7.1" : std::to_string(channels) + "c";
    ASSERT_TRUE(hosttest::runFfmpeg({"-i", plain, "-af", "aformat=channel_layouts=" + layout, "-c:a", "pcm_s16le", path}));
}

std::vector<std::string> lumhostFrames(const hosttest::Scratch& scratch, const std::string& sound, int width, int height, int fps,
                                       const std::vector<std::string>& more, const std::vector<std::string>& environment) {
    const auto all = hosttest::lumhostRawFrames(scratch, sound, width, height, fps, more, environment);
    const auto bytes = static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 4;
    std::vector<std::string> frames;
    for (std::size_t at = 0; at + bytes <= all.size(); at += bytes) frames.push_back(all.substr(at, bytes));
    return frames;
}

std::vector<std::string> withoutRepeats(const std::vector<std::string>& frames) {
    std::vector<std::string> kept;
    for (const auto& frame : frames)
        if (kept.empty() || kept.back() != frame) kept.push_back(frame);
    return kept;
}

double psnr(const std::string& a, const std::string& b) {
    if (a.size() != b.size() || a.empty()) return 0;
    double sum = 0;
    std::size_t count = 0;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (i % 4 == 3) continue;  // the unused fourth byte
        const double d = static_cast<unsigned char>(a[i]) - static_cast<unsigned char>(b[i]);
        sum += d * d;
        ++count;
    }
    if (sum == 0) return std::numeric_limits<double>::infinity();
    return 10 * std::log10(255.0 * 255.0 / (sum / static_cast<double>(count)));
}

}  // namespace vlctest
