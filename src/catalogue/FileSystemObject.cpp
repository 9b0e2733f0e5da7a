#include "catalogue/FileSystemObject.h"

#include <sys/stat.h>
#include <QStringDecoder>
#include <algorithm>
#include <cerrno>
#include <climits>

#include "app/platform/Names.h"
#include "app/platform/RuntimeError.h"
#include "catalogue/SpareFolder.h"

namespace talvane {

namespace {

RuntimeError BadName(const std::string& name, const char* why) {
    return RuntimeError(errBadFileName,
                        QStringLiteral("Bad file name (%1): \"%2\"").arg(why, DisplayName(name)));
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
// one file answering to `name` is `from`. A folder that cannot be listed rules out nothing.
bool TakenByAnother(const Folder& folder, const std::string& from, const std::string& name) {
    bool taken;
    folder.ListsAny(
        [&](std::string_view listed) {
            return listed != from && (listed == name || DifferInCaseOnly(listed, name));
        },
        taken);
    return taken;
}

// A failed rename whose clean-up failed too: the error, and what it left on disk.
RuntimeError LeftBehind(const std::error_code& error, const RenameLeftover& left,
                        const std::string& path) {
    if (left.kind == RenameLeftover::InSpareFolder)
        return RuntimeError(
            errPathFileAccess,
            QStringLiteral("Path/File access error (the file is left as \"%1\"): \"%2\"")
                .arg(DisplayName(left.from), DisplayName(path)));
    const QString what =
        left.kind == RenameLeftover::BothNames
            ? QStringLiteral("the file is left as both \"%1\" and \"%2\"")
                  .arg(DisplayName(left.from), DisplayName(left.to))
            : QStringLiteral("an empty file is left as \"%1\"").arg(DisplayName(left.to));
    const RuntimeError cause = ErrorFromErrno(error.value(), std::string());
    return RuntimeError(
        cause.Number(),
        QStringLiteral("%1 (%2): \"%3\"").arg(cause.Description(), what, DisplayName(path)));
}

}  // namespace

FsFile::FsFile(std::string path, uint64_t size, std::shared_ptr<const Folder> folder)
    : path_(std::move(path)), size_(size), folder_(std::move(folder)) {}

void FsFile::Fill(std::string_view folderPath, std::string_view name, uint64_t size,
                  const std::shared_ptr<const Folder>& folder) {
    JoinPathInto(path_, folderPath, name);
    size_ = size;
    folder_ = folder;
}

std::string_view FsFile::Name() const { return BaseNameView(path_); }

void FsFile::SetName(const std::string& name) {
    if (name.find('/') != std::string::npos) throw BadName(name, "a name cannot contain \"/\"");
    if (name.find('\0') != std::string::npos) throw BadName(name, "a name cannot contain NUL");
    if (name.empty() || name == "." || name == "..") throw BadName(name, "not a file name");
    if (name.size() > NAME_MAX) throw BadName(name, "the name is too long");

    std::string target = JoinPath(FolderPart(path_), name);
    if (target == path_) return;
    if (!folder_) throw ErrorFromErrno(EBADF, path_);  // a file object that names no file
    const std::string from(Name());
    RenameLeftover left;
    std::error_code error = folder_->RenameNoReplace(from.c_str(), name.c_str(), left);
    if (error == std::errc::file_exists && left.kind == RenameLeftover::Nothing &&
        DifferInCaseOnly(from, name) && !TakenByAnother(*folder_, from, name)) {
        // The new spelling is taken by the file itself: the folder ignores letter case. (A
        // second link spelt that way would be listed under it.)
        error = RenameThroughSpareName(*folder_, from, name, left);
    }
    if (left.kind != RenameLeftover::Nothing) throw LeftBehind(error, left, path_);
    struct stat st {};
    if (error == std::errc::no_such_file_or_directory && !folder_->Stat(from.c_str(), st, false))
        throw BadName(name, "the file system does not accept it");  // the file is still there
    if (error)
        throw ErrorFromErrno(error.value(), error == std::errc::file_exists ? target : path_);
    path_ = std::move(target);
}

FsFolder::FsFolder(std::string path, Folder listing, Folder lookups)
    : path_(std::move(path)),
      listing_(std::move(listing)),
      lookups_(std::make_shared<const Folder>(std::move(lookups))) {}

FsFolder::FsFolder(std::string path, DIR* dir) : path_(std::move(path)), listing_(dir) {
    std::error_code error;
    lookups_ = std::make_shared<const Folder>(listing_.Duplicate(error));
}

std::unique_ptr<FsFolder> FsFolder::Open(const std::string& path) {
    std::error_code error;
    Folder listing = Folder::Open(path, error);
    if (error) throw ErrorFromErrno(error.value(), path, PathKind::Folder);
    Folder lookups = listing.Duplicate(error);
    if (error) throw ErrorFromErrno(error.value(), path, PathKind::Folder);
    return std::unique_ptr<FsFolder>(new FsFolder(path, std::move(listing), std::move(lookups)));
}

bool FsFolder::NextName(std::string_view& name) {
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
        const dirent* entry = nullptr;
        if (const std::error_code error = listing_.NextEntry(entry); error || !entry) {
            listingError_ = error.value();
            return false;
        }
        const char* n = entry->d_name;
        if (n[0] == '.' && (n[1] == '\0' || (n[1] == '.' && n[2] == '\0'))) continue;
        if (n[0] == '.' && (entry->d_type == DT_DIR || entry->d_type == DT_UNKNOWN) &&
            IsSpareFolderName(n)) {
            // A rename cut short by the end of its process left its file here: put back
            // under its own name, it is listed under that.
            putBack_ = PutBackSpareFolder(listing_, n);
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

bool FsFolder::NextFile(FsFile& file) {
    std::string_view name;
    for (;;) {
        if (!NextName(name)) {
            if (listingError_ != 0) throw ErrorFromErrno(listingError_, path_, PathKind::Folder);
            return false;
        }
        FileLook look;
        if (const std::error_code error = listing_.LookAt(name.data(), look))
            throw ErrorFromErrno(error.value(), JoinPath(path_, name));
        if (look.kind == FileLook::NotAFile) continue;
        file.Fill(path_, name, look.size, lookups_);
        return true;
    }
}

std::unique_ptr<FsFolder> FileSystemObject::GetFolder(const std::string& path) {
    return FsFolder::Open(path);
}

FsFile FileSystemObject::GetFile(const std::string& path) {
    std::error_code error;
    auto folder = std::make_shared<const Folder>(Folder::OpenHolding(path, error));
    if (error) throw ErrorFromErrno(error.value(), path);
    const std::string name(BaseNameView(path));
    struct stat st {};
    if ((error = folder->Stat(name.c_str(), st, true))) throw ErrorFromErrno(error.value(), path);
    // A folder that ignores letter case may answer with a file spelt otherwise, which is not
    // the one asked for.
    bool exactly = true;
    if (!S_ISDIR(st.st_mode)) folder->SpeltExactly(name, exactly);
    if (S_ISDIR(st.st_mode) || !exactly) throw ErrorFromErrno(ENOENT, path);
    return FsFile(path, static_cast<uint64_t>(st.st_size), std::move(folder));
}

}  // namespace talvane
