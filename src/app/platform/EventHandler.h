#pragma once
// Event handlers run so that no failure escapes into the event loop: a failure a handler does
// not handle is reported in a message box, and one that cannot even be reported ends the
// program with a status that says so.

#include <functional>

namespace talvane {

class RuntimeError;

// An error that no handler caught: shown in a message box, and the program goes on.
void ReportRuntimeError(const RuntimeError& error);

// Runs an event handler so that no failure escapes into the event loop: whatever it does not
// handle itself is reported with ReportRuntimeError. Should the report fail too, the program
// ends through EndUnreported.
void RunEventHandler(const std::function<void()>& handler);

// Whether an event handler run through RunEventHandler has not yet returned.
bool InEventHandler();

// The exit status of a program that met a failure it could not even report.
constexpr int kExitUnreported = 71;
// Writes `what` to standard error and ends the program with kExitUnreported, allocating
// nothing on the way.
[[noreturn]] void EndUnreported(const char* what);
// Has a failure that escapes every handler (or is thrown where Qt cannot pass it on) end the
// program through EndUnreported rather than by a signal.
void EndUnreportedOnTerminate();

}  // namespace talvane
