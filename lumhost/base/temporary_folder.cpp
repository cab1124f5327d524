#include "lumhost/base/temporary_folder.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>

#include "lumhost/base/host_error.h"

namespace lumhost {

TemporaryFolder::TemporaryFolder() {
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base != nullptr && *base != '\0' ? base : "/tmp") + "/lumhost-XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr)
        throw HostError("cannot make a temporary folder in " + pattern.substr(0, pattern.rfind('/')) + ": " + std::strerror(errno));
    path_ = pattern;
}

TemporaryFolder::~TemporaryFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

}  // namespace lumhost
