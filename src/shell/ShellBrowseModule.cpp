#include "shell/ShellBrowseModule.h"

#include "shell/ShellApi.h"

namespace talvane {

namespace {
// Releases the item list however the routine ends.
struct ItemListGuard {
    ItemIdList* list = nullptr;
    ~ItemListGuard() { CoTaskMemFree(list); }
};
}  // namespace

std::string BrowseForFolder(QWidget* ownerHwnd, const QString& title) {
    const QString titleCopy = title;

    BrowseInfo info{};
    info.hwndOwner = ownerHwnd;
    info.pidlRoot = nullptr;
    info.pszDisplayName = nullptr;
    info.lpszTitle = &titleCopy;
    info.ulFlags = BIF_RETURNONLYFSDIRS;
    info.lpfn = nullptr;
    info.lParam = 0;
    info.iImage = 0;

    ItemListGuard chosen;
    chosen.list = SHBrowseForFolder(&info);

    std::string buffer(kPathBufferLength, ' ');
    SHGetPathFromIDList(chosen.list, buffer.data());

    // Everything before the first NUL is the path; spaces inside it stay. A buffer with no
    // NUL holds no whole path, and gives nothing.
    size_t nul = buffer.find('\0');
    std::string path = nul == std::string::npos ? std::string() : buffer.substr(0, nul);

    CoTaskMemFree(chosen.list);
    chosen.list = nullptr;
    return path;
}

}  // namespace talvane
