#pragma once
// The modal message box, owned by the active window of the program, or by its main window
// when none is active.

#include <QIcon>
#include <QString>

#include "app/platform/Desktop.h"

namespace talvane {

// The application title, the caption of a message box that is given none.
QString AppTitle();
// The application icon, 16 x 16 and 32 x 32: the main window's and every message box's.
QIcon AppIcon();

// Shows `prompt` with the buttons and icon of `style`; an empty `title` gives the
// application title. Returns the button pressed (vbOK, vbYes, vbNo).
int MsgBox(const QString& prompt, int style = vbOKOnly, const QString& title = QString());

}  // namespace talvane

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
