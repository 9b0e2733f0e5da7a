#pragma once
// Spare folders: a change of letter case alone, in a folder that takes both spellings for one
// file, moves the file into a folder of its own and out again under the new spelling, so that
// no step can replace a file someone else gives that spelling meanwhile. A spare folder is
// named for the process that made it; the file inside keeps its own name, so that whatever
// becomes of the process, it is known where the file belongs.

#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "app/platform/Folder.h"

namespace talvane {

// Whether `name` is a spare folder's.
bool IsSpareFolderName(std::string_view name);

// Renames `from` to `to`, a spelling the folder takes for `from` itself, through a spare
// folder, each step no-replace, and back when the second step fails. Should the way back
// fail too, the file stays in the spare folder (`left` says so); the next listing puts it back.
std::error_code RenameThroughSpareName(const Folder& folder, const std::string& from,
                                       const std::string& to, RenameLeftover& left);

// Puts the files of the spare folder `name`, whose rename was cut short by the end of its
// process, back under their own names: the names put back. Either name may hold an empty
// placeholder of that rename, which goes; nothing else is replaced or deleted.
std::vector<std::string> PutBackSpareFolder(const Folder& folder, const std::string& name);

}  // namespace talvane
