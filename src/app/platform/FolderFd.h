#pragma once
// Files reached through their open folder, by their names alone: whatever is listed can be
// read, renamed and deleted however long its full path is, and the folder the name is taken
// in is the one that was opened.

#include <functional>
#include <string>
#include <string_view>

#include "app/platform/UniqueFd.h"

namespace talvane {

// Opens the folder holding `path` (everything before its last '/'), to look up, rename and
// delete names in; -1 with errno set when it cannot be opened.
UniqueFd OpenFolderOf(const std::string& path);

// Whether the folder lists a name for which `match` is true. A folder that ignores letter case
// finds a file under any spelling; only its listing has the spelling it keeps. True when the
// folder cannot be read: nothing can be ruled out.
bool ListsAny(int folderFd, const std::function<bool(std::string_view)>& match);

// Whether `name`, which the folder has just answered to, is spelt so in the folder, not only
// a spelling it answers to. Only a folder that also answers to another spelling of the name
// is listed to tell.
bool SpeltExactly(int folderFd, const std::string& name);

}  // namespace talvane
