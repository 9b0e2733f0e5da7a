#include "catalogue/FileSystemObject.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <QStringDecoder>
#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>

#include "app/platform/LoadPicture.h"
#include "app/platform/Names.h"
#include "app/platform/RuntimeError.h"

namespace talvane {

namespace {

RuntimeError BadName(const std::string& name, const char* why) {
    return RuntimeError(errBadFileName,
                        QStringLiteral("Bad file name (%1): \"%2\"").arg(why, DisplayName(name)));
}

bool NameExists(int folderFd, const std::string& name) {
    struct stat st {};
    return ::fstatat(folderFd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0;
}

// Two names that differ in letter case alone.
bool DifferInCaseOnly(std::string_view a, std::string_view b) {
    if (a == b) return false;
    QStringDecoder decodeA(QStringDecoder::Utf8), decodeB(QStringDecoder::Utf8);
    const QString textA = decodeA(QByteArrayView(a.data(), qsizetype(a.size())));
    const QString textB = decodeB(QByteArrayView(b.data(), qsizetype(b.size())));
    if (!decodeA.hasError() && !decodeB.hasError())
        return textA.compare(textB, Qt::CaseInsensitive) == 0;
    // Not text: ASCII letters only.
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
               return lower(x) == lower(y);
           });
}

// Whether a file other than `from` holds `name`: the folder lists `name` itself, or a spelling
// of it that differs in letter case alone. A folder that ignores letter case may fold case
// otherwise than we do (the sharp s, the Kelvin sign), so only its listing can tell that the
// one file answering to `name` is `from`.
bool TakenByAnother(int folderFd, const std::string& from, const std::string& name) {
    return ListsAny(folderFd, [&](std::string_view listed) {
        return listed != from && (listed == name || DifferInCaseOnly(listed, name));
    });
}

// For file systems without an atomic no-replace rename: a hard link fails when the name is
// taken; without hard links, an exclusively created placeholder reserves the name first.
int RenameNoReplaceFallback(int folderFd, const char* from, const char* to) {
    if (::linkat(folderFd, from, folderFd, to, 0) == 0) {
        if (::unlinkat(folderFd, from, 0) != 0) {
            int err = errno;
            ::unlinkat(folderFd, to, 0);
            errno = err;
            return -1;
        }
        return 0;
    }
    if (errno != EPERM && errno != ENOTSUP && errno != EOPNOTSUPP && errno != EMLINK) return -1;
    int fd = ::openat(folderFd, to, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0) return -1;
    ::close(fd);
    if (::renameat(folderFd, from, folderFd, to) != 0) {
        int err = errno;
        ::unlinkat(folderFd, to, 0);
        errno = err;
        return -1;
    }
    return 0;
}

int RenameNoReplace(int folderFd, const char* from, const char* to) {
    int rc = ::renameat2(folderFd, from, folderFd, to, RENAME_NOREPLACE);
    if (rc != 0 && (errno == EINVAL || errno == ENOSYS || errno == ENOTSUP))
        rc = RenameNoReplaceFallback(folderFd, from, to);
    return rc;
}

// Renames `from` to `to`, a spelling the folder takes for `from` itself, so that no rename
// can replace a file someone else gives that spelling meanwhile: through a spare name of its
// own, each step no-replace, and back when the second step fails. Should the way back be
// taken too, the file keeps the spare name, and the error says so.
int RenameThroughSpareName(int folderFd, const std::string& from, const std::string& to,
                           const std::string& path) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string spare =
            ".talvane-" + std::to_string(::getpid()) + "-" + std::to_string(attempt);
        if (RenameNoReplace(folderFd, from.c_str(), spare.c_str()) != 0) {
            if (errno == EEXIST) continue;
            return -1;
        }
        if (RenameNoReplace(folderFd, spare.c_str(), to.c_str()) == 0) return 0;
        const int err = errno;
        if (RenameNoReplace(folderFd, spare.c_str(), from.c_str()) != 0)
            throw RuntimeError(
                errPathFileAccess,
                QStringLiteral("Path/File access error (the file is left as \"%1\"): \"%2\"")
                    .arg(DisplayName(spare), DisplayName(path)));
        errno = err;
        return -1;
    }
    errno = EEXIST;
    return -1;
}

}  // namespace

std::string_view FsFile::Name() const { return BaseNameView(path_); }

void FsFile::SetName(const std::string& name) {
    if (name.find('/') != std::string::npos) throw BadName(name, "a name cannot contain \"/\"");
    if (name.find('\0') != std::string::npos) throw BadName(name, "a name cannot contain NUL");
    if (name.empty() || name == "." || name == "..") throw BadName(name, "not a file name");
    if (name.size() > NAME_MAX) throw BadName(name, "the name is too long");

    std::string target = JoinPath(FolderPart(path_), name);
    if (target == path_) return;
    const std::string from(Name());
    int rc = RenameNoReplace(folderFd_, from.c_str(), name.c_str());
    int err = rc == 0 ? 0 : errno;
    if (err == EEXIST && DifferInCaseOnly(from, name) && !TakenByAnother(folderFd_, from, name)) {
        // The new spelling is taken by the file itself: the folder ignores letter case. (A
        // second link spelt that way would be listed under it.)
        rc = RenameThroughSpareName(folderFd_, from, name, path_);
        err = rc == 0 ? 0 : errno;
    }
    if (err == ENOENT && NameExists(folderFd_, from))
        throw BadName(name, "the file system does not accept it");  // the file is still there
    if (err != 0) throw ErrorFromErrno(err, err == EEXIST ? target : path_);
    path_ = std::move(target);
}

FsFolder::~FsFolder() {
    if (dir_) ::closedir(static_cast<DIR*>(dir_));
}

FileLook LookAt(int folderFd, const char* name) {
    struct stat st {};
    if (::fstatat(folderFd, name, &st, 0) != 0) {
        // Not a file to list; any other failure means the folder's files cannot be looked at.
        if (NamesNoFile(errno)) return {FileLook::NotAFile, 0, 0};
        return {FileLook::Failed, 0, errno};
    }
    if (!S_ISREG(st.st_mode)) return {FileLook::NotAFile, 0, 0};
    return {FileLook::File, static_cast<uint64_t>(st.st_size), 0};
}

bool FsFolder::NextName(std::string_view& name) {
    DIR* dir = static_cast<DIR*>(dir_);
    for (;;) {
        errno = 0;
        struct dirent* entry = ::readdir(dir);
        if (!entry) {
            listingError_ = errno;
            return false;
        }
        const char* n = entry->d_name;
        if (n[0] == '.' && (n[1] == '\0' || (n[1] == '.' && n[2] == '\0'))) continue;
        if (entry->d_type != DT_REG && entry->d_type != DT_LNK && entry->d_type != DT_UNKNOWN)
            continue;  // folders, FIFOs, sockets and devices are not files to list
        name = n;
        if (!listed_.Insert(name)) continue;
        listedRegular_ = entry->d_type == DT_REG;
        return true;
    }
}

int FsFolder::Fd() const { return ::dirfd(static_cast<DIR*>(dir_)); }

bool FsFolder::NextFile(FsFile& file) {
    std::string_view name;
    for (;;) {
        if (!NextName(name)) {
            if (listingError_ != 0) throw ErrorFromErrno(listingError_, path_, PathKind::Folder);
            return false;
        }
        JoinPathInto(file.path_, path_, name);  // over the previous file's path, reusing its memory
        const FileLook look = LookAt(Fd(), name.data());
        if (look.kind == FileLook::Failed) throw ErrorFromErrno(look.error, file.path_);
        if (look.kind == FileLook::NotAFile) continue;
        file.size_ = look.size;
        file.folderFd_ = Fd();
        return true;
    }
}

std::unique_ptr<FsFolder> FileSystemObject::GetFolder(const std::string& path) {
    DIR* dir = ::opendir(path.c_str());
    if (!dir) throw ErrorFromErrno(errno, path, PathKind::Folder);
    return std::unique_ptr<FsFolder>(new FsFolder(path, dir));
}

FsFile FileSystemObject::GetFile(const std::string& path) {
    auto folder = std::make_shared<UniqueFd>(OpenFolderOf(path));
    if (folder->get() < 0) throw ErrorFromErrno(errno, path);
    const std::string name(BaseNameView(path));
    struct stat st {};
    if (::fstatat(folder->get(), name.c_str(), &st, 0) != 0) throw ErrorFromErrno(errno, path);
    // A folder that ignores letter case may answer with a file spelt otherwise, which is not
    // the one asked for.
    if (S_ISDIR(st.st_mode) || !SpeltExactly(folder->get(), name))
        throw ErrorFromErrno(ENOENT, path);
    FsFile file;
    file.path_ = path;
    file.size_ = static_cast<uint64_t>(st.st_size);
    file.folderFd_ = folder->get();
    file.ownFolder_ = std::move(folder);
    return file;
}

}  // namespace talvane
