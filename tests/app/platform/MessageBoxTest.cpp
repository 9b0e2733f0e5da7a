// The real message box: the program's icon whatever window owns it.

#include <gtest/gtest.h>

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <functional>

#include "app/platform/Desktop.h"
#include "app/platform/MsgBox.h"

namespace talvane::test {
namespace {

// Shows `prompt` in the real box owned by `owner`, hands the box to `look` while it is up,
// then presses OK.
void ShowBox(QWidget* owner, const QString& prompt, const std::function<void(QMessageBox&)>& look) {
    QTimer::singleShot(0, [&] {
        QMessageBox* box = nullptr;
        for (QWidget* window : QApplication::topLevelWidgets())
            if (window->isVisible() && qobject_cast<QMessageBox*>(window))
                box = static_cast<QMessageBox*>(window);
        ASSERT_NE(box, nullptr) << "no message box is up";
        look(*box);
        box->button(QMessageBox::Ok)->click();
    });
    Desktop real;
    EXPECT_EQ(real.MessageBox(owner, prompt, vbOKOnly | vbCritical, AppTitle()), vbOK);
}

bool SameIcon(const QIcon& a, const QIcon& b) {
    for (int size : {16, 32})
        if (a.pixmap(size).toImage() != b.pixmap(size).toImage()) return false;
    return true;
}

TEST(MessageBoxTest, EveryBoxCarriesTheProgramsIconWhicheverWindowOwnsIt) {
    QWidget plain;  // a window of no icon of its own
    plain.show();
    QWidget main;
    main.setWindowIcon(AppIcon());
    main.show();
    for (QWidget* owner : {static_cast<QWidget*>(nullptr), &plain, &main}) {
        ShowBox(owner, "Error deleting file: gone",
                [](QMessageBox& box) { EXPECT_TRUE(SameIcon(box.windowIcon(), AppIcon())); });
    }
}

}  // namespace
}  // namespace talvane::test
