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
