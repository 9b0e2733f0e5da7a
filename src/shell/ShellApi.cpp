#include "shell/ShellApi.h"

#include <cstring>

#include "app/platform/Desktop.h"

namespace talvane {

ItemIdList* SHBrowseForFolder(BrowseInfo* info) {
    QString title = info->lpszTitle ? *info->lpszTitle : QString();
    std::optional<std::string> folder = TheDesktop().ChooseFolder(info->hwndOwner, title);
    if (!folder || folder->empty()) return nullptr;
    return new ItemIdList{std::move(*folder)};
}

bool SHGetPathFromIDList(const ItemIdList* list, char* buffer) {
    if (!list || list->path.size() >= kPathBufferLength) {
        buffer[0] = '\0';
        return false;
    }
    std::memcpy(buffer, list->path.data(), list->path.size());
    buffer[list->path.size()] = '\0';
    return true;
}

void CoTaskMemFree(ItemIdList* list) { delete list; }

intptr_t ShellExecute(QWidget*, const char* operation, const std::string& file,
                      const char* parameters, const std::string* directory, int) {
    // On a freedesktop system the opener carries out "open" with the associated program.
    if (std::strcmp(operation, "open") != 0 || parameters != nullptr) return 0;
    std::optional<std::string> workingDir;
    if (directory) workingDir = *directory;
    return TheDesktop().StartDetached("xdg-open", {file}, workingDir) ? 42 : 0;
}

}  // namespace talvane
