// Makes the module's own class-library state current for the length of one
// entry point and gives the caller's back on every way out.
//
// Only lumInit, lumStart and lumDisplaySoundData switch. Where the module is
// not built on the class library there is no module state to switch, and the
// guard does nothing.
#pragma once

namespace gyrotrail {

class ModuleStateGuard {
public:
    // User-provided, as a switching guard's are: a guard is used for its
    // lifetime alone.
    ModuleStateGuard() {}
    ModuleStateGuard(const ModuleStateGuard&) = delete;
    ModuleStateGuard& operator=(const ModuleStateGuard&) = delete;
    ~ModuleStateGuard() {}
};

}  // namespace gyrotrail
