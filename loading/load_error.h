// The one kind of failure loading a plug-in reports: a single line naming
// the cause (the file, the entry point, what the bridge said). Every host
// shows it as it shows its own errors.
#pragma once

#include <stdexcept>

namespace lumload {

struct LoadError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

}  // namespace lumload
