// Listing a folder: which files are banners, what the list and status bar show, what a
// cancelled dialog or a failed scan leaves behind.

#include <sys/stat.h>
#include <unistd.h>
#include <QImage>

#include "app/platform/ListItemsModel.h"
#include "catalogue/MainModule.h"
#include "support/ProgramFixture.h"

namespace talvane::test {
namespace {

class ScanTest : public ProgramTest {};

TEST_F(ScanTest, OnlyFilesOf1174BytesNamedBmpInAnyCaseAreListed) {
    TempFolder folder;
    QByteArray banner = BannerBytes(1);
    folder.Write("Sky.BMP", banner);
    folder.Write("Mixed.Bmp", BannerBytes(2));
    folder.Write("lower.bmp", BannerBytes(3));
    folder.Write(".bmp", BannerBytes(4));
    folder.Write("Short.bmp", banner.left(1173));
    folder.Write("Long.bmp", banner + QByteArray(1, '\0'));
    folder.Write("Sky.gif", banner);
    folder.Write("bmp", banner);
    folder.Write("notes.txt", "hello");
    ::mkdir((folder / "x.bmp").c_str(), 0755);
    folder.Write("x.bmp/Inside.bmp", BannerBytes(5));  // sub-folders are not entered

    Start(folder.Path());

    EXPECT_EQ(Texts(), (std::vector<QString>{"", "lower", "Mixed", "Sky"}));
    EXPECT_EQ(KeyOf("Sky"), folder / "Sky.BMP");
    EXPECT_EQ(Panel(1), "Banners Loaded");
    EXPECT_EQ(Panel(2), "");
    EXPECT_EQ(Panel(3), "4 Banners");
}

TEST_F(ScanTest, EntriesAreKeyedByPathWithTheirPictureStoredUnderTheSameKey) {
    TempFolder folder;
    folder.WriteBanner("Sun.bmp", 7);
    Start(folder.Path());

    ListItem item = List().ListItems()(folder / "Sun.bmp");
    EXPECT_EQ(item.Text(), "Sun");
    EXPECT_EQ(item.Icon(), folder / "Sun.bmp");
    EXPECT_EQ(item.SmallIcon(), folder / "Sun.bmp");
    EXPECT_EQ(Main().ilsMain->ListImages()(folder / "Sun.bmp").Picture(), BannerPicture(7));
    EXPECT_EQ(List().Icons(), Main().ilsMain);
    EXPECT_EQ(List().SmallIcons(), Main().ilsMain);
    EXPECT_EQ(List().Tag(), folder.Path());
    EXPECT_EQ(Panel(3), "1 Banners");
}

TEST_F(ScanTest, AFolderWithoutBannersLeavesTheListEmptyAndUnbound) {
    TempFolder folder;
    folder.Write("readme.txt", "no banners here");
    Start(folder.Path());

    EXPECT_EQ(List().ListItems().Count(), 0);
    EXPECT_EQ(List().Icons(), nullptr);
    EXPECT_EQ(List().SmallIcons(), nullptr);
    EXPECT_EQ(Panel(1), "Banners Loaded");
    EXPECT_EQ(Panel(2), "");
    EXPECT_EQ(Panel(3), "0 Banners");
}

TEST_F(ScanTest, NamesSortNaturallyIgnoringCase) {
    TempFolder folder;
    for (const char* name :
         {"banner10.bmp", "Banner2.bmp", "banner1.bmp", "apple.bmp", "Zebra.bmp"})
        folder.WriteBanner(name, 1);
    Start(folder.Path());
    EXPECT_EQ(Texts(), (std::vector<QString>{"apple", "banner1", "Banner2", "banner10", "Zebra"}));
}

TEST_F(ScanTest, CancellingAtStartUpLeavesEverythingEmptyAndRefreshAsksAgain) {
    Start(std::nullopt);
    EXPECT_EQ(List().ListItems().Count(), 0);
    EXPECT_EQ(List().Tag(), "");
    EXPECT_EQ(Panel(1), "Ready");
    EXPECT_EQ(Panel(2), "");
    EXPECT_EQ(Panel(3), "");
    EXPECT_TRUE(Main().isVisible());
    EXPECT_TRUE(frmPreview().isVisible());
    ASSERT_EQ(desktop.folderTitles.size(), 1u);
    EXPECT_EQ(desktop.folderTitles[0], "Select a folder containing the banners to view.");
    EXPECT_EQ(desktop.folderOwners[0], &Main());

    TempFolder folder;
    folder.WriteBanner("One.bmp", 1);
    desktop.folders.push_back(folder.Path());
    LoadBanners(List().Tag());
    EXPECT_EQ(desktop.folderTitles.size(), 2u);
    EXPECT_EQ(Texts(), std::vector<QString>{"One"});
}

TEST_F(ScanTest, CancellingALaterBrowseKeepsListPicturesPreviewStatusAndFolder) {
    TempFolder folder;
    folder.WriteBanner("One.bmp", 1);
    folder.WriteBanner("Two.bmp", 2);
    Start(folder.Path());
    Click("Two");
    QImage shown = frmPreview().imgBanner->Picture();
    ASSERT_FALSE(shown.isNull());

    desktop.folders.push_back(std::nullopt);
    LoadBanners("");

    EXPECT_EQ(Texts(), (std::vector<QString>{"One", "Two"}));
    EXPECT_EQ(Main().ilsMain->ListImages().Count(), 2);
    EXPECT_EQ(frmPreview().imgBanner->Picture(), shown);
    EXPECT_EQ(Panel(2), QString::fromStdString(folder / "Two.bmp"));
    EXPECT_EQ(List().Tag(), folder.Path());
    EXPECT_EQ(List().Icons(), Main().ilsMain);
}

TEST_F(ScanTest, RefreshRebuildsTheListFromTheDiskAndClearsPreviewAndPath) {
    TempFolder folder;
    folder.WriteBanner("Gone.bmp", 1);
    folder.WriteBanner("Stays.bmp", 2);
    Start(folder.Path());
    Click("Stays");

    ::unlink((folder / "Gone.bmp").c_str());
    ::rename((folder / "Stays.bmp").c_str(), (folder / "Moved.bmp").c_str());
    folder.WriteBanner("New.bmp", 3);
    LoadBanners(List().Tag());

    EXPECT_EQ(Texts(), (std::vector<QString>{"Moved", "New"}));
    EXPECT_TRUE(frmPreview().imgBanner->Picture().isNull());
    EXPECT_EQ(Panel(2), "");
    EXPECT_EQ(Panel(3), "2 Banners");
    EXPECT_EQ(Main().ilsMain->ListImages().Count(), 2);  // the store starts afresh
}

TEST_F(ScanTest, ACorruptBannerStopsTheScanWithTheStateSoFarAndAMessage) {
    TempFolder folder;
    folder.WriteBanner("Good.bmp", 1);
    QByteArray broken(1174, 'x');
    folder.Write("Broken.bmp", broken);
    Start(folder.Path());

    // Which banners came before the broken one depends on the folder's order; whatever was
    // listed has its picture, and the status shows the scan did not finish.
    int listed = List().ListItems().Count();
    EXPECT_LE(listed, 1);
    EXPECT_EQ(Main().ilsMain->ListImages().Count(), listed);
    EXPECT_EQ(List().Icons() != nullptr, listed == 1);
    EXPECT_EQ(Panel(1), "Loading Banners");
    EXPECT_EQ(Panel(2), "");
    EXPECT_EQ(Panel(3), "");
    EXPECT_EQ(List().Tag(), folder.Path());
    ASSERT_EQ(desktop.boxes.size(), 1u);
    EXPECT_TRUE(desktop.boxes[0].prompt.startsWith("Error loading banners: Invalid picture"));
    EXPECT_TRUE(desktop.boxes[0].prompt.contains(QString::fromStdString(folder / "Broken.bmp")));
    EXPECT_EQ(desktop.boxes[0].style, vbOKOnly | vbCritical);
    EXPECT_EQ(desktop.boxes[0].title, "Talvane");
    EXPECT_EQ(folder.Read("Broken.bmp"), broken);
    EXPECT_EQ(folder.Read("Good.bmp"), BannerBytes(1));
}

TEST_F(ScanTest, RefreshOfAFolderThatWasRemovedReportsItAndKeepsThePartialState) {
    TempFolder parent;
    std::string gone = parent / "banners";
    ::mkdir(gone.c_str(), 0755);
    Start(gone);
    ::rmdir(gone.c_str());
    Main().mnuRefresh->trigger();

    ASSERT_EQ(desktop.boxes.size(), 1u);
    EXPECT_EQ(
        desktop.boxes[0].prompt,
        QString("Error loading banners: Path not found: \"%1\"").arg(QString::fromStdString(gone)));
    EXPECT_EQ(Panel(1), "Loading Banners");
    EXPECT_EQ(Panel(3), "0 Banners");
    EXPECT_EQ(List().Tag(), gone);
    EXPECT_TRUE(Main().isVisible());
}

TEST_F(ScanTest, SpecialFilesAndLinksNamedBmpAreHandledWithoutHanging) {
    TempFolder folder;
    folder.WriteBanner("Real.bmp", 1);
    ::mkfifo((folder / "Pipe.bmp").c_str(), 0644);
    ASSERT_EQ(::symlink((folder / "Real.bmp").c_str(), (folder / "Link.bmp").c_str()), 0);
    ASSERT_EQ(::symlink((folder / "missing").c_str(), (folder / "Dangling.bmp").c_str()), 0);
    Start(folder.Path());
    EXPECT_EQ(Texts(), (std::vector<QString>{"Link", "Real"}));
}

TEST_F(ScanTest, NamesThatAreNotUtf8AreListedAndKeyedByTheirBytes) {
    TempFolder folder;
    std::string name = "Caf\xE9.bmp";  // Latin-1 bytes
    folder.WriteBanner(name, 3);
    Start(folder.Path());
    ASSERT_EQ(List().ListItems().Count(), 1);
    ListItem item = List().ListItems()(folder / name);
    EXPECT_EQ(item.Key(), folder / name);
    Click(item.Text());
    EXPECT_EQ(frmPreview().imgBanner->Picture(), BannerPicture(3));
}

TEST_F(ScanTest, ShowPreviewEmptiesThePreviewForAnEmptyOrUnknownKey) {
    TempFolder folder;
    folder.WriteBanner("Sun.bmp", 1);
    Start(folder.Path());
    ShowPreview(folder / "Sun.bmp");
    EXPECT_FALSE(frmPreview().imgBanner->Picture().isNull());
    ShowPreview("/never/scanned.bmp");
    EXPECT_TRUE(frmPreview().imgBanner->Picture().isNull());
    ShowPreview(folder / "Sun.bmp");
    ShowPreview("");
    EXPECT_TRUE(frmPreview().imgBanner->Picture().isNull());
}

TEST_F(ScanTest, APictureOfARemovedEntryStaysInTheStoreUntilTheNextScan) {
    TempFolder folder;
    folder.WriteBanner("Sun.bmp", 1);
    Start(folder.Path());
    RemoveBanner(folder / "Sun.bmp");
    EXPECT_EQ(Main().ilsMain->ListImages().Count(), 1);
    EXPECT_EQ(Panel(3), "0 Banners");
    LoadBanners(List().Tag());
    EXPECT_EQ(Main().ilsMain->ListImages().Count(), 1);
    EXPECT_EQ(List().ListItems().Count(), 1);
}

}  // namespace
}  // namespace talvane::test
