// The real message box: the program's icon whatever window owns it, and its text as written,
// within the screen however long the path in it.

#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QTest>
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

TEST(MessageBoxTest, ALongUnbrokenNameWrapsWithinTheScreenAndIsCopiedAsWritten) {
    QString name = "<b>banner</b>";
    for (int i = 0; i < 30; ++i) name += QString("_WIDE%1").arg(i);
    const QString slashes =
        "Error deleting file: /home/someone/Pictures/banners/old-ones/"
        "from-last-year/kept-for-later/a-folder-with-a-long-name/Sea.bmp";
    const QString unbroken = "Error deleting file: \"/home/someone/" + name + ".bmp\"";
    for (const QString& prompt : {slashes, unbroken}) {
        ShowBox(nullptr, prompt, [&](QMessageBox& box) {
            EXPECT_TRUE(box.screen()->availableGeometry().contains(box.frameGeometry()));
            auto* label = box.findChild<QLabel*>("qt_msgbox_label");
            ASSERT_NE(label, nullptr);
            EXPECT_EQ(label->textFormat(), Qt::PlainText) << "markup in a name is shown as written";
            // All of the text lies within the label; one that breaks after its slashes as it is.
            const QRect needed = label->fontMetrics().boundingRect(
                QRect(0, 0, label->width(), 100000), Qt::TextWordWrap, label->text());
            EXPECT_TRUE(QRect(QPoint(), label->size()).contains(needed));
            if (prompt == slashes) {
                EXPECT_EQ(label->text(), prompt);
            }
            label->setSelection(0, int(label->text().size()));
            QTest::keyClick(label, Qt::Key_C, Qt::ControlModifier);
            EXPECT_EQ(QApplication::clipboard()->text(), prompt);
        });
    }
}

}  // namespace
}  // namespace talvane::test
