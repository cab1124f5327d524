// A private scratch folder under $TMPDIR (or /tmp), removed with everything
// in it when the object goes, however the run ends.
#pragma once

#include <filesystem>

namespace lumhost {

class TemporaryFolder {
public:
    TemporaryFolder();  // throws HostError if it cannot be made
    ~TemporaryFolder();
    TemporaryFolder(const TemporaryFolder&) = delete;
    TemporaryFolder& operator=(const TemporaryFolder&) = delete;

    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
};

}  // namespace lumhost
