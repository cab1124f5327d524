#include "sound_files.h"

#include <sndfile.h>

#include <cmath>
#include <stdexcept>
#include <vector>

namespace hosttest {

void writeSound(const std::string& path, int format, int rate, int channels, long frames,
                const std::function<float(long, int)>& sample) {
    SF_INFO info{};
    info.samplerate = rate;
    info.channels = channels;
    info.format = format;
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    if (file == nullptr) throw std::runtime_error(std::string("cannot write test sound: ") + sf_strerror(nullptr));
    std::vector<float> data(static_cast<std::size_t>(frames * channels));
    for (long i = 0; i < frames; ++i)
        for (int c = 0; c < channels; ++c) data[static_cast<std::size_t>(i * channels + c)] = sample(i, c);
    sf_writef_float(file, data.data(), frames);
    sf_close(file);
}

void writeTone(const std::string& path, int rate, int channels, double seconds) {
    writeSound(path, SF_FORMAT_WAV | SF_FORMAT_PCM_16, rate, channels, std::lround(seconds * rate), [rate](long i, int c) {
        return static_cast<float>(0.5 * std::sin(6.283185307179586 * 440.0 * static_cast<double>(i) / rate + c));
    });
}

}  // namespace hosttest
