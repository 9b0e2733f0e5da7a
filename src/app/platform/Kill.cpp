#include "app/platform/Kill.h"

#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

#include "app/platform/Names.h"
#include "app/platform/RuntimeError.h"

namespace talvane {

void Kill(const std::string& path) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0) throw ErrorFromErrno(errno, path);
    if (S_ISDIR(st.st_mode))
        throw RuntimeError(errPathFileAccess,
                           QStringLiteral("Path/File access error (a folder): \"%1\"")
                               .arg(DisplayName(path)));
    if (!S_ISLNK(st.st_mode) && (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0)
        throw RuntimeError(errPathFileAccess,
                           QStringLiteral("Path/File access error (the file is read-only): \"%1\"")
                               .arg(DisplayName(path)));
    if (::unlink(path.c_str()) != 0) throw ErrorFromErrno(errno, path);
}

}  // namespace talvane
