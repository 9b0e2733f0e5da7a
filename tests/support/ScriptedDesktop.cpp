#include "support/ScriptedDesktop.h"

#include <gtest/gtest.h>

namespace talvane::test {

int ScriptedDesktop::MessageBox(QWidget* owner, const QString& prompt, int style, const QString& title) {
    boxes.push_back({prompt, style, title, owner});
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
    if (folders.empty()) {
        ADD_FAILURE() << "unexpected folder dialog";
        return std::nullopt;
    }
    std::optional<std::string> folder = folders.front();
    folders.pop_front();
    return folder;
}

}  // namespace talvane::test
