#include "app/platform/Desktop.h"

#include <QFile>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>
#include <cerrno>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include "app/platform/MsgBox.h"

namespace talvane {

int Desktop::MessageBox(QWidget* owner, const QString& prompt, int style, const QString& title) {
    QMessageBox box(owner);
    box.setWindowTitle(title);
    // Every box carries the program's icon, whichever window (or none) owns it.
    box.setWindowIcon(AppIcon());
    box.setText(prompt);
    switch (style & 0x70) {
        case vbCritical: box.setIcon(QMessageBox::Critical); break;
        case vbQuestion: box.setIcon(QMessageBox::Question); break;
        case vbExclamation: box.setIcon(QMessageBox::Warning); break;
        case vbInformation: box.setIcon(QMessageBox::Information); break;
        default: break;
    }
    if ((style & 0x0F) == vbYesNo) {
        QPushButton* yes = box.addButton(QMessageBox::Yes);
        QPushButton* no = box.addButton(QMessageBox::No);
        box.setDefaultButton((style & vbDefaultButton2) ? no : yes);
        box.setEscapeButton(no);
    } else {
        box.setDefaultButton(box.addButton(QMessageBox::Ok));
    }
    box.exec();
    switch (box.standardButton(box.clickedButton())) {
        case QMessageBox::Yes: return vbYes;
        case QMessageBox::No: return vbNo;
        case QMessageBox::Ok: return vbOK;
        default: return (style & 0x0F) == vbYesNo ? vbNo : vbOK;
    }
}

std::optional<std::string> Desktop::ChooseFolder(QWidget* owner, const QString& title) {
    QString folder = QFileDialog::getExistingDirectory(owner, title, QString(),
                                                       QFileDialog::ShowDirsOnly);
    if (folder.isEmpty()) return std::nullopt;
    QByteArray bytes = QFile::encodeName(folder);
    return std::string(bytes.constData(), static_cast<size_t>(bytes.size()));
}

bool Desktop::StartDetached(const std::string& program, const std::vector<std::string>& arguments,
                            const std::optional<std::string>& workingDir) {
    // Everything the children need is prepared before fork: after it, only async-signal-safe
    // calls are made.
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
            execvp(argv[0], argv.data());
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
