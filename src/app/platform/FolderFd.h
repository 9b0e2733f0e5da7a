#pragma once
// Files reached through their open folder, by their names alone: whatever is listed can be
// read, renamed and deleted however long its full path is, and the folder the name is taken
// in is the one that was opened.

#include <string>

namespace talvane {

// A descriptor that is closed when it goes.
class UniqueFd {
public:
    explicit UniqueFd(int fd = -1) : fd_(fd) {}
    ~UniqueFd();
    UniqueFd(UniqueFd&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }
    UniqueFd& operator=(UniqueFd&& other) noexcept;
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;
    int get() const { return fd_; }

private:
    int fd_;
};

// Opens the folder holding `path` (everything before its last '/'), to look up, rename and
// delete names in; -1 with errno set when it cannot be opened.
UniqueFd OpenFolderOf(const std::string& path);

}  // namespace talvane
