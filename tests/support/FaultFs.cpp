#include "support/FaultFs.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <QThread>
#include <chrono>
#include <csignal>

namespace talvane::test {

namespace {

constexpr const char* kPython = "/usr/bin/python3";

bool IsMountedOver(const std::string& mountPoint, const std::string& parent) {
    struct stat inner {
    }, outer{};
    return ::stat(mountPoint.c_str(), &inner) == 0 && ::stat(parent.c_str(), &outer) == 0 &&
           inner.st_dev != outer.st_dev;
}

}  // namespace

std::string FaultFs::Mount() {
    if (::access("/dev/fuse", R_OK | W_OK) != 0) return "no FUSE device (/dev/fuse)";
    if (::access(kPython, X_OK) != 0) return "no /usr/bin/python3";
    if (RunToEnd({kPython, "-c", "import fusepy"}, nullptr, std::chrono::seconds(10)) != 0)
        return "no fusepy for /usr/bin/python3 (python3-fusepy)";

    mountPoint_ = scratch_ / "mnt";
    rules_ = scratch_ / "rules";
    ::mkdir(mountPoint_.c_str(), 0755);
    SetRules("");
    if (!process_.Start(
            {kPython, TALVANE_TEST_SUPPORT_DIR "/faultfs.py", root_.Path(), mountPoint_, rules_}))
        return "faultfs.py did not start";
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!IsMountedOver(mountPoint_, scratch_.Path())) {
        if (!process_.Running() || std::chrono::steady_clock::now() > deadline)
            return "faultfs.py could not mount (is FUSE usable here?)";
        QThread::msleep(20);
    }
    mounted_ = true;
    return {};
}

void FaultFs::SetRules(const std::string& rules) {
    // Written whole under another name, then put in place: the file system never reads half.
    const std::string next = rules_ + ".next";
    const int fd = ::open(next.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) return;
    [[maybe_unused]] ssize_t written = ::write(fd, rules.data(), rules.size());
    ::close(fd);
    ::rename(next.c_str(), rules_.c_str());
}

FaultFs::~FaultFs() {
    if (process_.Running()) {
        // Killed, the file system's connection is cut and every call waiting on it fails.
        process_.Kill(SIGKILL);
        process_.Wait(std::chrono::seconds(10));
    }
    // Once its process is gone the mount answers nothing, not even whether it is one: it is
    // taken away all the same.
    if (mounted_) {
        std::string said;
        RunToEnd({"fusermount", "-u", "-z", mountPoint_}, &said, std::chrono::seconds(10));
    }
}

}  // namespace talvane::test
