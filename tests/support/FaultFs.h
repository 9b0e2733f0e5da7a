#pragma once
// A folder on a file system that fails, waits or hangs chosen calls on chosen names, for the
// tests of what the program does when the disk misbehaves (faultfs.py beside this file).

#include <string>
#include "support/ChildProcess.h"

#include "support/BannerFiles.h"

namespace talvane::test {

class FaultFs {
public:
    FaultFs() = default;
    // Unmounts; a call still hanging in it fails.
    ~FaultFs();
    FaultFs(const FaultFs&) = delete;
    FaultFs& operator=(const FaultFs&) = delete;

    // Mounts the file system; the reason it cannot be mounted here, or "" when it is.
    std::string Mount();
    // Where the real files are: written here, they show in Folder().
    const TempFolder& Root() const { return root_; }
    // The mounted folder, for the program.
    const std::string& Folder() const { return mountPoint_; }
    // Replaces the rules (lines of "OPERATION NAME ACTION [ARGUMENT]", see faultfs.py); the
    // file system follows them from its next call on.
    void SetRules(const std::string& rules);

private:
    TempFolder root_;
    TempFolder scratch_;
    std::string mountPoint_;
    std::string rules_;
    ChildProcess process_;
    bool mounted_ = false;
};

}  // namespace talvane::test

// Skips the test when the file system cannot be mounted here, saying why.
#define MOUNT_FAULT_FS_OR_SKIP(fs)                                           \
    do {                                                                     \
        const std::string why = (fs).Mount();                                \
        if (!why.empty()) GTEST_SKIP() << "no failing file system: " << why; \
    } while (0)
