#include "lumhost/pictures/output_file.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>

#include "lumhost/base/host_error.h"
#include "lumhost/base/interrupt.h"

namespace lumhost {

OutputFile::OutputFile(std::filesystem::path target) : target_(std::move(target)) {
    const auto folder = target_.has_parent_path() ? target_.parent_path() : std::filesystem::path(".");
    std::string pattern = (folder / ("." + target_.filename().string() + ".partial-XXXXXX")).string();
    fd_ = mkstemp(pattern.data());
    if (fd_ < 0) throw HostError("cannot write " + target_.string() + ": " + std::strerror(errno));
    temporary_ = pattern;
}

OutputFile::~OutputFile() {
    if (fd_ >= 0) ::close(fd_);
    if (!committed_) ::unlink(temporary_.c_str());
}

int OutputFile::releaseDescriptor() {
    const int fd = fd_;
    fd_ = -1;
    return fd;
}

void OutputFile::commit() {
    if (fd_ >= 0) {
        const int result = ::close(fd_);
        fd_ = -1;
        if (result != 0) throw HostError("cannot write " + target_.string() + ": " + std::strerror(errno));
    }
    // mkstemp makes the file private; give it the permissions a new file would get.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    ::chmod(temporary_.c_str(), 0666 & ~mask);
    if (std::rename(temporary_.c_str(), target_.c_str()) != 0)
        throw HostError("cannot write " + target_.string() + ": " + std::strerror(errno));
    committed_ = true;
}

void writeAll(int fd, const void* data, std::size_t size, const char* what) {
    const auto* bytes = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t written = ::write(fd, bytes, size);
        if (written < 0) {
            if (errno == EINTR) {
                throwIfInterrupted();
                continue;
            }
            throw HostError(std::string("cannot write ") + what + ": " + std::strerror(errno));
        }
        bytes += written;
        size -= static_cast<std::size_t>(written);
    }
}

}  // namespace lumhost
