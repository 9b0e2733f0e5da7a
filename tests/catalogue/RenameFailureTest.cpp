// Every way a rename can fail without losing or moving a file: a name taken, a text that is
// not a single file name, a banner gone, no entry selected, and a file system with no rename
// that refuses to replace.

#include "catalogue/FileSystemObject.h"
#include "catalogue/RenameFixture.h"
#include "support/FaultFs.h"

namespace talvane::test {
namespace {

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
