#include "catalogue/FileSystemObject.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>
#include <QStringDecoder>
#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <mutex>
#include <optional>
#include <vector>

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

RenameStepHook gRenameStepHook = nullptr;

void Step(RenameStep step) {
    if (gRenameStepHook) gRenameStepHook(step);
}

// A failed rename whose clean-up failed too: the error, and what it left on disk.
RuntimeError LeftBehind(int err, const QString& what, const std::string& path) {
    const RuntimeError cause = ErrorFromErrno(err, std::string());
    return RuntimeError(
        cause.Number(),
        QStringLiteral("%1 (%2): \"%3\"").arg(cause.Description(), what, DisplayName(path)));
}

// Whether `name` still holds our empty placeholder `ours` (kept open while it is looked at,
// so that a file system that numbers its files as they are met gives it the same number):
// another program may have saved a file of its own under that name since, which must stay.
bool HoldsPlaceholder(int folderFd, const char* name, const struct stat& ours) {
    struct stat st {};
    return ::fstatat(folderFd, name, &st, AT_SYMLINK_NOFOLLOW) == 0 && st.st_dev == ours.st_dev &&
           st.st_ino == ours.st_ino && S_ISREG(st.st_mode) && st.st_size == 0;
}

// Whether `a` and `b` name one file: the same number, or, on a file system that numbers
// each name of a file apart, the same links, size and time. (Another program's file put under
// one of the names, written aside and renamed there, has a link of its own.)
bool SameFile(int folderFd, const char* a, const char* b) {
    struct stat x {
    }, y{};
    if (::fstatat(folderFd, a, &x, AT_SYMLINK_NOFOLLOW) != 0 ||
        ::fstatat(folderFd, b, &y, AT_SYMLINK_NOFOLLOW) != 0 || x.st_dev != y.st_dev)
        return false;
    if (x.st_ino == y.st_ino) return true;
    return x.st_nlink >= 2 && x.st_nlink == y.st_nlink && x.st_size == y.st_size &&
           x.st_mtim.tv_sec == y.st_mtim.tv_sec && x.st_mtim.tv_nsec == y.st_mtim.tv_nsec;
}

// For file systems without an atomic no-replace rename: a hard link fails when the name is
// taken; without hard links, an exclusively created placeholder reserves the name first, and
// the rename replaces nothing but that placeholder. It is looked at just before: a file saved
// under the name since then (written aside and renamed onto it) is not ours to replace. What
// remains is the moment between that look and the rename.
int RenameNoReplaceFallback(int folderFd, const char* from, const char* to,
                            const std::string& path) {
    if (::linkat(folderFd, from, folderFd, to, 0) == 0) {
        Step(RenameStep::Linked);
        if (!SameFile(folderFd, from, to)) {
            errno = EEXIST;  // someone else's file took the name: ours stays as it was
            return -1;
        }
        if (::unlinkat(folderFd, from, 0) != 0) {
            const int err = errno;
            if (SameFile(folderFd, from, to) && ::unlinkat(folderFd, to, 0) != 0)
                throw LeftBehind(err,
                                 QStringLiteral("the file is left as both \"%1\" and \"%2\"")
                                     .arg(DisplayName(from), DisplayName(to)),
                                 path);
            errno = err;
            return -1;
        }
        return 0;
    }
    if (errno != EPERM && errno != ENOTSUP && errno != EOPNOTSUPP && errno != EMLINK) return -1;
    UniqueFd fd(::openat(folderFd, to, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
    if (fd.get() < 0) return -1;
    struct stat placeholder {};
    const bool made = ::fstat(fd.get(), &placeholder) == 0;
    Step(RenameStep::PlaceholderMade);
    const bool ours = made && HoldsPlaceholder(folderFd, to, placeholder);
    if (!ours || ::renameat(folderFd, from, folderFd, to) != 0) {
        const int err = ours ? errno : EEXIST;
        if (made && HoldsPlaceholder(folderFd, to, placeholder) && ::unlinkat(folderFd, to, 0) != 0)
            throw LeftBehind(
                err, QStringLiteral("an empty file is left as \"%1\"").arg(DisplayName(to)), path);
        errno = err;
        return -1;
    }
    return 0;
}

int RenameNoReplace(int folderFd, const char* from, const char* to, const std::string& path) {
    int rc = ::renameat2(folderFd, from, folderFd, to, RENAME_NOREPLACE);
    if (rc != 0 && (errno == EINVAL || errno == ENOSYS || errno == ENOTSUP))
        rc = RenameNoReplaceFallback(folderFd, from, to, path);
    return rc;
}

// A spare folder is named for the process that made it; the file inside keeps its own name,
// so that whatever becomes of the process, it is known where the file belongs.
constexpr std::string_view kSparePrefix = ".talvane-";
// Held while a rename of ours goes through a spare folder, and while a listing puts a spare
// folder back: a listing left running by a scan that ended early may meet one of ours.
std::mutex gSpareFolders;

std::string SpareFolderName(pid_t pid, int attempt) {
    return std::string(kSparePrefix) + std::to_string(pid) + "-" + std::to_string(attempt);
}

// The process a spare folder's name says made it; 0 when the name is not a spare folder's.
pid_t SpareFolderProcess(std::string_view name) {
    if (!name.starts_with(kSparePrefix)) return 0;
    name.remove_prefix(kSparePrefix.size());
    const size_t dash = name.find('-');
    if (dash == 0 || dash == std::string_view::npos || dash + 1 == name.size()) return 0;
    auto digits = [](std::string_view text) {
        return std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
    };
    if (!digits(name.substr(0, dash)) || !digits(name.substr(dash + 1)) || dash > 9) return 0;
    return pid_t(std::stol(std::string(name.substr(0, dash))));
}

// Renames `from` to `to`, a spelling the folder takes for `from` itself, so that no rename
// can replace a file someone else gives that spelling meanwhile: into a spare folder of its
// own, then out of it under the new spelling, each step no-replace, and back when the second
// step fails. Should the way back be taken too, the file stays in the spare folder, and the
// error says so; the next scan puts it back.
int RenameThroughSpareName(int folderFd, const std::string& from, const std::string& to,
                           const std::string& path) {
    const std::lock_guard<std::mutex> lock(gSpareFolders);
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string folder = SpareFolderName(::getpid(), attempt);
        if (::mkdirat(folderFd, folder.c_str(), 0700) != 0) {
            if (errno == EEXIST) continue;
            return -1;
        }
        const std::string spare = folder + "/" + from;
        if (RenameNoReplace(folderFd, from.c_str(), spare.c_str(), path) != 0) {
            const int err = errno;
            ::unlinkat(folderFd, folder.c_str(), AT_REMOVEDIR);
            errno = err;
            return -1;
        }
        Step(RenameStep::MovedToSpare);
        int rc = -1, err = 0;
        std::optional<RuntimeError> failure;
        try {
            rc = RenameNoReplace(folderFd, spare.c_str(), to.c_str(), path);
            err = errno;
        } catch (const RuntimeError& error) {
            failure = error;
        }
        if (rc != 0 && RenameNoReplace(folderFd, spare.c_str(), from.c_str(), path) != 0)
            throw RuntimeError(
                errPathFileAccess,
                QStringLiteral("Path/File access error (the file is left as \"%1\"): \"%2\"")
                    .arg(DisplayName(spare), DisplayName(path)));
        // An empty spare folder left behind goes at the next scan.
        ::unlinkat(folderFd, folder.c_str(), AT_REMOVEDIR);
        if (failure) throw *failure;
        errno = err;
        return rc;
    }
    errno = EEXIST;
    return -1;
}

// Whether the process that made a spare folder is gone. The folder of a process with our
// own number is a dead one's too: no rename of ours is under way while gSpareFolders is held.
bool MadeByEndedProcess(pid_t pid) {
    if (pid == ::getpid()) return true;
    return ::kill(pid, 0) != 0 && errno == ESRCH;
}

bool IsEmptyFile(int folderFd, const char* name) {
    struct stat st {};
    return ::fstatat(folderFd, name, &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(st.st_mode) &&
           st.st_size == 0;
}

// Puts the files of a spare folder whose rename was cut short back under their own names.
// Either name may hold an empty placeholder of that rename, which goes; nothing else is
// replaced or deleted.
std::vector<std::string> PutBackSpareFolder(int folderFd, const std::string& folder) {
    std::vector<std::string> putBack;
    const std::lock_guard<std::mutex> lock(gSpareFolders);
    if (pid_t pid = SpareFolderProcess(folder); pid <= 0 || !MadeByEndedProcess(pid))
        return putBack;
    UniqueFd spareFd(::openat(folderFd, folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (spareFd.get() < 0) return putBack;
    std::vector<std::string> names;
    ListsAny(spareFd.get(), [&](std::string_view name) {
        if (name != "." && name != "..") names.emplace_back(name);
        return false;
    });
    spareFd = UniqueFd();
    for (const std::string& name : names) {
        const std::string spare = folder + "/" + name;
        for (int tries = 0; tries < 2; ++tries) {
            try {
                if (RenameNoReplace(folderFd, spare.c_str(), name.c_str(), spare) == 0) {
                    putBack.push_back(name);
                    break;
                }
            } catch (const RuntimeError&) {
                break;
            }
            if (errno != EEXIST) break;
            if (IsEmptyFile(folderFd, spare.c_str())) {
                // Made before the file could be moved in: the file never left its name.
                ::unlinkat(folderFd, spare.c_str(), 0);
                break;
            }
            // Made before the file could be moved out under its new spelling.
            if (!IsEmptyFile(folderFd, name.c_str()) || ::unlinkat(folderFd, name.c_str(), 0) != 0)
                break;
        }
    }
    ::unlinkat(folderFd, folder.c_str(), AT_REMOVEDIR);
    return putBack;
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
    int rc = RenameNoReplace(folderFd_, from.c_str(), name.c_str(), path_);
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
        if (!putBack_.empty()) {
            // Listed where its spare folder was; should the listing name it again, it is
            // passed over then.
            putBackName_ = std::move(putBack_.back());
            putBack_.pop_back();
            name = putBackName_;
            listed_.Insert(name);
            listedRegular_ = false;
            return true;
        }
        errno = 0;
        struct dirent* entry = ::readdir(dir);
        if (!entry) {
            listingError_ = errno;
            return false;
        }
        const char* n = entry->d_name;
        if (n[0] == '.' && (n[1] == '\0' || (n[1] == '.' && n[2] == '\0'))) continue;
        if (n[0] == '.' && (entry->d_type == DT_DIR || entry->d_type == DT_UNKNOWN) &&
            SpareFolderProcess(n) > 0) {
            // A rename cut short by the end of its process left its file here: put back
            // under its own name, it is listed under that.
            putBack_ = PutBackSpareFolder(Fd(), n);
            continue;
        }
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

void SetRenameStepHook(RenameStepHook hook) { gRenameStepHook = hook; }

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
