#pragma once
// What screen readers are told our own controls are: a form is a window, the status bar a
// status bar, the image control an image. Qt's classes say so themselves; ours say so
// through an accessibility factory.

namespace talvane {

// Installs the factory; installing it again does nothing.
void InstallAccessibleRoles();

}  // namespace talvane
