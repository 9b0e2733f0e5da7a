#pragma once
// The program on a folder of three banners, its main window active, counting the ends of
// in-place edits.

#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QHeaderView>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QMenuBar>
#include <QTest>
#include <QTreeView>

#include "app/platform/ListItemsModel.h"
#include "support/ProgramFixture.h"

namespace talvane::test {

class MenusTest : public ProgramTest {
protected:
    // Three banners on disk, listed, with the user at the list.
    void StartWithBanners() {
        StartOnBanners(folder_, {"Anchor.bmp", "Bell.bmp", "Crown.bmp"});
        // The preview window, shown last, may have taken the keyboard.
        QApplication::setActiveWindow(&Main());
        Flush();
        ASSERT_EQ(QApplication::activeWindow(), &Main());
        // Counts the ends of in-place edits; the program still renames as usual.
        auto original = List().AfterLabelEdit;
        List().AfterLabelEdit = [this, original](int16_t& cancel, const QString& text) {
            ++labelEdits_;
            original(cancel, text);
        };
    }

    std::vector<int> CheckedViewItems() {
        std::vector<int> checked;
        for (int i = 0; i < 4; ++i)
            if (Main().mnuLView[size_t(i)]->isChecked()) checked.push_back(i);
        return checked;
    }

    QRect ItemRect(const QString& text) {
        Flush();
        QModelIndex index = RowWithText(List().Model(), text);
        if (index.isValid()) return View()->visualRect(index);
        ADD_FAILURE() << "no entry " << text.toStdString();
        return {};
    }

    TempFolder folder_;
    int labelEdits_ = 0;
};

}  // namespace talvane::test
