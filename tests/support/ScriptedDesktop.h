#pragma once
// A desktop whose modal dialogs the test answers: each message box and folder dialog is
// recorded and answered from a queue, in place of the real modal window.

#include <QString>
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "app/platform/Desktop.h"

namespace talvane::test {

class ScriptedDesktop : public Desktop {
public:
    struct Box {
        QString prompt;
        int style;
        QString title;
        QWidget* owner;
    };

    // Answers for the next message boxes. With none left, an OK-only box is answered OK and
    // a question fails the test.
    std::deque<int> answers;
    std::vector<Box> boxes;
    // Runs while a box is up, before it is answered (to look at the screen behind it).
    std::function<void(const Box&)> whileBoxIsUp;

    // Answers for the next folder dialogs (nullopt: the user cancels). With none left, the
    // dialog fails the test and is cancelled.
    std::deque<std::optional<std::string>> folders;
    std::vector<QString> folderTitles;
    std::vector<QWidget*> folderOwners;

    int MessageBox(QWidget* owner, const QString& prompt, int style, const QString& title) override;
    std::optional<std::string> ChooseFolder(QWidget* owner, const QString& title) override;
};

}  // namespace talvane::test
