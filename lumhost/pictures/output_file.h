// An output written beside its target under a temporary name and renamed onto
// it only when complete, so no reader ever sees a partial file.
#pragma once

#include <filesystem>

namespace lumhost {

class OutputFile {
public:
    // Creates the temporary file in the target's folder; throws HostError if it cannot.
    explicit OutputFile(std::filesystem::path target);
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    const std::filesystem::path& target() const { return target_; }
    const std::filesystem::path& temporaryPath() const { return temporary_; }
    // Descriptor of the open temporary file; -1 once released or committed.
    int fd() const { return fd_; }
    // Hands the descriptor to the caller, who closes it (e.g. through a FILE).
    int releaseDescriptor();
    // Closes and renames the temporary file onto the target.
    void commit();

private:
    std::filesystem::path target_;
    std::filesystem::path temporary_;
    int fd_ = -1;
    bool committed_ = false;
};

// Writes all of `size` bytes to `fd`, retrying short writes; throws HostError
// naming `what` on failure and Interrupted when a signal stops it.
void writeAll(int fd, const void* data, std::size_t size, const char* what);

}  // namespace lumhost
