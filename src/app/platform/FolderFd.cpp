#include "app/platform/FolderFd.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "app/platform/Names.h"

namespace talvane {

UniqueFd OpenFolderOf(const std::string& path) {
    // O_PATH: the folder is only a place to look names up in; no read permission is needed.
    return UniqueFd(::open(FolderPart(path).c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
}

bool ListsAny(int folderFd, const std::function<bool(std::string_view)>& match) {
    int fd = ::openat(folderFd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return true;
    DIR* dir = ::fdopendir(fd);
    if (!dir) {
        ::close(fd);
        return true;
    }
    bool found = false;
    while (struct dirent* entry = ::readdir(dir)) {
        if (match(entry->d_name)) {
            found = true;
            break;
        }
    }
    ::closedir(dir);
    return found;
}

bool SpeltExactly(int folderFd, const std::string& name) {
    std::string other = name;
    for (size_t i = other.size(); i-- > 0;) {
        char& c = other[i];
        if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z')) {
            c ^= 0x20;  // the other case of an ASCII letter
            break;
        }
    }
    struct stat st {};
    // A folder that tells letter case apart, as most do, does not answer to the other spelling.
    if (other != name && ::fstatat(folderFd, other.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0 &&
        errno == ENOENT)
        return true;
    return ListsAny(folderFd, [&](std::string_view listed) { return listed == name; });
}

}  // namespace talvane
