#pragma once
// The desktop services the shell routines stand on: the folder dialog that returns an item
// list, turning an item list into a path, releasing it, and performing a verb on a file.

#include <QString>
#include <cstdint>
#include <string>

class QWidget;

namespace talvane {

// What the folder dialog returns for the chosen folder.
struct ItemIdList {
    std::string path;
};

constexpr uint32_t BIF_RETURNONLYFSDIRS = 1;
constexpr int SW_SHOWNORMAL = 1;
// The longest path the platform takes, terminating NUL included.
constexpr size_t kPathBufferLength = 4096;

struct BrowseInfo {
    QWidget* hwndOwner = nullptr;
    const ItemIdList* pidlRoot = nullptr;
    char* pszDisplayName = nullptr;
    const QString* lpszTitle = nullptr;
    uint32_t ulFlags = 0;
    void* lpfn = nullptr;
    intptr_t lParam = 0;
    int iImage = 0;
};

// Shows the modal folder dialog; the chosen folder's item list, or nullptr when the user
// cancels. The caller releases the result with CoTaskMemFree.
ItemIdList* SHBrowseForFolder(BrowseInfo* info);

// Writes the item list's path, NUL-terminated, into `buffer` of kPathBufferLength chars.
// Given no item list, or a path that does not fit, leaves an empty text.
bool SHGetPathFromIDList(const ItemIdList* list, char* buffer);

// Releases an item list; nullptr is accepted.
void CoTaskMemFree(ItemIdList* list);

// Performs `operation` ("open") on `file` with the desktop's associated program, with
// `directory` (or the program's own when null or empty) as working directory. The
// result says whether the request was handed on, never how it ended.
intptr_t ShellExecute(QWidget* owner, const char* operation, const std::string& file,
                      const char* parameters, const std::string* directory, int showCommand);

}  // namespace talvane
