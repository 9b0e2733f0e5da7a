#pragma once
// The file-system objects the catalogue works with: a folder and the files lying directly in
// it, each with its name, full path and size, and renaming a file within its folder. Names
// and paths are the bytes the file system holds.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace talvane {

class FsFile {
public:
    FsFile() = default;
    FsFile(std::string path, uint64_t size, int folderFd = -1)
        : path_(std::move(path)), size_(size), folderFd_(folderFd) {}

    const std::string& Path() const { return path_; }
    // The last part of the path (a view into it: valid while the file object is).
    std::string_view Name() const;
    uint64_t Size() const { return size_; }
    // The folder the file was found in, while it is being enumerated (otherwise -1).
    int FolderFd() const { return folderFd_; }

    // Renames the file within its folder. The new name must be a single valid name (no '/',
    // no NUL, not too long: errBadFileName). An existing file of that name is never replaced,
    // not even by one created a moment before: errFileAlreadyExists.
    void SetName(const std::string& name);

private:
    friend class FsFolder;
    std::string path_;
    uint64_t size_ = 0;
    int folderFd_ = -1;
};

// An open folder, enumerated once, in the file system's order.
class FsFolder {
public:
    ~FsFolder();
    FsFolder(const FsFolder&) = delete;
    FsFolder& operator=(const FsFolder&) = delete;

    const std::string& Path() const { return path_; }
    // The next file lying directly in the folder: regular files, and symbolic links to
    // them. Sub-folders, special files and dangling links are passed over. False at the end.
    bool NextFile(FsFile& file);

private:
    friend class FileSystemObject;
    FsFolder(std::string path, void* dir) : path_(std::move(path)), dir_(dir) {}
    std::string path_;
    void* dir_;
};

class FileSystemObject {
public:
    // Opens the folder; fails with errPathNotFound (or the folder's access error).
    std::unique_ptr<FsFolder> GetFolder(const std::string& path);
    // The file at `path`; fails with errFileNotFound when there is no such file.
    FsFile GetFile(const std::string& path);
};

}  // namespace talvane
