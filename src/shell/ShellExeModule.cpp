#include "shell/ShellExeModule.h"

#include "shell/ShellApi.h"

namespace talvane {

void ShellOpen(const std::string& file, QWidget* ownerHwnd, bool useParentAsWorkingDir) {
    try {
        if (file.empty()) return;
        if (useParentAsWorkingDir) {
            const std::string directory = ParentFolder(file, true);
            ShellExecute(ownerHwnd, "open", file, nullptr, &directory, SW_SHOWNORMAL);
        } else {
            ShellExecute(ownerHwnd, "open", file, nullptr, nullptr, SW_SHOWNORMAL);
        }
    } catch (...) {
        // Opening is a request to the desktop; whatever goes wrong, nothing is reported.
    }
}

std::string ParentFolder(std::string path, bool stripTrailingSeparator) {
    auto isSeparator = [](char c) { return c == '/' || c == '\\'; };
    if (stripTrailingSeparator && !path.empty() && isSeparator(path.back())) path.pop_back();
    for (size_t i = path.size(); i-- > 0;) {
        if (isSeparator(path[i])) return path.substr(0, i);
    }
    return std::string();
}

}  // namespace talvane
