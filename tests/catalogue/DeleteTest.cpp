// File > Delete and the Del key: the question, the deletion, and what each failure leaves.

#include <sys/stat.h>
#include <unistd.h>
#include <QMenu>
#include <QMenuBar>
#include <QTest>

#include "catalogue/MainModule.h"
#include "support/ProgramFixture.h"

namespace talvane::test {
namespace {

class DeleteTest : public ProgramTest {
protected:
    // A folder of three banners, listed, with `selected` clicked.
    void StartWith(const QString& selected) {
        folder.WriteBanner("Moon.bmp", 1);
        folder.WriteBanner("Sun.BMP", 2);
        folder.WriteBanner("Star.bmp", 3);
        Start(folder.Path());
        if (!selected.isEmpty()) Click(selected);
    }

    TempFolder folder;
};

TEST_F(DeleteTest, WithNoEntrySelectedNothingIsAsked) {
    StartWith("");
    List().SetSelectedItem(ListItem());
    Press(Qt::Key_Delete);
    ChooseMenu(Main().mnuDelete);
    EXPECT_TRUE(desktop.boxes.empty());
    EXPECT_EQ(folder.Names().size(), 3u);
}

TEST_F(DeleteTest, TheQuestionNamesTheBannerWithALowerCaseExtension) {
    StartWith("Sun");
    desktop.answers = {vbNo};
    Press(Qt::Key_Delete);
    ASSERT_EQ(desktop.boxes.size(), 1u);
    EXPECT_EQ(desktop.boxes[0].prompt, "You are sure you wish to delete the banner named Sun.bmp?");
    EXPECT_EQ(desktop.boxes[0].style, vbYesNo | vbQuestion | vbDefaultButton1);
    EXPECT_EQ(desktop.boxes[0].title, "Confirm Deletion");
}

TEST_F(DeleteTest, AnsweringNoChangesNothing) {
    StartWith("Moon");
    QImage preview = frmPreview().imgBanner->Picture();
    desktop.answers = {vbNo};
    ChooseMenu(Main().mnuDelete);
    EXPECT_EQ(desktop.boxes.size(), 1u);
    EXPECT_EQ(folder.Read("Moon.bmp"), BannerBytes(1));
    EXPECT_EQ(Texts(), (std::vector<QString>{"Moon", "Star", "Sun"}));
    EXPECT_EQ(frmPreview().imgBanner->Picture(), preview);
    EXPECT_EQ(Panel(2), QString::fromStdString(folder / "Moon.bmp"));
    EXPECT_EQ(Panel(3), "3 Banners");
}

TEST_F(DeleteTest, AnsweringYesDeletesTheFileAndTheEntryDownToNone) {
    StartWith("Moon");
    const std::string moon = folder / "Moon.bmp";
    desktop.answers = {vbYes};
    Press(Qt::Key_Delete);
    EXPECT_FALSE(folder.Exists("Moon.bmp"));
    EXPECT_EQ(Texts(), (std::vector<QString>{"Star", "Sun"}));
    EXPECT_TRUE(frmPreview().imgBanner->Picture().isNull());
    EXPECT_EQ(Panel(3), "2 Banners");
    // The path of the banner last clicked stays, and so does its picture in the store.
    EXPECT_EQ(Panel(2), QString::fromStdString(moon));
    EXPECT_NO_THROW(Main().ilsMain->ListImages()(moon));
    EXPECT_EQ(List().View(), lvwSmallIcon);

    for (const char* text : {"Star", "Sun"}) {
        Click(text);
        desktop.answers = {vbYes};
        ChooseMenu(Main().mnuDelete);
    }
    EXPECT_EQ(Panel(3), "0 Banners");
    EXPECT_TRUE(folder.Names().empty());
    EXPECT_EQ(desktop.boxes.size(), 3u);  // the three questions, no error
}

TEST_F(DeleteTest, TheNextEntryOrThePreviousAtTheEndIsSelectedSoDelGoesOn) {
    folder.WriteBanner("Comet.bmp", 4);
    StartWith("Moon");  // Comet, Moon, Star, Sun
    const QString clicked = Panel(2);
    for (const char* next : {"Star", "Sun", "Comet"}) {
        SCOPED_TRACE(next);
        desktop.answers = {vbYes};
        Press(Qt::Key_Delete);
        EXPECT_EQ(List().SelectedItem().Text(), next);
        EXPECT_EQ(View()->currentIndex().data().toString(), next);
        // The list's own choice is no click: nothing is previewed, panel 2 stays.
        EXPECT_TRUE(frmPreview().imgBanner->Picture().isNull());
        EXPECT_EQ(Panel(2), clicked);
    }
    desktop.answers = {vbYes};
    Press(Qt::Key_Delete);
    EXPECT_TRUE(List().SelectedItem().IsNothing());
    EXPECT_EQ(desktop.boxes.size(), 4u);
    EXPECT_TRUE(folder.Names().empty());
}

TEST_F(DeleteTest, ABannerAlreadyDeletedOutsideIsReportedAndTakenOutOfTheList) {
    StartWith("Star");
    ::unlink((folder / "Star.bmp").c_str());
    desktop.answers = {vbYes};
    Press(Qt::Key_Delete);
    ASSERT_EQ(desktop.boxes.size(), 2u);
    EXPECT_EQ(desktop.boxes[1].prompt, QString("Error deleting file: File not found: \"%1\"")
                                           .arg(QString::fromStdString(folder / "Star.bmp")));
    EXPECT_EQ(desktop.boxes[1].style, vbOKOnly | vbCritical);
    EXPECT_EQ(desktop.boxes[1].title, "Talvane");
    // No window is active the moment the question closes; the error still comes up over
    // the main window.
    EXPECT_EQ(desktop.boxes[0].owner, &Main());
    EXPECT_EQ(desktop.boxes[1].owner, &Main());
    EXPECT_EQ(Texts(), (std::vector<QString>{"Moon", "Sun"}));
    EXPECT_TRUE(frmPreview().imgBanner->Picture().isNull());
    EXPECT_EQ(Panel(3), "2 Banners");
}

TEST_F(DeleteTest, AReadOnlyBannerIsNeverDeletedWhoeverRunsTheProgram) {
    StartWith("Moon");
    ::chmod((folder / "Moon.bmp").c_str(), 0444);
    desktop.answers = {vbYes};
    Press(Qt::Key_Delete);
    ASSERT_EQ(desktop.boxes.size(), 2u);
    EXPECT_TRUE(desktop.boxes[1].prompt.startsWith(
        "Error deleting file: Path/File access error (the file is read-only)"));
    EXPECT_EQ(folder.Read("Moon.bmp"), BannerBytes(1));
    EXPECT_EQ(Texts(), (std::vector<QString>{"Moon", "Star", "Sun"}));
    EXPECT_EQ(Panel(3), "3 Banners");
}

TEST_F(DeleteTest, ABannerThatIsALinkIsDeletedAsTheLinkAndItsTargetStays) {
    TempFolder elsewhere;
    elsewhere.WriteBanner("Target.bmp", 9);
    ASSERT_EQ(::symlink((elsewhere / "Target.bmp").c_str(), (folder / "Link.bmp").c_str()), 0);
    StartWith("Link");
    desktop.answers = {vbYes};
    Press(Qt::Key_Delete);
    EXPECT_FALSE(folder.Exists("Link.bmp"));
    EXPECT_EQ(elsewhere.Read("Target.bmp"), BannerBytes(9));
    EXPECT_EQ(Panel(3), "3 Banners");
}

TEST_F(DeleteTest, DeleteChosenWithTheMouseDuringAnEditActsOnTheBannerAsTheEditLeftIt) {
    StartWith("Sun");
    Press(Qt::Key_F2);
    TypeIntoEditor("Sunset");
    // The mouse opens File and clicks Delete; the edit is still open when the command starts.
    QMenuBar* bar = Main().menuBar;
    QTest::mouseClick(bar, Qt::LeftButton, Qt::NoModifier,
                      bar->actionGeometry(Main().mnuFile->menuAction()).center());
    Flush();
    ASSERT_TRUE(Main().mnuFile->isVisible());
    ASSERT_NE(Editor(), nullptr);
    desktop.answers = {vbYes};
    QTest::mouseClick(Main().mnuFile, Qt::LeftButton, Qt::NoModifier,
                      Main().mnuFile->actionGeometry(Main().mnuDelete).center());
    Flush();

    ASSERT_EQ(desktop.boxes.size(), 1u) << desktop.boxes.back().prompt.toStdString();
    EXPECT_EQ(desktop.boxes[0].prompt,
              "You are sure you wish to delete the banner named Sunset.bmp?");
    EXPECT_EQ(folder.Names(), (std::vector<std::string>{"Moon.bmp", "Star.bmp"}));
    EXPECT_EQ(Texts(), (std::vector<QString>{"Moon", "Star"}));
    EXPECT_EQ(Panel(3), "2 Banners");
}

TEST_F(DeleteTest, DeleteDuringAnEditOfABannerGoneMeanwhileAsksAboutNoOtherBanner) {
    StartWith("Moon");
    Press(Qt::Key_F2);
    TypeIntoEditor("Moonrise");
    ::unlink((folder / "Moon.bmp").c_str());
    desktop.answers = {vbOK, vbYes};
    ChooseMenu(Main().mnuDelete);  // the edit ends first: its rename finds no file
    ASSERT_EQ(desktop.boxes.size(), 1u) << desktop.boxes.back().prompt.toStdString();
    EXPECT_TRUE(desktop.boxes[0].prompt.startsWith("Error renaming file: File not found"));
    EXPECT_EQ(folder.Names(), (std::vector<std::string>{"Star.bmp", "Sun.BMP"}));
}

TEST_F(DeleteTest, RefreshAfterADeletionShowsTheSameList) {
    StartWith("Sun");
    desktop.answers = {vbYes};
    Press(Qt::Key_Delete);
    std::vector<QString> after = Texts();
    Press(Qt::Key_F5);
    EXPECT_EQ(Texts(), after);
    EXPECT_EQ(Panel(3), "2 Banners");
}

}  // namespace
}  // namespace talvane::test
