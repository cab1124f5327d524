// Audio files decoded by libsndfile.
#include <sndfile.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>

#include "host/sound/audio_source.h"
#include "host/base/host_error.h"

namespace lumhost {
namespace {

class SndfileSource final : public AudioSource {
public:
    SndfileSource(std::string path, SNDFILE* file, const SF_INFO& info) : path_(std::move(path)), file_(file), info_(info) {}
    ~SndfileSource() override { sf_close(file_); }

    int channels() const override { return info_.channels; }
    int sampleRate() const override { return info_.samplerate; }
    int64_t frames() const override { return info_.frames; }
    std::string name() const override { return path_; }

    std::size_t read(float* interleaved, std::size_t count) override {
        const sf_count_t got = sf_readf_float(file_, interleaved, static_cast<sf_count_t>(count));
        if (got < static_cast<sf_count_t>(count) && sf_error(file_) != SF_ERR_NO_ERROR)
            throw HostError("cannot decode " + path_ + ": " + sf_strerror(file_));
        return got > 0 ? static_cast<std::size_t>(got) : 0;
    }

private:
    std::string path_;
    SNDFILE* file_;
    SF_INFO info_;
};

}  // namespace

std::unique_ptr<AudioSource> openAudioFile(const std::string& path) {
    struct stat status {};
    if (::stat(path.c_str(), &status) != 0) throw HostError("cannot open audio " + path + ": " + std::strerror(errno));
    if (S_ISDIR(status.st_mode)) throw HostError("cannot open audio " + path + ": is a folder");
    SF_INFO info{};
    SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
    if (file == nullptr) throw HostError("cannot open audio " + path + ": " + sf_strerror(nullptr));
    auto source = std::make_unique<SndfileSource>(path, file, info);
    if (info.channels < 1 || info.samplerate < 1) throw HostError("cannot open audio " + path + ": no channels or no sample rate");
    if (info.frames <= 0) throw HostError("audio " + path + " holds no sound");
    // Floating-point files may exceed -1..1; the conversion to 8 bits clips them.
    sf_command(file, SFC_SET_NORM_FLOAT, nullptr, SF_TRUE);
    return source;
}

}  // namespace lumhost
