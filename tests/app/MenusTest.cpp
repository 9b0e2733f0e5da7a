// The File and View menus, their shortcuts, the four view modes and in-place editing from
// the keyboard, all driven through the real menu bar and real key presses.

#include "app/MenusFixture.h"

namespace talvane::test {
namespace {

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
