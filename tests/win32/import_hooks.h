// Watches the module's drawing: its import-table slots for the eight drawing
// functions are pointed at recorders that write the call down and pass it on
// to the real function. The slots are restored when this goes.
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <string>
#include <vector>

#include "support/recording_ops.h"

namespace gyrotrail::testing {

class ImportHooks {
public:
    explicit ImportHooks(HMODULE module);  // one set of hooks at a time
    ~ImportHooks();
    ImportHooks(const ImportHooks&) = delete;
    ImportHooks& operator=(const ImportHooks&) = delete;

    // The number of the eight slots found and redirected.
    int hooked() const { return static_cast<int>(patches_.size()); }

    // The calls since the last take(), formatted as the recording backend
    // formats its own, and then forgotten.
    std::string takeTrace();

    // Pens the module made that GDI still holds; 0 once it has cleaned up.
    int pensStillAlive() const;

    std::vector<DrawCall> calls;
    int contextsObtained = 0;  // GetDC calls that gave a context
    int contextsReleased = 0;  // ReleaseDC calls that released one
    int pensCreated = 0;       // CreatePen calls that gave a pen
    int pensDeleted = 0;       // DeleteObject calls that deleted one of those
    int mostPensAtOnce = 0;
    std::vector<HGDIOBJ> pensMade;    // every pen the module was given, in order
    std::vector<std::string> faults;  // calls that broke the pen and context discipline

private:
    struct Patch {
        void** slot;
        void* original;
    };
    std::vector<Patch> patches_;
};

}  // namespace gyrotrail::testing
