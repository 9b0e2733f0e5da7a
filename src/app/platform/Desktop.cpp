#include "app/platform/Desktop.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <QFile>
#include <QFileDialog>
#include <QGuiApplication>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QSettings>
#include <algorithm>
#include <cerrno>
#include <cstdlib>

#include "app/platform/BreakableText.h"
#include "app/platform/MsgBox.h"
#include "app/platform/ToolCaption.h"
#include "app/platform/WindowManagerHints.h"

namespace talvane {

int Desktop::MessageBox(QWidget* owner, const QString& prompt, int style, const QString& title) {
    QMessageBox box(owner);
    box.setWindowTitle(title);
    // Every box carries the program's icon, whichever window (or none) owns it.
    box.setWindowIcon(AppIcon());
    // Texts are shown as written: a file name that looks like markup stays as it is.
    box.setTextFormat(Qt::PlainText);
    // A long path must not widen the box past the screen: a stretch of it with nowhere to
    // break may break anywhere.
    QLabel* label = box.findChild<QLabel*>(QStringLiteral("qt_msgbox_label"));
    QScreen* screen = owner ? owner->screen() : QGuiApplication::primaryScreen();
    const int width = screen ? std::min(screen->availableGeometry().width() / 2, 400) : 400;
    const BreakableText text(prompt, QFontMetrics(label ? label->font() : box.font()), width);
    box.setText(text.Shown());
    // Text copied from the box (or selected, for a middle click) is the text as written,
    // without the breaks put in.
    if (label) text.KeepCopiesAsWritten(label, &box);
    switch (style & 0x70) {
        case vbCritical:
            box.setIcon(QMessageBox::Critical);
            break;
        case vbQuestion:
            box.setIcon(QMessageBox::Question);
            break;
        case vbExclamation:
            box.setIcon(QMessageBox::Warning);
            break;
        case vbInformation:
            box.setIcon(QMessageBox::Information);
            break;
        default:
            break;
    }
    if ((style & 0x0F) == vbYesNo) {
        QPushButton* yes = box.addButton(QMessageBox::Yes);
        QPushButton* no = box.addButton(QMessageBox::No);
        box.setDefaultButton((style & vbDefaultButton2) ? no : yes);
        box.setEscapeButton(no);
    } else {
        box.setDefaultButton(box.addButton(QMessageBox::Ok));
    }
    // Qt's own frame on Wayland offers to minimise and maximise it: it draws a caption of its
    // own instead, whose close box closes it as the frame's would (as Escape does).
    if (OnWayland()) DrawOwnCaption(&box);
    // A frame may offer to maximise it all the same: it stays at its own size.
    box.winId();
    KeepFixedSizeWindowed(&box);
    box.exec();
    switch (box.standardButton(box.clickedButton())) {
        case QMessageBox::Yes:
            return vbYes;
        case QMessageBox::No:
            return vbNo;
        case QMessageBox::Ok:
            return vbOK;
        default:
            return (style & 0x0F) == vbYesNo ? vbNo : vbOK;
    }
}

std::optional<std::string> Desktop::ChooseFolder(QWidget* owner, const QString& title) {
    // The file dialog keeps its history, last folder and layout in the user's settings and
    // reads them back; the program writes no file of its own, so settings go nowhere (a
    // folder that can be neither made nor read) and nothing is read back.
    static const bool settingsGoNowhere = [] {
        for (QSettings::Format format : {QSettings::NativeFormat, QSettings::IniFormat})
            for (QSettings::Scope scope : {QSettings::UserScope, QSettings::SystemScope})
                QSettings::setPath(format, scope, QStringLiteral("/dev/null"));
        return true;
    }();
    (void)settingsGoNowhere;
    QString folder =
        QFileDialog::getExistingDirectory(owner, title, QString(), QFileDialog::ShowDirsOnly);
    if (folder.isEmpty()) return std::nullopt;
    QByteArray bytes = QFile::encodeName(folder);
    return std::string(bytes.constData(), static_cast<size_t>(bytes.size()));
}

// Only absolute entries count: an empty or relative one would mean whatever folder the
// child is started in, which is the banner's, so a folder could supply its own opener.
std::string FindOnPath(const std::string& program) {
    if (program.find('/') != std::string::npos) return program;
    const char* path = std::getenv("PATH");
    std::string entries = path ? path : "/usr/local/bin:/usr/bin:/bin";
    for (size_t start = 0; start <= entries.size();) {
        size_t end = entries.find(':', start);
        if (end == std::string::npos) end = entries.size();
        const std::string dir = entries.substr(start, end - start);
        start = end + 1;
        if (dir.empty() || dir.front() != '/') continue;
        const std::string candidate = dir + "/" + program;
        struct stat st {};
        if (::stat(candidate.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
            ::access(candidate.c_str(), X_OK) == 0)
            return candidate;
    }
    return std::string();
}

bool Desktop::StartDetached(const std::string& program, const std::vector<std::string>& arguments,
                            const std::optional<std::string>& workingDir) {
    // Everything the children need is prepared before fork: after it, only async-signal-safe
    // calls are made.
    const std::string found = FindOnPath(program);
    if (found.empty()) return false;
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const std::string& a : arguments) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    const char* dir = workingDir && !workingDir->empty() ? workingDir->c_str() : nullptr;

    // A failed exec writes its errno here; a successful one closes the pipe unwritten.
    int report[2];
    if (pipe2(report, O_CLOEXEC) != 0) return false;

    pid_t child = fork();
    if (child < 0) {
        close(report[0]);
        close(report[1]);
        return false;
    }
    if (child == 0) {
        // The intermediate child starts the real one and leaves at once, so the opened
        // program is adopted by init and never becomes our zombie.
        close(report[0]);
        setsid();
        pid_t grandchild = fork();
        if (grandchild == 0) {
            // The opened program gets no descriptor of ours beyond the standard three.
            close_range(3, ~0U, CLOSE_RANGE_CLOEXEC);
            // A folder that does not exist leaves the opener in ours.
            [[maybe_unused]] int moved = dir ? chdir(dir) : 0;
            execv(found.c_str(), argv.data());
            int err = errno;
            [[maybe_unused]] ssize_t told = write(report[1], &err, sizeof err);
            _exit(127);
        }
        if (grandchild < 0) {
            int err = errno;
            [[maybe_unused]] ssize_t told = write(report[1], &err, sizeof err);
        }
        _exit(0);
    }
    close(report[1]);
    while (waitpid(child, nullptr, 0) < 0 && errno == EINTR) {
    }
    int err = 0;
    ssize_t got;
    while ((got = read(report[0], &err, sizeof err)) < 0 && errno == EINTR) {
    }
    close(report[0]);
    return got == 0;
}

namespace {
Desktop gRealDesktop;
Desktop* gDesktop = &gRealDesktop;
}  // namespace

Desktop& TheDesktop() { return *gDesktop; }
void SetDesktop(Desktop* desktop) { gDesktop = desktop ? desktop : &gRealDesktop; }

}  // namespace talvane
