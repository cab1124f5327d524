#include "lumhost/base/interrupt.h"

#include <csignal>

#include "lumhost/base/host_error.h"

namespace lumhost {
namespace {

volatile std::sig_atomic_t caughtSignal = 0;

extern "C" void onSignal(int signal) { caughtSignal = signal; }

}  // namespace

void installInterruptHandlers() {
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = 0;  // no SA_RESTART: a blocked write returns so the loop can stop
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    std::signal(SIGPIPE, SIG_IGN);
}

bool interrupted() { return caughtSignal != 0; }

int interruptSignal() { return caughtSignal; }

void throwIfInterrupted() {
    if (interrupted()) throw Interrupted();
}

void acceptInterrupt() { caughtSignal = 0; }

}  // namespace lumhost
