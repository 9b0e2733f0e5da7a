#include "app/platform/Desktop.h"

#include <QFile>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>
#include <cerrno>
#include <sys/wait.h>
#include <unistd.h>

namespace talvane {

int Desktop::MessageBox(QWidget* owner, const QString& prompt, int style, const QString& title) {
    QMessageBox box(owner);
    box.setWindowTitle(title);
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
    // Everything the child needs is prepared before fork: after it, only async-signal-safe
    // calls are made.
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const std::string& a : arguments) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    const char* dir = workingDir && !workingDir->empty() ? workingDir->c_str() : nullptr;

    pid_t child = fork();
    if (child < 0) return false;
    if (child == 0) {
        // The intermediate child starts the real one and leaves at once, so the opened
        // program is adopted by init and never becomes our zombie.
        setsid();
        pid_t grandchild = fork();
        if (grandchild == 0) {
            if (dir) {
                if (chdir(dir) != 0) { /* a missing directory leaves ours */ }
            }
            execvp(argv[0], argv.data());
            _exit(127);
        }
        _exit(grandchild < 0 ? 1 : 0);
    }
    int status = 0;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

namespace {
Desktop gRealDesktop;
Desktop* gDesktop = &gRealDesktop;
}  // namespace

Desktop& TheDesktop() { return *gDesktop; }
void SetDesktop(Desktop* desktop) { gDesktop = desktop ? desktop : &gRealDesktop; }

}  // namespace talvane
