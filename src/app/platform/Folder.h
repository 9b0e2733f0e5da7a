#pragma once
// An open folder, and the files lying directly in it reached through it by their names alone:
// whatever is listed can be looked at, renamed and deleted however long its full path is, and
// the folder a name is taken in is the one that was opened. Each call gives its failure as an
// error code (the errno it met); what the error means to the user is told where it is reported.

#include <dirent.h>
#include <sys/stat.h>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <system_error>

#include "app/platform/UniqueFd.h"

namespace talvane {

// What looking at a name in an open folder finds: a file (a regular file, or a link to
// one) with its size; or nothing to list (gone since it was listed, a dangling or looping
// link, a folder or special file).
struct FileLook {
    enum Kind { File, NotAFile } kind = NotAFile;
    uint64_t size = 0;
};

// What a rename that failed left on disk when its clean-up failed too.
struct RenameLeftover {
    enum Kind {
        Nothing,
        BothNames,      // the file is a link under both `from` and `to`
        Placeholder,    // an empty placeholder holds `to`
        InSpareFolder,  // the file lies in a spare folder, as `from`
    } kind = Nothing;
    std::string from, to;
};

// The point a rename of more than one step has reached, told to the rename step hook.
enum class RenameStep {
    Linked,           // the new name is a second link to the file
    PlaceholderMade,  // an empty placeholder holds the new name
    MovedToSpare,     // the file lies in a spare folder, between two spellings of its name
};
// Called between the steps of a rename; none unless set (tests stop the program there).
using RenameStepHook = void (*)(RenameStep step);
void SetRenameStepHook(RenameStepHook hook);
// Tells the hook, if one is set, that a rename has reached `step`.
void ReachedRenameStep(RenameStep step);

// The error code of an errno.
inline std::error_code ErrnoCode(int err) { return {err, std::generic_category()}; }

class Folder {
public:
    Folder() = default;  // none open
    // The folder `listing` lists, which it takes over (with its descriptor).
    explicit Folder(DIR* listing);
    Folder(Folder&&) = default;
    Folder& operator=(Folder&&) = default;

    // Opens the folder at `path`, to list and to look names up in.
    static Folder Open(const std::string& path, std::error_code& error);
    // Opens the folder holding `path` (everything before its last '/') only to look up,
    // rename and delete names in: no read permission is needed.
    static Folder OpenHolding(const std::string& path, std::error_code& error);
    // A descriptor of its own on the same folder, with no listing.
    Folder Duplicate(std::error_code& error) const;
    // Opens the folder `name` inside this one, to list and to look names up in.
    Folder OpenFolder(const char* name, std::error_code& error) const;

    // The descriptor (-1 when none is open).
    int Fd() const { return listing_ ? ::dirfd(listing_.get()) : fd_.get(); }

    // The next entry the folder's listing holds ("." and ".." too): none at the end, or
    // when the listing failed (the error). Only a folder opened to list has a listing.
    std::error_code NextEntry(const dirent*& entry);

    // Looks `name` up: links followed or not.
    std::error_code Stat(const char* name, struct stat& st, bool followLinks) const;
    // Looks at `name`, links followed, for a file to list. A name that holds no file to read
    // (gone since it was listed, a link that leads nowhere) finds none, and is no failure.
    std::error_code LookAt(const char* name, FileLook& look) const;
    // Removes the file `name` (a link as the link).
    std::error_code Unlink(const char* name) const;
    // Makes, and removes, the folder `name` (only the owner may use it; removed when empty).
    std::error_code MakeFolder(const char* name) const;
    std::error_code RemoveFolder(const char* name) const;

    // Whether the folder lists a name for which `match` is true. A folder that ignores letter
    // case finds a file under any spelling; only its listing has the spelling it keeps.
    // Fails when the folder cannot be read through: nothing can then be ruled out, and
    // `listed` is true.
    std::error_code ListsAny(const std::function<bool(std::string_view)>& match,
                             bool& listed) const;
    // Whether `name`, which the folder has just answered to, is spelt so in the folder, not
    // only a spelling it answers to. Only a folder that also answers to another spelling of
    // the name is listed to tell; fails as ListsAny does (`exactly` is true then).
    std::error_code SpeltExactly(const std::string& name, bool& exactly) const;

    // Renames `from` to `to` in this folder, never replacing a file `to` names, not even one
    // created a moment before (EEXIST): atomically where the file system can; else by a hard
    // link, or without hard links through an exclusively created placeholder. Should the
    // clean-up of a failed rename fail too, `left` tells what stays on disk.
    std::error_code RenameNoReplace(const char* from, const char* to, RenameLeftover& left) const;

private:
    explicit Folder(UniqueFd fd) : fd_(std::move(fd)) {}
    struct CloseDir {
        void operator()(DIR* dir) const { ::closedir(dir); }
    };
    UniqueFd fd_;                             // when there is no listing
    std::unique_ptr<DIR, CloseDir> listing_;  // holds its own descriptor
};

}  // namespace talvane
