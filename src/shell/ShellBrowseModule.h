#pragma once

#include <QString>
#include <string>

class QWidget;

namespace talvane {

// Asks the user for a folder in the folder dialog owned by `ownerHwnd`, showing `title`.
// Returns the chosen folder's full path, or "" when the user chose nothing.
std::string BrowseForFolder(QWidget* ownerHwnd, const QString& title);

}  // namespace talvane
