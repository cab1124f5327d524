// The one kind of failure lumhost reports: a single line naming the cause.
#pragma once

#include <stdexcept>
#include <string>

namespace lumhost {

struct HostError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// Thrown when the user interrupts a run (Ctrl-C); the exit status says which signal.
struct Interrupted : HostError {
    Interrupted() : HostError("interrupted") {}
};

}  // namespace lumhost
