#pragma once
// Deleting a file by its full path.

#include <string>

namespace talvane {

// Removes the file from the disk for good (no trash folder). A symbolic link is removed as
// the link, its target stays. Fails with errFileNotFound when there is no file of exactly that
// name (a file spelt otherwise is never taken for it), and with errPathFileAccess for a
// read-only file (one with no write permission bit), which is never deleted, whoever runs the
// program.
void Kill(const std::string& path);

}  // namespace talvane
