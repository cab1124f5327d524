#include "host/sound/wav_writer.h"

#include <sndfile.h>

#include <vector>

#include "host/base/host_error.h"
#include "host/base/interrupt.h"

namespace lumhost {

void saveAsWav(AudioSource& source, const std::string& path) {
    SF_INFO info{};
    info.channels = source.channels();
    info.samplerate = source.sampleRate();
    info.format = SF_FORMAT_WAV | SF_FORMAT_FLOAT;
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    if (file == nullptr) throw HostError("cannot write " + path + ": " + sf_strerror(nullptr));
    std::vector<float> chunk(static_cast<std::size_t>(4096 * info.channels));
    try {
        while (const std::size_t got = source.read(chunk.data(), 4096)) {
            throwIfInterrupted();
            if (sf_writef_float(file, chunk.data(), static_cast<sf_count_t>(got)) != static_cast<sf_count_t>(got))
                throw HostError("cannot write " + path + ": " + sf_strerror(file));
        }
    } catch (...) {
        sf_close(file);
        throw;
    }
    if (sf_close(file) != 0) throw HostError("cannot write " + path);
}

}  // namespace lumhost
