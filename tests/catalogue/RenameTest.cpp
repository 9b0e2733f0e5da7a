// Renaming a banner by editing its text in place: the file on disk, the entry, its picture,
// and every way a rename can fail without losing or moving a file.

#include <sys/stat.h>
#include <unistd.h>
#include <QAbstractItemView>
#include <QTest>

#include "app/platform/ListItemsModel.h"
#include "app/platform/RuntimeError.h"
#include "catalogue/FileSystemObject.h"
#include "catalogue/MainModule.h"
#include "support/FaultFs.h"
#include "support/ProgramFixture.h"

namespace talvane::test {
namespace {

class RenameTest : public ProgramTest {
protected:
    void SetUp() override {
        ProgramTest::SetUp();
        folder.WriteBanner("Sun.bmp", 1);
        folder.WriteBanner("Moon.bmp", 2);
        folder.WriteBanner("Star.BMP", 3);
    }

    // Edits `from` through File > Rename and ends the edit with Return.
    void Rename(const QString& from, const QString& to) {
        Click(from);
        ChooseMenu(Main().mnuRename);
        ASSERT_NE(Editor(), nullptr) << "File > Rename opened no editor";
        TypeIntoEditor(to);
        Press(Qt::Key_Return);
    }

    // Every file of the folder with its bytes.
    std::map<std::string, QByteArray> Disk() {
        std::map<std::string, QByteArray> disk;
        for (const std::string& name : folder.Names()) disk[name] = folder.Read(name);
        return disk;
    }

    ino_t Inode(const std::string& name) {
        struct stat st {};
        ::lstat((folder / name).c_str(), &st);
        return st.st_ino;
    }

    TempFolder folder;
};

TEST_F(RenameTest, RenamingMovesTheFileAndReKeysEntryAndPicture) {
    Start(folder.Path());
    Rename("Sun", "Sunrise");

    EXPECT_TRUE(desktop.boxes.empty());
    EXPECT_FALSE(folder.Exists("Sun.bmp"));
    EXPECT_EQ(folder.Read("Sunrise.bmp"), BannerBytes(1));
    const std::string key = folder / "Sunrise.bmp";
    ListItem item = List().ListItems()(key);
    EXPECT_EQ(item.Text(), "Sunrise");
    EXPECT_EQ(item.Icon(), key);
    EXPECT_EQ(item.SmallIcon(), key);
    EXPECT_NO_THROW(Main().ilsMain->ListImages()(key));
    EXPECT_THROW(Main().ilsMain->ListImages()(folder / "Sun.bmp"), RuntimeError);
    // The path shown is the one clicked, until the entry is clicked again.
    EXPECT_EQ(Panel(2), QString::fromStdString(folder / "Sun.bmp"));
    EXPECT_EQ(Texts(), (std::vector<QString>{"Moon", "Star", "Sunrise"}));

    Click("Sunrise");
    EXPECT_EQ(frmPreview().imgBanner->Picture(), BannerPicture(1));
    EXPECT_EQ(Panel(2), QString::fromStdString(key));
}

TEST_F(RenameTest, F2AndAClickElsewhereEndTheEditLikeReturn) {
    Start(folder.Path());
    Click("Moon");
    Press(Qt::Key_F2);
    ASSERT_NE(Editor(), nullptr);
    TypeIntoEditor("Crescent");
    Click("Star");
    EXPECT_EQ(folder.Read("Crescent.bmp"), BannerBytes(2));
    EXPECT_FALSE(folder.Exists("Moon.bmp"));
    EXPECT_TRUE(desktop.boxes.empty());
}

TEST_F(RenameTest, EscapeAbandonsTheEdit) {
    Start(folder.Path());
    auto before = Disk();
    Click("Moon");
    Press(Qt::Key_F2);
    TypeIntoEditor("Crescent");
    Press(Qt::Key_Escape);
    EXPECT_EQ(Editor(), nullptr);
    EXPECT_EQ(Disk(), before);
    EXPECT_EQ(Texts(), (std::vector<QString>{"Moon", "Star", "Sun"}));
}

TEST_F(RenameTest, AnUnchangedTextRenamesOnlyAnUpperCaseExtension) {
    Start(folder.Path());
    ino_t sun = Inode("Sun.bmp");
    Rename("Sun", "Sun");
    EXPECT_EQ(Inode("Sun.bmp"), sun);
    EXPECT_EQ(List().ListItems()(folder / "Sun.bmp").Text(), "Sun");

    Rename("Star", "Star");
    EXPECT_FALSE(folder.Exists("Star.BMP"));
    EXPECT_EQ(folder.Read("Star.bmp"), BannerBytes(3));
    EXPECT_EQ(List().ListItems()(folder / "Star.bmp").Text(), "Star");
    EXPECT_TRUE(desktop.boxes.empty());
}

TEST_F(RenameTest, TheNameOfAnotherFileIsRefusedAndBothFilesStayIntact) {
    folder.Write("Taken.bmp", "not a banner, but someone's file");
    Start(folder.Path());
    // Other links to the same file, made by another program: a name taken all the same.
    ASSERT_EQ(::link((folder / "Sun.bmp").c_str(), (folder / "Link.bmp").c_str()), 0);
    ASSERT_EQ(::link((folder / "Sun.bmp").c_str(), (folder / "SUN.bmp").c_str()), 0);
    auto before = Disk();
    Rename("Sun", "Moon");
    Rename("Sun", "Taken");
    Rename("Sun", "Link");
    Rename("Sun", "SUN");

    EXPECT_EQ(Disk(), before);
    ASSERT_EQ(desktop.boxes.size(), 4u);
    for (const auto& box : desktop.boxes)
        EXPECT_TRUE(box.prompt.startsWith("Error renaming file: File already exists"));
    EXPECT_EQ(desktop.boxes[0].prompt, QString("Error renaming file: File already exists: \"%1\"")
                                           .arg(QString::fromStdString(folder / "Moon.bmp")));
    EXPECT_EQ(desktop.boxes[0].style, vbOKOnly | vbCritical);
    EXPECT_EQ(desktop.boxes[0].title, "Talvane");
    EXPECT_EQ(Texts(), (std::vector<QString>{"Moon", "Star", "Sun"}));
    EXPECT_EQ(List().ListItems()(folder / "Sun.bmp").Text(), "Sun");
}

TEST_F(RenameTest, TextsThatAreNotASingleFileNameAreRefusedAndNothingMoves) {
    ::mkdir((folder / "sub").c_str(), 0755);
    Start(folder.Path());
    auto before = Disk();
    const QString refused[] = {"sub/Sun", "../Sun", "a/b", QString(300, QChar('x')),
                               QString("nul") + QChar(0) + "x"};
    for (const QString& text : refused) {
        SCOPED_TRACE(text.left(20).toStdString());
        desktop.boxes.clear();
        Rename("Sun", text);
        ASSERT_EQ(desktop.boxes.size(), 1u);
        EXPECT_TRUE(desktop.boxes[0].prompt.startsWith("Error renaming file: Bad file name"));
        EXPECT_EQ(Disk(), before);
        EXPECT_TRUE(TempFolder().Names().empty());
        EXPECT_EQ(Texts(), (std::vector<QString>{"Moon", "Star", "Sun"}));
    }
}

TEST_F(RenameTest, AnEmptyTextGivesTheFileTheNameDotBmp) {
    Start(folder.Path());
    Rename("Moon", "");
    EXPECT_EQ(folder.Read(".bmp"), BannerBytes(2));
    EXPECT_EQ(List().ListItems()(folder / ".bmp").Text(), "");
    EXPECT_TRUE(desktop.boxes.empty());
}

TEST_F(RenameTest, ABannerDeletedOutsideIsReportedAndTakenOutOfTheList) {
    Start(folder.Path());
    Click("Moon");
    ::unlink((folder / "Moon.bmp").c_str());
    Rename("Moon", "Crescent");
    ASSERT_EQ(desktop.boxes.size(), 1u);
    EXPECT_EQ(desktop.boxes[0].prompt, QString("Error renaming file: File not found: \"%1\"")
                                           .arg(QString::fromStdString(folder / "Moon.bmp")));
    EXPECT_EQ(Texts(), (std::vector<QString>{"Star", "Sun"}));
    EXPECT_TRUE(frmPreview().imgBanner->Picture().isNull());
    EXPECT_EQ(Panel(3), "2 Banners");
    EXPECT_FALSE(folder.Exists("Crescent.bmp"));
}

TEST_F(RenameTest, AnEditEndingWithNoEntrySelectedIsRejectedSilently) {
    Start(folder.Path());
    List().SetSelectedItem(ListItem());
    int16_t cancel = 0;
    Main().lvwBanners_AfterLabelEdit(cancel, "Anything");
    EXPECT_EQ(cancel, 1);
    EXPECT_TRUE(desktop.boxes.empty());
    EXPECT_EQ(folder.Names().size(), 3u);
}

TEST_F(RenameTest, ANameThatIsNotUtf8SurvivesAnUnchangedEditAndRenamesByteExact) {
    const std::string latin = "Caf\xE9.bmp";
    folder.WriteBanner(latin, 5);
    Start(folder.Path());
    QString shown = List().ListItems()(folder / latin).Text();
    Rename(shown, shown);
    EXPECT_EQ(folder.Read(latin), BannerBytes(5));
    Rename(shown, QString::fromUtf8("Caf\xC3\xA9"));
    EXPECT_FALSE(folder.Exists(latin));
    EXPECT_EQ(folder.Read("Caf\xC3\xA9.bmp"), BannerBytes(5));
    EXPECT_TRUE(desktop.boxes.empty());
}

TEST_F(RenameTest, APartialEditOfANameThatIsNotUtf8KeepsTheBytesItLeaves) {
    folder.WriteBanner("caf\xE9.bmp", 5);
    folder.WriteBanner("\xE9t\xE8.bmp", 6);
    Start(folder.Path());
    const QString mark(QChar::ReplacementCharacter);
    // End, then " x": the unedited byte stays as it was on disk.
    Click("caf" + mark);
    Press(Qt::Key_F2);
    ASSERT_NE(Editor(), nullptr);
    Press(Qt::Key_End);
    QTest::keyClicks(Editor(), " x");
    Press(Qt::Key_Return);
    EXPECT_EQ(folder.Read("caf\xE9 x.bmp"), BannerBytes(5));
    // Between two such bytes, each keeps its own; what is shown is still the mark.
    Click(mark + "t" + mark);
    Press(Qt::Key_F2);
    Press(Qt::Key_Home);
    Press(Qt::Key_Right);
    QTest::keyClicks(Editor(), "X");
    Press(Qt::Key_Return);
    EXPECT_EQ(folder.Read("\xE9Xt\xE8.bmp"), BannerBytes(6));
    Click(mark + "Xt" + mark);
    EXPECT_EQ(Panel(2), QString::fromStdString(folder.Path()) + "/" + mark + "Xt" + mark + ".bmp");
    EXPECT_TRUE(desktop.boxes.empty());
}

TEST_F(RenameTest, ARenamedEntryStaysSelectedAndInSightWhereverItSorts) {
    for (int i = 0; i < 400; ++i) folder.WriteBanner("Nebula " + std::to_string(i) + ".bmp", i);
    Start(folder.Path());
    for (const char* to : {"Zenith", "Aurora"}) {
        SCOPED_TRACE(to);
        Rename(QString(to) == "Zenith" ? "Moon" : "Zenith", to);
        Flush();
        ASSERT_EQ(List().SelectedItem().Text(), to);
        const QRect shown = View()->visualRect(View()->currentIndex());
        EXPECT_EQ(View()->currentIndex().data().toString(), to);
        EXPECT_TRUE(View()->viewport()->rect().contains(shown.center())) << shown.y();
    }
}

TEST_F(RenameTest, ANameFreedByADeletionHereOrOutsideTakesTheRenameWithItsOwnPicture) {
    folder.WriteBanner("Sky.bmp", 4);
    Start(folder.Path());
    // Deleted here: the removed entry's picture is still in the store under that path.
    Click("Moon");
    desktop.answers = {vbYes};
    Press(Qt::Key_Delete);
    Rename("Sun", "Moon");
    // Deleted outside: the list still shows an entry for it.
    ::unlink((folder / "Sky.bmp").c_str());
    Rename("Star", "Sky");

    ASSERT_EQ(desktop.boxes.size(), 1u)
        << "only the question: " << desktop.boxes.back().prompt.toStdString();
    EXPECT_EQ(folder.Names(), (std::vector<std::string>{"Moon.bmp", "Sky.bmp"}));
    EXPECT_EQ(folder.Read("Moon.bmp"), BannerBytes(1));
    EXPECT_EQ(folder.Read("Sky.bmp"), BannerBytes(3));
    EXPECT_EQ(Texts(), (std::vector<QString>{"Moon", "Sky"}));
    EXPECT_EQ(Panel(3), "2 Banners");
    Click("Moon");
    EXPECT_EQ(frmPreview().imgBanner->Picture(), BannerPicture(1));
    Click("Sky");
    EXPECT_EQ(frmPreview().imgBanner->Picture(), BannerPicture(3));

    // Deleting what the list now calls Moon deletes the file shown as Moon, and only that.
    Click("Moon");
    desktop.answers = {vbYes};
    Press(Qt::Key_Delete);
    EXPECT_EQ(folder.Names(), std::vector<std::string>{"Sky.bmp"});
    EXPECT_EQ(folder.Read("Sky.bmp"), BannerBytes(3));
}

TEST_F(RenameTest, RenamingKeepsTheViewMode) {
    Start(folder.Path());
    ChooseMenu(Main().mnuLView[3]);
    Rename("Sun", "Sol");
    EXPECT_EQ(List().View(), lvwReport);
    EXPECT_TRUE(folder.Exists("Sol.bmp"));
}

// On a file system with no rename that refuses to replace, as exFAT's FUSE driver: the
// rename goes by a hard link, or by a placeholder where there are none.
class RenameWithoutNoReplaceTest : public RenameTest {
protected:
    void TearDown() override {
        SetRenameStepHook(nullptr);
        RenameTest::TearDown();
    }
    FaultFs fs;
};

std::function<void()> gBetweenSteps;

TEST_F(RenameWithoutNoReplaceTest, AFileSavedUnderTheNewNameAfterItIsLinkedIsNotLostNorOurs) {
    MOUNT_FAULT_FS_OR_SKIP(fs);
    fs.Root().WriteBanner("Sun.bmp", 1);
    Start(fs.Folder());
    // Another program saves New.bmp the usual safe way just after the rename linked it.
    gBetweenSteps = [&] {
        fs.Root().Write(".New.tmp", "theirs");
        ::rename((fs.Folder() + "/.New.tmp").c_str(), (fs.Folder() + "/New.bmp").c_str());
    };
    SetRenameStepHook([](RenameStep step) {
        if (step == RenameStep::Linked) gBetweenSteps();
    });
    Rename("Sun", "New");
    ASSERT_EQ(desktop.boxes.size(), 1u);
    EXPECT_EQ(desktop.boxes[0].prompt, QString("Error renaming file: File already exists: \"%1\"")
                                           .arg(QString::fromStdString(fs.Folder() + "/New.bmp")));
    EXPECT_EQ(fs.Root().Read("New.bmp"), "theirs");
    EXPECT_EQ(fs.Root().Read("Sun.bmp"), BannerBytes(1));
    EXPECT_EQ(Texts(), std::vector<QString>{"Sun"});
}

TEST_F(RenameWithoutNoReplaceTest, ACleanUpThatFailsTooSaysWhatItLeftOnDisk) {
    MOUNT_FAULT_FS_OR_SKIP(fs);
    fs.Root().WriteBanner("Sun.bmp", 1);
    fs.Root().WriteBanner("Moon.bmp", 2);
    Start(fs.Folder());
    // The old name cannot be unlinked, nor then the new link.
    fs.SetRules("unlink * fail EIO\n");
    Rename("Sun", "New");
    // No hard links; the rename onto the placeholder fails, and so does taking it away.
    fs.SetRules("link * fail EPERM\nrename * fail EIO\nunlink * fail EIO\n");
    Rename("Moon", "Other");
    fs.SetRules("");

    ASSERT_EQ(desktop.boxes.size(), 2u);
    const QString folder = QString::fromStdString(fs.Folder());
    EXPECT_EQ(desktop.boxes[0].prompt,
              QString("Error renaming file: Device I/O error (the file is left as both "
                      "\"Sun.bmp\" and \"New.bmp\"): \"%1/Sun.bmp\"")
                  .arg(folder));
    EXPECT_EQ(desktop.boxes[1].prompt,
              QString("Error renaming file: Device I/O error (an empty file is left as "
                      "\"Other.bmp\"): \"%1/Moon.bmp\"")
                  .arg(folder));
    EXPECT_EQ(fs.Root().Names(),
              (std::vector<std::string>{"Moon.bmp", "New.bmp", "Other.bmp", "Sun.bmp"}));
    EXPECT_EQ(fs.Root().Read("New.bmp"), BannerBytes(1));
    EXPECT_EQ(fs.Root().Read("Other.bmp"), "");
    EXPECT_EQ(Texts(), (std::vector<QString>{"Moon", "Sun"}));
}

}  // namespace
}  // namespace talvane::test
