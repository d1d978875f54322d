#pragma once

namespace translator {

// From now on SIGINT, SIGTERM and SIGHUP (a closed terminal) cancel every
// conversion of the process that asks Interrupted(); a second one ends the
// program as usual.
void CancelOnInterrupt();
// Whether one of them arrived since CancelOnInterrupt.
bool Interrupted();
// The first of them that arrived; 0 when none did.
int InterruptSignal();

}  // namespace translator
