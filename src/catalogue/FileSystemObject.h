#pragma once
// The file-system objects the catalogue works with: a folder and the files lying directly in
// it, each with its name, full path and size, and renaming a file within its folder. Names
// and paths are the bytes the file system holds. A file is reached through its open folder by
// its name alone, so a path longer than the system takes is no obstacle.

#include <dirent.h>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "app/platform/Folder.h"
#include "catalogue/NameSet.h"

namespace talvane {

class FsFile {
public:
    FsFile() = default;
    // The file at `path`, of `size` bytes, lying in `folder`.
    FsFile(std::string path, uint64_t size, std::shared_ptr<const Folder> folder);
    // Makes this the file `name` in the folder at `folderPath`, open as `folder`: the path is
    // written over the one held, reusing its memory.
    void Fill(std::string_view folderPath, std::string_view name, uint64_t size,
              const std::shared_ptr<const Folder>& folder);

    const std::string& Path() const { return path_; }
    // The last part of the path (a view into it: valid while the file object is).
    std::string_view Name() const;
    uint64_t Size() const { return size_; }
    // The open folder the file lies in.
    int FolderFd() const { return folder_ ? folder_->Fd() : -1; }

    // Renames the file within its folder. The new name must be a single valid name (no '/',
    // no NUL, not too long, accepted by the file system: errBadFileName). A file of that name
    // is never replaced, not even one created a moment before, nor another link to this same
    // file: errFileAlreadyExists. Only a change of letter case alone, on a file system that
    // takes both spellings for one file, renames the file onto a name it already answers to.
    // errFileNotFound only when the file itself is gone.
    void SetName(const std::string& name);

private:
    std::string path_;
    uint64_t size_ = 0;
    // The folder, shared with the listing that found the file and every file it found: it
    // stays open as long as any of them is held.
    std::shared_ptr<const Folder> folder_;
};

// An open folder, enumerated once, in the file system's order.
class FsFolder {
public:
    FsFolder(const FsFolder&) = delete;
    FsFolder& operator=(const FsFolder&) = delete;

    const std::string& Path() const { return path_; }
    // The next file lying directly in the folder: regular files, and symbolic links to
    // them. Sub-folders, special files, dangling links and files gone since the listing are
    // passed over; a file that cannot be looked at fails (its error, naming it). False at
    // the end.
    bool NextFile(FsFile& file);

    // The next name in the folder that may be a file's, not yet looked at (folders and
    // special files the listing names as such are passed over), each name once even where the
    // file system lists it again: a view valid until the next call. False at the end, or when the
    // listing failed (ListingError then tells why). A file that a rename of this program's,
    // cut short by the end of its process, left in a spare folder is put back under its own
    // name as the listing meets the folder, and named then (best effort: what cannot be put
    // back stays for the next listing).
    bool NextName(std::string_view& name);
    int ListingError() const { return listingError_; }
    // Whether the listing named the last name a regular file, not a link.
    bool ListedAsRegular() const { return listedRegular_; }
    // The open folder, to look names up in.
    int Fd() const { return listing_.Fd(); }
    // The same, for the files found in it to hold.
    const std::shared_ptr<const Folder>& Shared() const { return lookups_; }

    // The folder at `path`, listed by `dir` (taken over), with a descriptor of its own for the
    // files found to hold, which outlives the listing.
    FsFolder(std::string path, DIR* dir);

    // Opens the folder at `path`; fails with errPathNotFound (or the folder's access error).
    static std::unique_ptr<FsFolder> Open(const std::string& path);

private:
    FsFolder(std::string path, Folder listing, Folder lookups);
    std::string path_;
    Folder listing_;
    std::shared_ptr<const Folder> lookups_;
    int listingError_ = 0;
    NameSet listed_;
    bool listedRegular_ = false;
    std::vector<std::string> putBack_;  // put back, to be named next
    std::string putBackName_;
};

class FileSystemObject {
public:
    // Opens the folder; fails with errPathNotFound (or the folder's access error).
    std::unique_ptr<FsFolder> GetFolder(const std::string& path);
    // The file at `path`; fails with errFileNotFound when there is no such file.
    FsFile GetFile(const std::string& path);
};

}  // namespace talvane
