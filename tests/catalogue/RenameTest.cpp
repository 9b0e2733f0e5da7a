// Renaming a banner by editing its text in place: the file on disk, the entry, its picture,
// the selection and the view, for every text that names a single file.

#include "catalogue/RenameFixture.h"

namespace talvane::test {
namespace {

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

TEST_F(RenameTest, AnEmptyTextGivesTheFileTheNameDotBmp) {
    Start(folder.Path());
    Rename("Moon", "");
    EXPECT_EQ(folder.Read(".bmp"), BannerBytes(2));
    EXPECT_EQ(List().ListItems()(folder / ".bmp").Text(), "");
    EXPECT_TRUE(desktop.boxes.empty());
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

}  // namespace
}  // namespace talvane::test
