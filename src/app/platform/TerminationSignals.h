#pragma once
// The signals a desktop session sends to end a program (logging out, a terminal closing,
// Ctrl+C): handled from the event loop, so that they end it the way closing its main window
// does rather than in the middle of whatever it is doing.

#include <functional>

namespace talvane {

// From now on SIGTERM, SIGHUP and SIGINT run `close` from the event loop, once the event
// handler that is running (a rename between its two steps, say) has finished; a modal box or
// dialog that is up is dismissed first, as its close box would.
void CloseOnTerminationSignals(std::function<void()> close);

}  // namespace talvane
