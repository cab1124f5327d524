// What the drawing backend a fuzz build is linked with saw during one entry
// point call. Each binding of the fuzz target provides these once.
#pragma once

namespace gyrotrail::fuzz {

struct BackendReport {
    const char* fault;  // the first rule of the pen and context discipline broken, or null
    int framesDrawn;    // drawing contexts obtained; -1 where the backend cannot tell
    int pensCreated;    // -1 where the backend cannot tell
};

// Starts a fresh account before an entry point is called.
void beginBackendCall();
// Closes the account once the call has returned.
BackendReport endBackendCall();

}  // namespace gyrotrail::fuzz
