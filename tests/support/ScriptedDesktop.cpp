#include "support/ScriptedDesktop.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QWidget>

namespace talvane::test {

namespace {

// What a real modal dialog does to the program while it is up: a window of its own, modal,
// that takes the keyboard, so whatever had the focus (an open in-place edit, say) loses it;
// when it goes, the windows it blocked are unblocked.
class ModalStandIn {
public:
    explicit ModalStandIn(QWidget* owner) : window_(owner, Qt::Dialog) {
        window_.setWindowModality(Qt::ApplicationModal);
        window_.setFocusPolicy(Qt::StrongFocus);
        window_.show();
        QApplication::setActiveWindow(&window_);
        window_.setFocus(Qt::ActiveWindowFocusReason);
        QCoreApplication::processEvents();
    }
    ~ModalStandIn() {
        window_.hide();
        QCoreApplication::processEvents();
        // A window manager hands the keyboard back only later: until then no window of the
        // program is active.
        QApplication::setActiveWindow(nullptr);
    }

private:
    QWidget window_;
};

}  // namespace

int ScriptedDesktop::MessageBox(QWidget* owner, const QString& prompt, int style,
                                const QString& title) {
    boxes.push_back({prompt, style, title, owner});
    ModalStandIn box(owner);
    if (whileBoxIsUp) whileBoxIsUp(boxes.back());
    if (!answers.empty()) {
        int answer = answers.front();
        answers.pop_front();
        return answer;
    }
    if ((style & 0x0F) == vbOKOnly) return vbOK;
    ADD_FAILURE() << "unexpected question: " << prompt.toStdString();
    return vbNo;
}

std::optional<std::string> ScriptedDesktop::ChooseFolder(QWidget* owner, const QString& title) {
    folderTitles.push_back(title);
    folderOwners.push_back(owner);
    ModalStandIn dialog(owner);
    if (folders.empty()) {
        ADD_FAILURE() << "unexpected folder dialog";
        return std::nullopt;
    }
    std::optional<std::string> folder = folders.front();
    folders.pop_front();
    return folder;
}

}  // namespace talvane::test
