#include "app/platform/FolderFd.h"

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

}  // namespace talvane
