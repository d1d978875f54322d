#include "interruption.h"

#include <atomic>
#include <csignal>

namespace translator {

namespace {

// Set by the signal handler, read by every thread of a folder run.
std::atomic<int> interruptSignal{0};
static_assert(std::atomic<int>::is_always_lock_free, "set from a signal handler");

void OnInterrupt(int signal) {
    int none = 0;
    interruptSignal.compare_exchange_strong(none, signal);
}

}  // namespace

void CancelOnInterrupt() {
    struct sigaction action {};
    action.sa_handler = OnInterrupt;
    sigemptyset(&action.sa_mask);
    // Without SA_RESTART a wait for standard input ends at once.
    action.sa_flags = SA_RESETHAND;
    for (int signal : {SIGINT, SIGTERM, SIGHUP}) {
        sigaction(signal, &action, nullptr);
    }
}

bool Interrupted() {
    return interruptSignal != 0;
}

int InterruptSignal() {
    return interruptSignal;
}

}  // namespace translator
