// Ctrl-C and termination requests turn into a flag the long loops poll, so
// that every temporary file is removed on the way out.
#pragma once

namespace lumhost {

// SIGINT and SIGTERM set the flag (system calls they interrupt return EINTR);
// SIGPIPE is ignored so that a closed pipe shows up as a write error.
void installInterruptHandlers();
bool interrupted();
// The signal that arrived, 0 if none.
int interruptSignal();
// Throws Interrupted once a signal has arrived.
void throwIfInterrupted();
// Takes the interrupt as handled: a live recording stops on Ctrl-C and then
// finalises its output as any other end; a second Ctrl-C interrupts that.
void acceptInterrupt();

}  // namespace lumhost
