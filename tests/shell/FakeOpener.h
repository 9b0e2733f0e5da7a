#pragma once
// A stand-in for the desktop's opener, which records what each run of it was given, and a
// desktop that counts the programs it is asked to start.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <QByteArray>
#include <QDir>
#include <QTest>
#include <cerrno>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "app/platform/Desktop.h"
#include "support/BannerFiles.h"

namespace talvane::test {

// What one run of the opener was given.
struct Call {
    std::vector<std::string> arguments;
    std::string workingDir;
};

// A stand-in `xdg-open` first on PATH for as long as it lives. Each run records its working
// directory and arguments (NUL-separated, byte-exact) and ends with `exitCode`.
class FakeOpener {
public:
    explicit FakeOpener(int exitCode = 0) : savedPath_(qgetenv("PATH")) {
        // Written under a temporary name and renamed, so a record is whole once it is seen.
        static constexpr const char* kRecord = R"sh(
{ printf '%s\0' "$(pwd -P)"; for a in "$@"; do printf '%s\0' "$a"; done; } > "$calls/.partial.$$"
mv "$calls/.partial.$$" "$calls/call.$$"
)sh";
        const std::string calls = bin_ / "calls";
        ::mkdir(calls.c_str(), 0700);
        const std::string script = "#!/bin/sh\ncalls='" + calls + "'" + kRecord + "exit " +
                                   std::to_string(exitCode) + "\n";
        ::chmod(bin_.Write("xdg-open", QByteArray::fromStdString(script)).c_str(), 0755);
        qputenv("PATH", QByteArray::fromStdString(bin_.Path()) + ':' + savedPath_);
    }
    ~FakeOpener() { qputenv("PATH", savedPath_); }

    // Takes the opener out of PATH, leaving only a folder without it.
    void Remove() { qputenv("PATH", QByteArray::fromStdString(bin_ / "calls")); }

    // Waits for the next run to finish recording and returns what it was given.
    Call NextCall() {
        QDir calls(QString::fromStdString(bin_ / "calls"));
        QStringList found;
        bool arrived = QTest::qWaitFor(
            [&] {
                found = calls.entryList({QStringLiteral("call.*")}, QDir::Files);
                return !found.isEmpty();
            },
            60000);
        if (!arrived) {
            ADD_FAILURE() << "the opener was not started";
            return {};
        }
        std::string file = bin_ / ("calls/" + found.first().toStdString());
        QByteArray bytes = bin_.Read("calls/" + found.first().toStdString());
        std::filesystem::remove(file);
        Call call;
        std::vector<std::string> fields;
        for (qsizetype start = 0, end; (end = bytes.indexOf('\0', start)) >= 0; start = end + 1)
            fields.emplace_back(bytes.constData() + start, size_t(end - start));
        if (fields.empty()) return call;
        call.workingDir = fields.front();
        call.arguments.assign(fields.begin() + 1, fields.end());
        return call;
    }

private:
    TempFolder bin_;
    QByteArray savedPath_;
};

// The opener is started and let go: no child of ours, running or dead, is left.
inline bool NoChildLeft() {
    int status = 0;
    return ::waitpid(-1, &status, WNOHANG) == -1 && errno == ECHILD;
}

inline std::string Physical(const std::string& path) {
    return std::filesystem::canonical(path).string();
}

// Counts the processes the program asks the desktop to start, and starts them for real.
class CountingDesktop : public Desktop {
public:
    explicit CountingDesktop(Desktop* dialogs) : dialogs_(dialogs) {}
    int MessageBox(QWidget* owner, const QString& prompt, int style,
                   const QString& title) override {
        return dialogs_->MessageBox(owner, prompt, style, title);
    }
    std::optional<std::string> ChooseFolder(QWidget* owner, const QString& title) override {
        return dialogs_->ChooseFolder(owner, title);
    }
    bool StartDetached(const std::string& program, const std::vector<std::string>& arguments,
                       const std::optional<std::string>& workingDir) override {
        ++starts;
        return Desktop::StartDetached(program, arguments, workingDir);
    }
    int starts = 0;

private:
    Desktop* dialogs_;
};

}  // namespace talvane::test
