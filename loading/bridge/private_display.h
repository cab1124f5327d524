// An X display of lumhost's own (Xvfb), for the bridge's window: nothing the
// bridge shows can reach the user's desktop. Started on a free display
// number, in a process group of its own (Ctrl-C reaches only lumhost), and
// stopped with the object.
#pragma once

#include <sys/types.h>

#include <string>

namespace lumhost {

class PrivateDisplay {
public:
    // Throws lumload::LoadError if Xvfb is missing or does not start.
    PrivateDisplay(int width, int height);
    ~PrivateDisplay();
    PrivateDisplay(const PrivateDisplay&) = delete;
    PrivateDisplay& operator=(const PrivateDisplay&) = delete;

    const std::string& name() const { return name_; }  // ":N", for DISPLAY
    pid_t pid() const { return pid_; }

private:
    pid_t pid_ = -1;
    std::string name_;
};

}  // namespace lumhost
