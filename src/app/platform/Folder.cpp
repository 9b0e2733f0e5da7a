#include "app/platform/Folder.h"

#include <fcntl.h>
#include <unistd.h>
#include <cerrno>

#include "app/platform/LoadPicture.h"
#include "app/platform/Names.h"

namespace talvane {

namespace {

std::error_code LastError() { return ErrnoCode(errno); }

// The result of a call that returns -1 with errno on failure.
std::error_code Checked(int rc) { return rc == 0 ? std::error_code() : LastError(); }

RenameStepHook gRenameStepHook = nullptr;

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
std::error_code RenameNoReplaceFallback(int folderFd, const char* from, const char* to,
                                        RenameLeftover& left) {
    if (::linkat(folderFd, from, folderFd, to, 0) == 0) {
        ReachedRenameStep(RenameStep::Linked);
        // Someone else's file took the name: ours stays as it was.
        if (!SameFile(folderFd, from, to)) return ErrnoCode(EEXIST);
        if (::unlinkat(folderFd, from, 0) != 0) {
            const std::error_code error = LastError();
            if (SameFile(folderFd, from, to) && ::unlinkat(folderFd, to, 0) != 0)
                left = {RenameLeftover::BothNames, from, to};
            return error;
        }
        return {};
    }
    if (errno != EPERM && errno != ENOTSUP && errno != EOPNOTSUPP && errno != EMLINK)
        return LastError();
    UniqueFd fd(::openat(folderFd, to, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
    if (fd.get() < 0) return LastError();
    struct stat placeholder {};
    const bool made = ::fstat(fd.get(), &placeholder) == 0;
    ReachedRenameStep(RenameStep::PlaceholderMade);
    const bool ours = made && HoldsPlaceholder(folderFd, to, placeholder);
    if (!ours || ::renameat(folderFd, from, folderFd, to) != 0) {
        const std::error_code error = ours ? LastError() : ErrnoCode(EEXIST);
        if (made && HoldsPlaceholder(folderFd, to, placeholder) && ::unlinkat(folderFd, to, 0) != 0)
            left = {RenameLeftover::Placeholder, from, to};
        return error;
    }
    return {};
}

}  // namespace

void SetRenameStepHook(RenameStepHook hook) { gRenameStepHook = hook; }

void ReachedRenameStep(RenameStep step) {
    if (gRenameStepHook) gRenameStepHook(step);
}

Folder::Folder(DIR* listing) : listing_(listing) {}

Folder Folder::Open(const std::string& path, std::error_code& error) {
    Folder folder(::opendir(path.c_str()));
    error = folder.listing_ ? std::error_code() : LastError();
    return folder;
}

Folder Folder::OpenHolding(const std::string& path, std::error_code& error) {
    // O_PATH: the folder is only a place to look names up in; no read permission is needed.
    Folder folder(UniqueFd(::open(FolderPart(path).c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC)));
    error = folder.Fd() < 0 ? LastError() : std::error_code();
    return folder;
}

Folder Folder::Duplicate(std::error_code& error) const {
    Folder folder(UniqueFd(::fcntl(Fd(), F_DUPFD_CLOEXEC, 0)));
    error = folder.Fd() < 0 ? LastError() : std::error_code();
    return folder;
}

Folder Folder::OpenFolder(const char* name, std::error_code& error) const {
    Folder folder(UniqueFd(::openat(Fd(), name, O_RDONLY | O_DIRECTORY | O_CLOEXEC)));
    error = folder.Fd() < 0 ? LastError() : std::error_code();
    return folder;
}

std::error_code Folder::NextEntry(const dirent*& entry) {
    if (!listing_) {
        entry = nullptr;
        return ErrnoCode(EBADF);
    }
    errno = 0;
    entry = ::readdir(listing_.get());
    return entry || errno == 0 ? std::error_code() : LastError();
}

std::error_code Folder::Stat(const char* name, struct stat& st, bool followLinks) const {
    return Checked(::fstatat(Fd(), name, &st, followLinks ? 0 : AT_SYMLINK_NOFOLLOW));
}

std::error_code Folder::LookAt(const char* name, FileLook& look) const {
    look = {};
    struct stat st {};
    if (::fstatat(Fd(), name, &st, 0) != 0) {
        // Not a file to list; any other failure means the folder's files cannot be looked at.
        return NamesNoFile(errno) ? std::error_code() : LastError();
    }
    if (S_ISREG(st.st_mode)) look = {FileLook::File, static_cast<uint64_t>(st.st_size)};
    return {};
}

std::error_code Folder::Unlink(const char* name) const {
    return Checked(::unlinkat(Fd(), name, 0));
}

std::error_code Folder::MakeFolder(const char* name) const {
    return Checked(::mkdirat(Fd(), name, 0700));
}

std::error_code Folder::RemoveFolder(const char* name) const {
    return Checked(::unlinkat(Fd(), name, AT_REMOVEDIR));
}

std::error_code Folder::ListsAny(const std::function<bool(std::string_view)>& match,
                                 bool& listed) const {
    listed = true;  // nothing ruled out, unless the whole listing is read
    std::error_code error;
    Folder own = OpenFolder(".", error);
    if (error) return error;
    DIR* dir = ::fdopendir(own.fd_.get());
    if (!dir) return LastError();
    own.listing_.reset(dir);
    own.fd_.release();  // the listing holds it now
    const dirent* entry = nullptr;
    while (!(error = own.NextEntry(entry)) && entry) {
        if (match(entry->d_name)) return {};
    }
    if (!error) listed = false;
    return error;
}

std::error_code Folder::SpeltExactly(const std::string& name, bool& exactly) const {
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
    exactly = true;
    if (other != name && Stat(other.c_str(), st, false) == std::errc::no_such_file_or_directory)
        return {};
    return ListsAny([&](std::string_view listed) { return listed == name; }, exactly);
}

std::error_code Folder::RenameNoReplace(const char* from, const char* to,
                                        RenameLeftover& left) const {
    left = {};
    if (::renameat2(Fd(), from, Fd(), to, RENAME_NOREPLACE) == 0) return {};
    if (errno != EINVAL && errno != ENOSYS && errno != ENOTSUP) return LastError();
    return RenameNoReplaceFallback(Fd(), from, to, left);
}

}  // namespace talvane
