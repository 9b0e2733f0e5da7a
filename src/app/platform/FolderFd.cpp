#include "app/platform/FolderFd.h"

#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include "app/platform/Names.h"

namespace talvane {

UniqueFd::~UniqueFd() {
    if (fd_ >= 0) ::close(fd_);
}

UniqueFd& UniqueFd::operator=(UniqueFd&& other) noexcept {
    if (this != &other) {
        if (fd_ >= 0) ::close(fd_);
        fd_ = other.fd_;
        other.fd_ = -1;
    }
    return *this;
}

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

}  // namespace talvane
