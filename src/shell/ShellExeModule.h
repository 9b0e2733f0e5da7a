#pragma once

#include <string>

class QWidget;

namespace talvane {

// Opens `file` with the program the desktop associates with it, on behalf of `ownerHwnd`,
// with the file's folder as working directory when `useParentAsWorkingDir` is true. Ends
// silently on any failure; the outcome is never examined.
void ShellOpen(const std::string& file, QWidget* ownerHwnd, bool useParentAsWorkingDir);

// The folder part of `path`: everything before its last "/" or "\" (after removing one
// trailing separator when `stripTrailingSeparator` is true); "" when there is none.
std::string ParentFolder(std::string path, bool stripTrailingSeparator);

}  // namespace talvane
