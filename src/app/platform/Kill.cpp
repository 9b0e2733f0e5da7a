#include "app/platform/Kill.h"

#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>

#include "app/platform/Folder.h"
#include "app/platform/Names.h"
#include "app/platform/RuntimeError.h"

namespace talvane {

void Kill(const std::string& path) {
    std::error_code error;
    const Folder folder = Folder::OpenHolding(path, error);
    if (error) throw ErrorFromErrno(error.value(), path);
    const std::string name = BaseName(path);
    struct stat st {};
    if ((error = folder.Stat(name.c_str(), st, false))) throw ErrorFromErrno(error.value(), path);
    // A folder that ignores letter case answers to this spelling with a file kept under
    // another one, which is not the file asked for (that one went, and another took a name
    // that differs in case alone). A folder that cannot be listed rules nothing out.
    bool exactly;
    folder.SpeltExactly(name, exactly);
    if (!exactly) throw ErrorFromErrno(ENOENT, path);
    if (S_ISDIR(st.st_mode))
        throw RuntimeError(
            errPathFileAccess,
            QStringLiteral("Path/File access error (a folder): \"%1\"").arg(DisplayName(path)));
    if (!S_ISLNK(st.st_mode) && (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0)
        throw RuntimeError(errPathFileAccess,
                           QStringLiteral("Path/File access error (the file is read-only): \"%1\"")
                               .arg(DisplayName(path)));
    if ((error = folder.Unlink(name.c_str()))) throw ErrorFromErrno(error.value(), path);
}

}  // namespace talvane
