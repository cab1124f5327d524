#include "lumhost/sound/raw_input.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <thread>
#include <vector>

#include "lumhost/base/host_error.h"
#include "lumhost/base/interrupt.h"
#include "lumhost/sound/live_source.h"
#include "rules/number_text.h"

namespace lumhost {
namespace {

constexpr const char* formatHelp = "expected FORMAT:RATE:CHANNELS with FORMAT s16le, s8, u8, s32le or f32le, e.g. s16le:44100:2";

class RawInput final : public LiveSource {
public:
    RawInput(std::string name, int fd, const RawInputFormat& format)
        : LiveSource(format.rate, lumrules::mixedChannels(format.channels), 4.0, false), name_(std::move(name)), fd_(fd), format_(format) {
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
        const auto frameBytes = static_cast<std::size_t>(lumrules::sampleBytes(format_.format) * format_.channels);
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
            // Wider sound is mixed down to stereo as every front end mixes it.
            samples.clear();
            lumrules::appendInterleaved(bytes.data(), frames, format_.channels, format_.format, samples);
            if (format_.channels > 2) {
                mixed.clear();
                lumrules::mixDown(samples.data(), frames, format_.channels, mixed);
                if (!put(mixed.data(), frames)) return;
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
    std::atomic<bool> stop_{false};
    std::thread reader_;
};

}  // namespace

RawInputFormat parseRawInputFormat(std::string_view text) {
    const auto first = text.find(':'), second = text.find(':', first == std::string_view::npos ? first : first + 1);
    if (first == std::string_view::npos || second == std::string_view::npos || text.find(':', second + 1) != std::string_view::npos)
        throw HostError("--input-format: " + std::string(formatHelp) + ", got '" + std::string(text) + "'");
    const auto name = text.substr(0, first);
    RawInputFormat format;
    using lumrules::SampleFormat;
    if (name == "s16le") format.format = SampleFormat::s16;
    else if (name == "s8") format.format = SampleFormat::s8;
    else if (name == "u8") format.format = SampleFormat::u8;
    else if (name == "s32le") format.format = SampleFormat::s32;
    else if (name == "f32le") format.format = SampleFormat::f32;
    else throw HostError("--input-format: unknown sample format '" + std::string(name) + "'; " + formatHelp);
    const auto rate = lumrules::parseDigits(text.substr(first + 1, second - first - 1));
    if (!rate || *rate < 1000 || *rate > 768000)
        throw HostError("--input-format: the rate must be 1000 to 768000 samples per second, got '" +
                        std::string(text.substr(first + 1, second - first - 1)) + "'");
    const auto channels = lumrules::parseDigits(text.substr(second + 1));
    if (!channels || *channels < 1 || *channels > 8)
        throw HostError("--input-format: the channels must be 1 to 8, got '" + std::string(text.substr(second + 1)) + "'");
    format.rate = static_cast<int>(*rate);
    format.channels = static_cast<int>(*channels);
    return format;
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
