#include "host/sound/raw_input.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

extern "C" {
#include <libswresample/swresample.h>
}

#include <atomic>
#include <cerrno>
#include <cstring>
#include <thread>
#include <vector>

#include "host/base/host_error.h"
#include "host/base/interrupt.h"
#include "host/base/number_text.h"
#include "host/sound/live_source.h"

namespace lumhost {
namespace {

constexpr const char* formatHelp = "expected FORMAT:RATE:CHANNELS with FORMAT s16le, s8, u8, s32le or f32le, e.g. s16le:44100:2";

// More than two channels are mixed down to stereo with the library's standard matrix.
class DownMix {
public:
    explicit DownMix(int channels) {
        AVChannelLayout in{}, out{};
        av_channel_layout_default(&in, channels);
        av_channel_layout_default(&out, 2);
        const int made = swr_alloc_set_opts2(&context_, &out, AV_SAMPLE_FMT_FLT, 48000, &in, AV_SAMPLE_FMT_FLT, 48000, 0, nullptr);
        av_channel_layout_uninit(&in);
        if (made < 0 || swr_init(context_) < 0) throw HostError("cannot mix " + std::to_string(channels) + " channels down to stereo");
    }
    ~DownMix() { swr_free(&context_); }
    DownMix(const DownMix&) = delete;
    DownMix& operator=(const DownMix&) = delete;
    void run(const float* in, std::size_t frames, std::vector<float>& out) {
        out.resize(2 * frames);
        uint8_t* to[] = {reinterpret_cast<uint8_t*>(out.data())};
        const uint8_t* from[] = {reinterpret_cast<const uint8_t*>(in)};
        const int got = swr_convert(context_, to, static_cast<int>(frames), from, static_cast<int>(frames));
        out.resize(2 * static_cast<std::size_t>(std::max(got, 0)));
    }

private:
    SwrContext* context_ = nullptr;
};

class RawInput final : public LiveSource {
public:
    RawInput(std::string name, int fd, const RawInputFormat& format)
        : LiveSource(format.rate, format.channels == 1 ? 1 : 2, 4.0, false), name_(std::move(name)), fd_(fd), format_(format) {
        if (format.channels > 2) downMix_ = std::make_unique<DownMix>(format.channels);
        reader_ = std::thread([this] { readAll(); });
    }
    ~RawInput() override {
        stop_ = true;
        release();
        reader_.join();
        if (fd_ != STDIN_FILENO) ::close(fd_);
    }
    RawInput(const RawInput&) = delete;
    RawInput& operator=(const RawInput&) = delete;

    std::string name() const override { return name_; }

private:
    void readAll() {
        const auto frameBytes = static_cast<std::size_t>(sampleBytes(format_.format) * format_.channels);
        std::vector<unsigned char> bytes(65536 / frameBytes * frameBytes + frameBytes);
        std::vector<float> samples, mixed;
        std::size_t held = 0;  // bytes of an incomplete sample frame carried over
        while (!stop_) {
            pollfd wait{fd_, POLLIN, 0};
            const int ready = ::poll(&wait, 1, 50);
            if (ready < 0 && errno != EINTR) return close(std::string("cannot read ") + name_ + ": " + std::strerror(errno));
            if (ready <= 0) continue;
            const ssize_t got = ::read(fd_, bytes.data() + held, bytes.size() - held);
            if (got < 0) {
                if (errno == EINTR || errno == EAGAIN) continue;
                return close(std::string("cannot read ") + name_ + ": " + std::strerror(errno));
            }
            if (got == 0) return close();  // the writer has finished
            held += static_cast<std::size_t>(got);
            const std::size_t frames = held / frameBytes;
            samples.resize(frames * static_cast<std::size_t>(format_.channels));
            rawToFloat(bytes.data(), samples.size(), format_.format, samples.data());
            if (downMix_) {
                downMix_->run(samples.data(), frames, mixed);
                if (!put(mixed.data(), mixed.size() / 2)) return;
            } else if (!put(samples.data(), frames)) {
                return;
            }
            std::memmove(bytes.data(), bytes.data() + frames * frameBytes, held - frames * frameBytes);
            held -= frames * frameBytes;
        }
    }

    std::string name_;
    int fd_;
    RawInputFormat format_;
    std::unique_ptr<DownMix> downMix_;
    std::atomic<bool> stop_{false};
    std::thread reader_;
};

}  // namespace

int sampleBytes(SampleFormat format) {
    switch (format) {
        case SampleFormat::s8:
        case SampleFormat::u8: return 1;
        case SampleFormat::s16le: return 2;
        default: return 4;
    }
}

RawInputFormat parseRawInputFormat(std::string_view text) {
    const auto first = text.find(':'), second = text.find(':', first == std::string_view::npos ? first : first + 1);
    if (first == std::string_view::npos || second == std::string_view::npos || text.find(':', second + 1) != std::string_view::npos)
        throw HostError("--input-format: " + std::string(formatHelp) + ", got '" + std::string(text) + "'");
    const auto name = text.substr(0, first);
    RawInputFormat format;
    if (name == "s16le") format.format = SampleFormat::s16le;
    else if (name == "s8") format.format = SampleFormat::s8;
    else if (name == "u8") format.format = SampleFormat::u8;
    else if (name == "s32le") format.format = SampleFormat::s32le;
    else if (name == "f32le") format.format = SampleFormat::f32le;
    else throw HostError("--input-format: unknown sample format '" + std::string(name) + "'; " + formatHelp);
    const auto rate = parseDigits(text.substr(first + 1, second - first - 1));
    if (!rate || *rate < 1000 || *rate > 768000)
        throw HostError("--input-format: the rate must be 1000 to 768000 samples per second, got '" +
                        std::string(text.substr(first + 1, second - first - 1)) + "'");
    const auto channels = parseDigits(text.substr(second + 1));
    if (!channels || *channels < 1 || *channels > 8)
        throw HostError("--input-format: the channels must be 1 to 8, got '" + std::string(text.substr(second + 1)) + "'");
    format.rate = static_cast<int>(*rate);
    format.channels = static_cast<int>(*channels);
    return format;
}

void rawToFloat(const unsigned char* bytes, std::size_t samples, SampleFormat format, float* out) {
    for (std::size_t i = 0; i < samples; ++i) {
        switch (format) {
            case SampleFormat::s8: out[i] = static_cast<float>(static_cast<int8_t>(bytes[i])) / 128.0f; break;
            case SampleFormat::u8: out[i] = static_cast<float>(static_cast<int>(bytes[i]) - 128) / 128.0f; break;
            case SampleFormat::s16le: {
                const auto value = static_cast<int16_t>(bytes[2 * i] | (bytes[2 * i + 1] << 8));
                out[i] = static_cast<float>(value) / 32768.0f;
                break;
            }
            case SampleFormat::s32le: {
                const auto* p = bytes + 4 * i;
                const auto value = static_cast<int32_t>(static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
                                                        (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24));
                out[i] = static_cast<float>(static_cast<double>(value) / 2147483648.0);
                break;
            }
            case SampleFormat::f32le: {
                uint32_t word = static_cast<uint32_t>(bytes[4 * i]) | (static_cast<uint32_t>(bytes[4 * i + 1]) << 8) |
                                (static_cast<uint32_t>(bytes[4 * i + 2]) << 16) | (static_cast<uint32_t>(bytes[4 * i + 3]) << 24);
                std::memcpy(&out[i], &word, sizeof word);
                break;
            }
        }
    }
}

std::unique_ptr<AudioSource> openRawInput(const std::string& path, const RawInputFormat& format) {
    if (path == "-") {
        if (::isatty(STDIN_FILENO)) throw HostError("--input -: standard input is a terminal; pipe raw sound into it");
        return std::make_unique<RawInput>("standard input", STDIN_FILENO, format);
    }
    int fd = -1;
    // A FIFO's open waits for its writer; Ctrl-C ends the wait.
    while ((fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC)) < 0) {
        if (errno != EINTR) throw HostError("cannot open input " + path + ": " + std::strerror(errno));
        throwIfInterrupted();
    }
    struct stat status {};
    if (::fstat(fd, &status) == 0 && S_ISDIR(status.st_mode)) {
        ::close(fd);
        throw HostError("cannot open input " + path + ": is a folder");
    }
    return std::make_unique<RawInput>(path, fd, format);
}

}  // namespace lumhost
