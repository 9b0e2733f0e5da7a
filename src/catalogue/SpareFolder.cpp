#include "catalogue/SpareFolder.h"

#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>
#include <algorithm>
#include <cerrno>
#include <mutex>

namespace talvane {

namespace {

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

// Whether the process that made a spare folder is gone. The folder of a process with our
// own number is a dead one's too: no rename of ours is under way while gSpareFolders is held.
bool MadeByEndedProcess(pid_t pid) {
    if (pid == ::getpid()) return true;
    return ::kill(pid, 0) != 0 && errno == ESRCH;
}

bool IsEmptyFile(const Folder& folder, const char* name) {
    struct stat st {};
    return !folder.Stat(name, st, false) && S_ISREG(st.st_mode) && st.st_size == 0;
}

}  // namespace

bool IsSpareFolderName(std::string_view name) { return SpareFolderProcess(name) > 0; }

std::error_code RenameThroughSpareName(const Folder& folder, const std::string& from,
                                       const std::string& to, RenameLeftover& left) {
    const std::lock_guard<std::mutex> lock(gSpareFolders);
    left = {};
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string spareFolder = SpareFolderName(::getpid(), attempt);
        if (std::error_code error = folder.MakeFolder(spareFolder.c_str())) {
            if (error == std::errc::file_exists) continue;
            return error;
        }
        const std::string spare = spareFolder + "/" + from;
        if (std::error_code error = folder.RenameNoReplace(from.c_str(), spare.c_str(), left)) {
            if (left.kind == RenameLeftover::Nothing) folder.RemoveFolder(spareFolder.c_str());
            return error;
        }
        ReachedRenameStep(RenameStep::MovedToSpare);
        RenameLeftover failure;
        const std::error_code error = folder.RenameNoReplace(spare.c_str(), to.c_str(), failure);
        if (error) {
            if (std::error_code back = folder.RenameNoReplace(spare.c_str(), from.c_str(), left)) {
                if (left.kind == RenameLeftover::Nothing)
                    left = {RenameLeftover::InSpareFolder, spare, from};
                return back;
            }
        }
        // An empty spare folder left behind goes at the next scan.
        folder.RemoveFolder(spareFolder.c_str());
        left = std::move(failure);
        return error;
    }
    return ErrnoCode(EEXIST);
}

std::vector<std::string> PutBackSpareFolder(const Folder& folder, const std::string& name) {
    std::vector<std::string> putBack;
    const std::lock_guard<std::mutex> lock(gSpareFolders);
    if (pid_t pid = SpareFolderProcess(name); pid <= 0 || !MadeByEndedProcess(pid)) return putBack;
    std::vector<std::string> names;
    {
        std::error_code error;
        const Folder spareFolder = folder.OpenFolder(name.c_str(), error);
        if (error) return putBack;
        bool listed;
        spareFolder.ListsAny(
            [&](std::string_view inside) {
                if (inside != "." && inside != "..") names.emplace_back(inside);
                return false;
            },
            listed);
    }
    for (const std::string& file : names) {
        const std::string spare = name + "/" + file;
        for (int tries = 0; tries < 2; ++tries) {
            RenameLeftover left;
            const std::error_code error = folder.RenameNoReplace(spare.c_str(), file.c_str(), left);
            if (!error) {
                putBack.push_back(file);
                break;
            }
            if (left.kind != RenameLeftover::Nothing || error != std::errc::file_exists) break;
            if (IsEmptyFile(folder, spare.c_str())) {
                // Made before the file could be moved in: the file never left its name.
                folder.Unlink(spare.c_str());
                break;
            }
            // Made before the file could be moved out under its new spelling.
            if (!IsEmptyFile(folder, file.c_str()) || folder.Unlink(file.c_str())) break;
        }
    }
    folder.RemoveFolder(name.c_str());
    return putBack;
}

}  // namespace talvane
