#include "app/platform/RuntimeError.h"

#include <cerrno>
#include <cstring>

#include "app/platform/Names.h"

namespace talvane {

RuntimeError::RuntimeError(int number, QString description)
    : number_(number), description_(std::move(description)) {
    what_ = QStringLiteral("%1: %2").arg(number_).arg(description_).toStdString();
}

RuntimeError KeyNotUnique(const std::string& key) {
    return RuntimeError(
        errKeyNotUnique,
        QStringLiteral("Key is not unique in collection: \"%1\"").arg(DisplayName(key)));
}

RuntimeError ElementNotFound(const std::string& key) {
    return RuntimeError(errElementNotFound,
                        QStringLiteral("Element not found: \"%1\"").arg(DisplayName(key)));
}

RuntimeError InvalidPicture(const std::string& path) {
    return RuntimeError(errInvalidPicture,
                        QStringLiteral("Invalid picture: \"%1\"").arg(DisplayName(path)));
}

RuntimeError InvalidPropertyValue() {
    return RuntimeError(errInvalidPropertyValue, QStringLiteral("Invalid property value"));
}

namespace {

struct Cause {
    int number;
    const char* text;
};

Cause CauseOf(int err, PathKind kind) {
    switch (err) {
        case ENOENT:
        case ENOTDIR:
            return kind == PathKind::Folder ? Cause{errPathNotFound, "Path not found"}
                                            : Cause{errFileNotFound, "File not found"};
        case EEXIST:
        case ENOTEMPTY:
            return {errFileAlreadyExists, "File already exists"};
        case EACCES:
        case EPERM:
            return {errPermissionDenied, "Permission denied"};
        case ENAMETOOLONG:
            return {errBadFileName, "Bad file name (the name is too long)"};
        case EINVAL:
            return {errBadFileName, "Bad file name"};
        case EROFS:
            return {errPathFileAccess, "Path/File access error (read-only file system)"};
        case ENOSPC:
        case EDQUOT:
            return {errDiskFull, "Disk full"};
        case EMFILE:
        case ENFILE:
            return {errTooManyFiles, "Too many files"};
        case EIO:
            return {errDeviceIO, "Device I/O error"};
        case ENOMEM:
            return {errOutOfMemory, "Out of memory"};
        default:
            return {errPathFileAccess, nullptr};
    }
}

}  // namespace

RuntimeError ErrorFromErrno(int err, const std::string& path, PathKind kind) {
    Cause cause = CauseOf(err, kind);
    QString text = cause.text ? QString::fromLatin1(cause.text)
                              : QStringLiteral("Path/File access error (%1)")
                                    .arg(QString::fromLocal8Bit(std::strerror(err)));
    if (path.empty()) return RuntimeError(cause.number, text);
    return RuntimeError(cause.number, QStringLiteral("%1: \"%2\"").arg(text, DisplayName(path)));
}

void ResumeNext(const std::function<void()>& statement) {
    try {
        statement();
    } catch (const RuntimeError&) {
    }
}

}  // namespace talvane
