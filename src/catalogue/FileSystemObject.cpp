#include "catalogue/FileSystemObject.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "app/platform/Names.h"
#include "app/platform/RuntimeError.h"

namespace talvane {

namespace {

std::string FolderOf(const std::string& path) {
    size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

RuntimeError BadName(const std::string& name, const char* why) {
    return RuntimeError(errBadFileName,
                        QStringLiteral("Bad file name (%1): \"%2\"").arg(why, DisplayName(name)));
}

bool SameFile(const std::string& a, const std::string& b) {
    struct stat x {}, y {};
    return ::lstat(a.c_str(), &x) == 0 && ::lstat(b.c_str(), &y) == 0 && x.st_dev == y.st_dev &&
           x.st_ino == y.st_ino;
}

// For file systems without an atomic no-replace rename: a hard link fails when the name is
// taken; without hard links, an exclusively created placeholder reserves the name first.
int RenameNoReplaceFallback(const char* from, const char* to) {
    if (::link(from, to) == 0) {
        if (::unlink(from) != 0) {
            int err = errno;
            ::unlink(to);
            errno = err;
            return -1;
        }
        return 0;
    }
    if (errno != EPERM && errno != ENOTSUP && errno != EOPNOTSUPP && errno != EMLINK) return -1;
    int fd = ::open(to, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0) return -1;
    ::close(fd);
    if (::rename(from, to) != 0) {
        int err = errno;
        ::unlink(to);
        errno = err;
        return -1;
    }
    return 0;
}

}  // namespace

std::string_view FsFile::Name() const { return BaseNameView(path_); }

void FsFile::SetName(const std::string& name) {
    if (name.find('/') != std::string::npos) throw BadName(name, "a name cannot contain \"/\"");
    if (name.find('\0') != std::string::npos) throw BadName(name, "a name cannot contain NUL");
    if (name.empty() || name == "." || name == "..") throw BadName(name, "not a file name");
    if (name.size() > NAME_MAX) throw BadName(name, "the name is too long");

    std::string target = JoinPath(FolderOf(path_), name);
    if (target == path_) return;
    int rc = ::renameat2(AT_FDCWD, path_.c_str(), AT_FDCWD, target.c_str(), RENAME_NOREPLACE);
    if (rc != 0 && (errno == EINVAL || errno == ENOSYS || errno == ENOTSUP))
        rc = RenameNoReplaceFallback(path_.c_str(), target.c_str());
    if (rc != 0 && errno == EEXIST && SameFile(path_, target)) {
        // Only the case of the name changes on a case-insensitive file system.
        rc = ::rename(path_.c_str(), target.c_str());
    }
    if (rc != 0) {
        int err = errno;
        throw ErrorFromErrno(err, err == EEXIST ? target : path_);
    }
    path_ = std::move(target);
}

FsFolder::~FsFolder() {
    if (dir_) ::closedir(static_cast<DIR*>(dir_));
}

bool FsFolder::NextFile(FsFile& file) {
    DIR* dir = static_cast<DIR*>(dir_);
    for (;;) {
        errno = 0;
        struct dirent* entry = ::readdir(dir);
        if (!entry) {
            if (errno != 0) throw ErrorFromErrno(errno, path_, PathKind::Folder);
            return false;
        }
        const char* name = entry->d_name;
        if (name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'))) continue;
        if (entry->d_type != DT_REG && entry->d_type != DT_LNK && entry->d_type != DT_UNKNOWN)
            continue;  // folders, FIFOs, sockets and devices are not files to list
        struct stat st {};
        if (::fstatat(::dirfd(dir), name, &st, 0) != 0) continue;  // dangling link, or gone
        if (!S_ISREG(st.st_mode)) continue;
        JoinPathInto(file.path_, path_, name);  // over the previous file's path, reusing its memory
        file.size_ = static_cast<uint64_t>(st.st_size);
        file.folderFd_ = ::dirfd(dir);
        return true;
    }
}

std::unique_ptr<FsFolder> FileSystemObject::GetFolder(const std::string& path) {
    DIR* dir = ::opendir(path.c_str());
    if (!dir) throw ErrorFromErrno(errno, path, PathKind::Folder);
    return std::unique_ptr<FsFolder>(new FsFolder(path, dir));
}

FsFile FileSystemObject::GetFile(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) throw ErrorFromErrno(errno, path);
    if (S_ISDIR(st.st_mode)) throw ErrorFromErrno(ENOENT, path);
    return FsFile(path, static_cast<uint64_t>(st.st_size));
}

}  // namespace talvane
