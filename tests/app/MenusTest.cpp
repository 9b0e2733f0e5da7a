// The File and View menus, their shortcuts, the four view modes and in-place editing from
// the keyboard, all driven through the real menu bar and real key presses.

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
namespace {

class MenusTest : public ProgramTest {
protected:
    // Three banners on disk, listed, with the user at the list.
    void StartWithBanners() {
        folder_.WriteBanner("Anchor.bmp", 1);
        folder_.WriteBanner("Bell.bmp", 2);
        folder_.WriteBanner("Crown.bmp", 3);
        Start(folder_.Path());
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
        ListItemsModel* model = List().Model();
        for (int row = 0; row < model->rowCount(); ++row)
            if (model->index(row).data().toString() == text)
                return View()->visualRect(model->index(row));
        ADD_FAILURE() << "no entry " << text.toStdString();
        return {};
    }

    TempFolder folder_;
    int labelEdits_ = 0;
};

TEST_F(MenusTest, TheMenuBarReadsExactlyFileAndViewWithTheirItemsInOrder) {
    Start(std::nullopt);
    FrmMain& main = Main();
    QList<QAction*> bar = main.menuBar->actions();
    ASSERT_EQ(bar.size(), 2);
    EXPECT_EQ(bar[0]->text(), "&File");
    EXPECT_EQ(bar[0]->menu(), main.mnuFile);
    EXPECT_EQ(bar[1]->text(), "&View");
    EXPECT_EQ(bar[1]->menu(), main.mnuView);

    struct Line {
        QAction* item;
        const char* caption;  // "-": a separator
        QKeySequence shortcut;
    };
    const std::vector<Line> file = {
        {main.mnuNew, "Browse New Folder...", {}},
        {main.mnuRefresh, "&Refresh", QKeySequence(Qt::Key_F5)},
        {main.mnuBar, "-", {}},
        {main.mnuRename, "R&ename", {}},
        {main.mnuDelete, "&Delete", QKeySequence(Qt::Key_Delete)},
        {main.mnuBar1, "-", {}},
        {main.mnuExit, "E&xit", {}},
    };
    const std::vector<Line> view = {
        {main.mnuPreview, "&Preview", {}},     {main.mnuBar2, "-", {}},
        {main.mnuLView[0], "Large Icons", {}}, {main.mnuLView[1], "S&mall Icons", {}},
        {main.mnuLView[2], "&List", {}},       {main.mnuLView[3], "&Details", {}},
    };
    for (auto [menu, lines] : {std::pair{main.mnuFile, file}, std::pair{main.mnuView, view}}) {
        QList<QAction*> items = menu->actions();
        ASSERT_EQ(items.size(), qsizetype(lines.size()));
        for (size_t i = 0; i < lines.size(); ++i) {
            const Line& line = lines[i];
            QAction* item = items[qsizetype(i)];
            SCOPED_TRACE(line.caption);
            EXPECT_EQ(item, line.item);
            EXPECT_EQ(item->isSeparator(), QString(line.caption) == "-");
            if (!item->isSeparator()) {
                EXPECT_EQ(item->text(), line.caption);
            }
            EXPECT_EQ(item->shortcuts(), line.shortcut.isEmpty()
                                             ? QList<QKeySequence>{}
                                             : QList<QKeySequence>{line.shortcut});
            EXPECT_TRUE(item->isEnabled() && item->isVisible());
            // Only the view items carry a check mark.
            EXPECT_EQ(item->isCheckable(),
                      std::count(main.mnuLView.begin(), main.mnuLView.end(), item) == 1);
        }
    }
    EXPECT_EQ(CheckedViewItems(), std::vector<int>{1});
    EXPECT_EQ(List().View(), lvwSmallIcon);
}

// ---- File ------------------------------------------------------------------------------------

TEST_F(MenusTest, RefreshAsksForAFolderUntilOneIsRememberedThenRescansIt) {
    Start(std::nullopt);
    TempFolder folder;
    folder.WriteBanner("Old.bmp", 1);
    desktop.folders.push_back(folder.Path());
    Press(Qt::Key_F5);
    ASSERT_EQ(desktop.folderTitles.size(), 2u);
    EXPECT_EQ(desktop.folderTitles[1], "Select a folder containing the banners to view.");
    EXPECT_EQ(desktop.folderOwners[1], &Main());
    EXPECT_EQ(Texts(), std::vector<QString>{"Old"});

    // The folder changes on disk; both F5 and the menu list it as it now is, unasked.
    folder.WriteBanner("New.bmp", 2);
    Press(Qt::Key_F5);
    EXPECT_EQ(Texts(), (std::vector<QString>{"New", "Old"}));
    ::unlink((folder / "Old.bmp").c_str());
    ChooseMenu(Main().mnuRefresh);
    EXPECT_EQ(Texts(), std::vector<QString>{"New"});
    EXPECT_EQ(desktop.folderTitles.size(), 2u);

    // Browse New Folder... always asks; cancelling keeps everything.
    desktop.folders.push_back(std::nullopt);
    ChooseMenu(Main().mnuNew);
    EXPECT_EQ(desktop.folderTitles.size(), 3u);
    EXPECT_EQ(Texts(), std::vector<QString>{"New"});
    EXPECT_EQ(List().Tag(), folder.Path());
}

TEST_F(MenusTest, RenameOrF2WithNothingSelectedDoesNothing) {
    StartWithBanners();
    // Focus gives the list a current entry, but none is selected.
    ASSERT_TRUE(List().SelectedItem().IsNothing());
    ChooseMenu(Main().mnuRename);
    EXPECT_EQ(Editor(), nullptr);
    Press(Qt::Key_F2);
    EXPECT_EQ(Editor(), nullptr);
    Press(Qt::Key_Return);
    EXPECT_EQ(labelEdits_, 0);
    EXPECT_TRUE(desktop.boxes.empty());
    EXPECT_EQ(folder_.Names(), (std::vector<std::string>{"Anchor.bmp", "Bell.bmp", "Crown.bmp"}));
}

TEST_F(MenusTest, AnEditStartedByMenuOrF2EndsOnceWithReturnAndNotAtAllWithEsc) {
    struct Case {
        bool byF2;
        int endKey;
        bool renamed;
    };
    for (Case c : {Case{false, Qt::Key_Return, true}, Case{true, Qt::Key_Return, true},
                   Case{false, Qt::Key_Escape, false}, Case{true, Qt::Key_Escape, false}}) {
        SCOPED_TRACE(testing::Message() << (c.byF2 ? "F2, " : "Rename, ") << c.endKey);
        StartWithBanners();
        Click("Bell");
        if (c.byF2)
            Press(Qt::Key_F2);
        else
            ChooseMenu(Main().mnuRename);
        auto* editor = qobject_cast<QLineEdit*>(Editor());
        ASSERT_NE(editor, nullptr);
        EXPECT_EQ(editor->text(), "Bell");
        TypeIntoEditor("Dove");
        Press(c.endKey);

        EXPECT_EQ(Editor(), nullptr);
        EXPECT_EQ(labelEdits_, c.renamed ? 1 : 0);
        EXPECT_EQ(folder_.Exists("Dove.bmp"), c.renamed);
        EXPECT_EQ(folder_.Exists("Bell.bmp"), !c.renamed);
        EXPECT_EQ(List().SelectedItem().Text(), c.renamed ? "Dove" : "Bell");
        TearDown();
        if (c.renamed) ::rename((folder_ / "Dove.bmp").c_str(), (folder_ / "Bell.bmp").c_str());
        labelEdits_ = 0;
        SetUp();
    }
}

TEST_F(MenusTest, DelInsideAnOpenEditEditsTheTextAndDeletesNothing) {
    StartWithBanners();
    Click("Bell");
    ChooseMenu(Main().mnuRename);
    auto* editor = qobject_cast<QLineEdit*>(Editor());
    ASSERT_NE(editor, nullptr);
    editor->setCursorPosition(0);
    Press(Qt::Key_Delete);

    EXPECT_TRUE(desktop.boxes.empty()) << "Del asked to delete the banner";
    EXPECT_TRUE(folder_.Exists("Bell.bmp"));
    ASSERT_EQ(Editor(), editor);
    EXPECT_EQ(editor->text(), "ell");
    EXPECT_EQ(labelEdits_, 0);

    // With the edit over, Del is File > Delete again.
    Press(Qt::Key_Escape);
    desktop.answers.push_back(vbYes);
    Press(Qt::Key_Delete);
    ASSERT_EQ(desktop.boxes.size(), 1u);
    EXPECT_EQ(desktop.boxes[0].prompt,
              "You are sure you wish to delete the banner named Bell.bmp?");
    EXPECT_FALSE(folder_.Exists("Bell.bmp"));
}

TEST_F(MenusTest, ExitEndsTheProgramWithoutAQuestion) {
    StartWithBanners();
    Click("Bell");
    ChooseMenu(Main().mnuExit);
    EXPECT_EQ(programEnded, 1);
    EXPECT_TRUE(desktop.boxes.empty());
    EXPECT_FALSE(IsFrmMainLoaded());
    EXPECT_FALSE(IsFrmPreviewLoaded());
    EXPECT_EQ(folder_.Names(), (std::vector<std::string>{"Anchor.bmp", "Bell.bmp", "Crown.bmp"}));
}

// ---- View ------------------------------------------------------------------------------------

TEST_F(MenusTest, PreviewBringsBackAClosedPreviewWindowOwnedByTheMainWindow) {
    StartWithBanners();
    frmPreview().close();  // the user's close box
    Flush();
    ASSERT_FALSE(IsFrmPreviewLoaded());
    Click("Crown");  // loads it again, hidden, with the picture
    EXPECT_FALSE(frmPreview().isVisible());

    ChooseMenu(Main().mnuPreview);
    EXPECT_TRUE(frmPreview().isVisible());
    EXPECT_TRUE(frmPreview().isWindow());
    EXPECT_EQ(frmPreview().parentWidget(), &Main());
    EXPECT_EQ(frmPreview().imgBanner->Picture(), BannerPicture(3));
    // Again while it is shown: nothing changes.
    ChooseMenu(Main().mnuPreview);
    EXPECT_TRUE(frmPreview().isVisible());
    EXPECT_TRUE(desktop.boxes.empty());
}

TEST_F(MenusTest, EachViewItemChecksOnlyItselfAndSwitchesTheListKeepingItsSelection) {
    StartWithBanners();
    Click("Crown");
    for (int mode : {3, 0, 0, 2, 1, 1, 3, 3}) {
        SCOPED_TRACE(mode);
        ChooseMenu(Main().mnuLView[size_t(mode)]);
        EXPECT_EQ(CheckedViewItems(), std::vector<int>{mode});
        EXPECT_EQ(List().View(), mode);
        auto* list = qobject_cast<QListView*>(View());
        auto* tree = qobject_cast<QTreeView*>(View());
        ASSERT_TRUE(mode == lvwReport ? tree != nullptr : list != nullptr);
        if (list) {
            EXPECT_EQ(list->viewMode(),
                      mode == lvwIcon ? QListView::IconMode : QListView::ListMode);
        }
        EXPECT_TRUE(View()->isVisible());
        EXPECT_TRUE(View()->hasFocus());
        EXPECT_NE(List().findChild<QListView*>()->isVisible(),
                  List().findChild<QTreeView*>()->isVisible());
        EXPECT_EQ(List().SelectedItem().Text(), "Crown");
        EXPECT_EQ(View()->currentIndex().data().toString(), "Crown");
    }
    // The keyboard goes on from the selected entry.
    Press(Qt::Key_Up);
    EXPECT_EQ(List().SelectedItem().Text(), "Bell");
}

TEST_F(MenusTest, ASwitchOfModeKeepsTheSelectedEntryInSight) {
    for (int i = 0; i < 1500; ++i) folder_.WriteBanner("Flag " + std::to_string(i) + ".bmp", i);
    StartWithBanners();
    auto inSight = [this](const QString& text) {
        Flush();
        for (int y = 0; y < View()->viewport()->height(); y += 4)
            for (int x = 0; x < View()->viewport()->width(); x += 16)
                if (View()->indexAt(QPoint(x, y)).data().toString() == text) return true;
        return false;
    };
    Click("Flag 700");
    for (int mode : {0, 1, 2, 3, 0, 2, 1}) {
        SCOPED_TRACE(mode);
        ChooseMenu(Main().mnuLView[size_t(mode)]);
        EXPECT_TRUE(inSight("Flag 700"));
    }
}

TEST_F(MenusTest, DetailsShowsOneColumnHeadedBanners3000TwipsWideWhoseHeaderIgnoresClicks) {
    StartWithBanners();
    Click("Bell");
    ChooseMenu(Main().mnuLView[3]);
    auto* tree = qobject_cast<QTreeView*>(View());
    ASSERT_NE(tree, nullptr);
    QHeaderView* header = tree->header();
    EXPECT_TRUE(header->isVisible());
    EXPECT_EQ(header->count(), 1);
    EXPECT_EQ(tree->model()->headerData(0, Qt::Horizontal).toString(), "Banners");
    EXPECT_EQ(header->sectionSize(0), 200);

    for (int i = 0; i < 2; ++i) {
        QTest::mouseClick(header->viewport(), Qt::LeftButton, Qt::NoModifier,
                          QPoint(100, header->height() / 2));
        Flush();
    }
    EXPECT_EQ(Texts(), (std::vector<QString>{"Anchor", "Bell", "Crown"}));
    EXPECT_FALSE(header->isSortIndicatorShown());
    EXPECT_EQ(List().SelectedItem().Text(), "Bell");
    EXPECT_EQ(header->sectionSize(0), 200);
}

// Where `picture` is painted pixel for pixel inside `area` of `shot`, if it is.
std::optional<QPoint> FindPicture(const QImage& shot, const QImage& picture, QRect area) {
    QImage s = shot.convertToFormat(QImage::Format_RGB32);
    QImage p = picture.convertToFormat(QImage::Format_RGB32);
    area &= s.rect();
    for (int y = area.top(); y + p.height() - 1 <= area.bottom(); ++y)
        for (int x = area.left(); x + p.width() - 1 <= area.right(); ++x) {
            bool same = true;
            for (int j = 0; j < p.height() && same; ++j)
                for (int i = 0; i < p.width() && same; ++i)
                    same = s.pixel(x + i, y + j) == p.pixel(i, j);
            if (same) return QPoint(x, y);
        }
    return std::nullopt;
}

TEST_F(MenusTest, EveryModeShowsEachBannerAtTwelveByEightPixelsSharpAndLaysOutItsEntries) {
    StartWithBanners();
    const int line = Main().fontMetrics().height();
    for (int mode : {0, 1, 2, 3, 1, 0, 2}) {
        SCOPED_TRACE(mode);
        ChooseMenu(Main().mnuLView[size_t(mode)]);
        QWidget* viewport = View()->viewport();
        QImage shot = viewport->grab().toImage();
        ASSERT_EQ(shot.devicePixelRatio(), 1.0);
        // The same on a screen of twice the density: each banner pixel a sharp 2 x 2 block.
        QImage dense(viewport->size() * 2, QImage::Format_RGB32);
        dense.setDevicePixelRatio(2);
        dense.fill(Qt::white);
        viewport->render(&dense);

        int seed = 1;
        for (QString text : {"Anchor", "Bell", "Crown"}) {
            SCOPED_TRACE(text.toStdString());
            QRect item = ItemRect(text);
            QImage banner = BannerPicture(seed++);
            std::optional<QPoint> at = FindPicture(shot, banner, item);
            ASSERT_TRUE(at.has_value()) << "the picture is not painted at 12 x 8, unsmoothed";
            EXPECT_EQ(FindPicture(dense, banner.scaled(24, 16),
                                  QRect(item.topLeft() * 2, item.size() * 2)),
                      std::optional<QPoint>(*at * 2))
                << "the picture is smoothed on a dense screen";
            QRect picture(*at, QSize(12, 8));
            if (mode == lvwIcon) {  // centred above the text
                EXPECT_NEAR(picture.center().x(), item.center().x(), 1);
                EXPECT_GE(item.bottom() - picture.bottom(), line);
            } else {  // beside the text, one line high
                EXPECT_LT(picture.left() - item.left(), 8);
                EXPECT_LT(item.height(), picture.height() + line);
                EXPECT_GT(item.width(), 3 * picture.width());
            }
        }
        QRect anchor = ItemRect("Anchor");
        QRect bell = ItemRect("Bell");
        if (mode == lvwIcon || mode == lvwSmallIcon) {  // side by side in rows
            EXPECT_EQ(bell.top(), anchor.top());
            EXPECT_GT(bell.left(), anchor.right());
        } else {  // one below the other, in columns
            EXPECT_EQ(bell.left(), anchor.left());
            EXPECT_GT(bell.top(), anchor.bottom() - 1);
        }
    }
}

TEST_F(MenusTest, AScanRenameOrDeleteKeepsTheModeAndEveryItemStaysUsable) {
    StartWithBanners();
    ChooseMenu(Main().mnuLView[3]);
    Press(Qt::Key_F5);
    EXPECT_EQ(List().View(), lvwReport);

    Click("Bell");
    Press(Qt::Key_F2);
    TypeIntoEditor("Dove");
    Press(Qt::Key_Return);
    EXPECT_TRUE(folder_.Exists("Dove.bmp"));
    EXPECT_EQ(List().View(), lvwReport);

    desktop.answers.push_back(vbYes);
    Press(Qt::Key_Delete);
    EXPECT_FALSE(folder_.Exists("Dove.bmp"));
    EXPECT_EQ(List().View(), lvwReport);
    EXPECT_EQ(CheckedViewItems(), std::vector<int>{3});
    EXPECT_TRUE(qobject_cast<QTreeView*>(View()));
    for (QMenu* menu : {Main().mnuFile, Main().mnuView}) {
        EXPECT_TRUE(menu->menuAction()->isEnabled() && menu->menuAction()->isVisible());
        for (QAction* item : menu->actions()) EXPECT_TRUE(item->isEnabled() && item->isVisible());
    }
}

// ---- The keyboard ----------------------------------------------------------------------------

TEST_F(MenusTest, TheMenusFromTheKeyboardLeaveAnEditOpenAndANewModeEndsItKeepingTheText) {
    StartWithBanners();
    Click("Bell");
    Press(Qt::Key_F2);
    TypeIntoEditor("Dove");
    QWidget* editor = Editor();
    ASSERT_NE(editor, nullptr);

    // Into the View menu and out again.
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_V, Qt::AltModifier);
    Flush();
    ASSERT_TRUE(Main().mnuView->isVisible());
    QTest::keyClick(Main().mnuView, Qt::Key_Escape);  // closes the menu
    Flush();
    EXPECT_EQ(QApplication::focusWidget(), Main().menuBar);
    Press(Qt::Key_Escape);  // leaves the menu bar
    EXPECT_EQ(Editor(), editor);
    EXPECT_EQ(QApplication::focusWidget(), editor);
    EXPECT_EQ(labelEdits_, 0);

    // A new mode ends the edit as a click elsewhere does; the keyboard stays on the list.
    ChooseMenu(Main().mnuLView[3]);
    EXPECT_EQ(Editor(), nullptr);
    EXPECT_EQ(labelEdits_, 1);
    EXPECT_TRUE(folder_.Exists("Dove.bmp"));
    EXPECT_EQ(QApplication::focusWidget(), View());
    Press(Qt::Key_F2);
    ASSERT_NE(Editor(), nullptr);
    EXPECT_EQ(qobject_cast<QLineEdit*>(Editor())->text(), "Dove");
}

TEST_F(MenusTest, TheMainWindowHasTheKeyboardBackWhenAModalDialogCloses) {
    StartWithBanners();
    // A modal dialog of the main window comes and goes, as the folder dialog and the
    // message boxes do, and nothing else hands the keyboard back.
    QDialog dialog(&Main());
    dialog.setWindowModality(Qt::ApplicationModal);
    dialog.show();
    QApplication::setActiveWindow(&dialog);
    Flush();
    QApplication::setActiveWindow(nullptr);
    dialog.hide();
    Flush();

    EXPECT_EQ(QApplication::activeWindow(), &Main());
    QTest::keyClick(&Main(), Qt::Key_V, Qt::AltModifier);
    Flush();
    EXPECT_TRUE(Main().mnuView->isVisible()) << "Alt+V did not open the View menu";
    QTest::keyClick(Main().mnuView, Qt::Key_Escape);
}

}  // namespace
}  // namespace talvane::test
