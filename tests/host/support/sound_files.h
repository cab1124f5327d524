// Short sound files made for the tests with libsndfile.
#pragma once

#include <functional>
#include <string>

namespace hosttest {

// Writes `frames` sample frames; `sample(frame, channel)` gives each value in -1..1.
void writeSound(const std::string& path, int format, int rate, int channels, long frames,
                const std::function<float(long, int)>& sample);

// A 440 Hz tone of `seconds`, 16-bit WAV.
void writeTone(const std::string& path, int rate, int channels, double seconds);

}  // namespace hosttest
