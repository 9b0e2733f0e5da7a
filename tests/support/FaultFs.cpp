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
    QProcess probe;
    probe.start(kPython, {"-c", "import fusepy"});
    if (!probe.waitForFinished(10000) || probe.exitCode() != 0)
        return "no fusepy for /usr/bin/python3 (python3-fusepy)";

    mountPoint_ = scratch_ / "mnt";
    rules_ = scratch_ / "rules";
    ::mkdir(mountPoint_.c_str(), 0755);
    SetRules("");
    process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process_.start(kPython, {QStringLiteral(TALVANE_TEST_SUPPORT_DIR "/faultfs.py"),
                             QString::fromStdString(root_.Path()),
                             QString::fromStdString(mountPoint_), QString::fromStdString(rules_)});
    if (!process_.waitForStarted(10000)) return "faultfs.py did not start";
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!IsMountedOver(mountPoint_, scratch_.Path())) {
        if (process_.state() == QProcess::NotRunning || std::chrono::steady_clock::now() > deadline)
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
    if (process_.state() != QProcess::NotRunning) {
        // Killed, the file system's connection is cut and every call waiting on it fails.
        ::kill(pid_t(process_.processId()), SIGKILL);
        process_.waitForFinished(10000);
    }
    // Once its process is gone the mount answers nothing, not even whether it is one: it is
    // taken away all the same.
    if (mounted_) {
        QProcess unmount;
        unmount.setProcessChannelMode(QProcess::MergedChannels);
        unmount.start("fusermount", {"-u", "-z", QString::fromStdString(mountPoint_)});
        unmount.waitForFinished(10000);
    }
}

}  // namespace talvane::test
