#include "app/platform/Kill.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>

#include "app/platform/FolderFd.h"
#include "app/platform/Names.h"
#include "app/platform/RuntimeError.h"

namespace talvane {

void Kill(const std::string& path) {
    UniqueFd folder = OpenFolderOf(path);
    if (folder.get() < 0) throw ErrorFromErrno(errno, path);
    const std::string name = BaseName(path);
    struct stat st {};
    if (::fstatat(folder.get(), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0)
        throw ErrorFromErrno(errno, path);
    // A folder that ignores letter case answers to this spelling with a file kept under
    // another one, which is not the file asked for (that one went, and another took a name
    // that differs in case alone).
    if (!SpeltExactly(folder.get(), name)) throw ErrorFromErrno(ENOENT, path);
    if (S_ISDIR(st.st_mode))
        throw RuntimeError(
            errPathFileAccess,
            QStringLiteral("Path/File access error (a folder): \"%1\"").arg(DisplayName(path)));
    if (!S_ISLNK(st.st_mode) && (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0)
        throw RuntimeError(errPathFileAccess,
                           QStringLiteral("Path/File access error (the file is read-only): \"%1\"")
                               .arg(DisplayName(path)));
    if (::unlinkat(folder.get(), name.c_str(), 0) != 0) throw ErrorFromErrno(errno, path);
}

}  // namespace talvane
