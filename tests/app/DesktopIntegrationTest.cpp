// How the program meets the desktop: a folder on the command line or dropped on the window.

#include <sys/stat.h>

#include <QAbstractItemView>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QUrl>
#include <filesystem>

#include "app/CommandLine.h"
#include "app/platform/MsgBox.h"
#include "catalogue/MainModule.h"
#include "support/ProgramFixture.h"

namespace talvane::test {
namespace {

class CommandLineFolderTest : public ProgramTest {
protected:
    void StartWith(const std::string& folder) {
        RunReportingScanFailure([&] { talvane::Main(folder); });
        Flush();
        ActivateMain();
    }
};

TEST_F(CommandLineFolderTest, TheFolderIsListedWithoutAskingAndBothWindowsComeUp) {
    TempFolder folder;
    folder.WriteBanner("Sun.bmp", 1);
    folder.WriteBanner("Moon.BMP", 2);
    StartWith(folder.Path());
    EXPECT_TRUE(desktop.folderTitles.empty());
    EXPECT_TRUE(Main().isVisible());
    EXPECT_TRUE(frmPreview().isVisible());
    EXPECT_EQ(Texts(), (std::vector<QString>{"Moon", "Sun"}));
    EXPECT_EQ(Panel(1), "Banners Loaded");
    EXPECT_EQ(Panel(3), "2 Banners");
    EXPECT_EQ(List().Tag(), folder.Path());
}

TEST_F(CommandLineFolderTest, AFolderThatCannotBeOpenedIsReportedAndRememberedForRefresh) {
    TempFolder parent;
    const std::string missing = parent / "later";
    StartWith(missing);
    ASSERT_EQ(desktop.boxes.size(), 1u);
    EXPECT_TRUE(desktop.boxes[0].prompt.startsWith("Error loading banners: "))
        << desktop.boxes[0].prompt.toStdString();
    EXPECT_EQ(desktop.boxes[0].style, vbOKOnly | vbCritical);
    EXPECT_TRUE(Main().isVisible());
    EXPECT_TRUE(Texts().empty());
    EXPECT_EQ(Panel(1), "Loading Banners");
    EXPECT_EQ(Panel(3), "");

    // F5 scans the same folder once it is there, still without asking.
    ASSERT_EQ(::mkdir(missing.c_str(), 0700), 0);
    parent.WriteBanner("later/Sun.bmp", 1);
    Press(Qt::Key_F5);
    EXPECT_TRUE(desktop.folderTitles.empty());
    EXPECT_EQ(Texts(), (std::vector<QString>{"Sun"}));
    EXPECT_EQ(Panel(3), "1 Banners");
}

TEST(CommandLine, ArgumentsAreTheNonOptionsByteForByteAndFoldersAreMadeAbsolute) {
    std::string bytes = "caf\xe9";  // not UTF-8
    char* argv[] = {const_cast<char*>("talvane"), const_cast<char*>("-platform"),
                    const_cast<char*>("-"),       bytes.data(),
                    const_cast<char*>("--"),      const_cast<char*>("-v")};
    EXPECT_EQ(ArgumentBytes(6, argv), (std::vector<std::string>{"-", bytes, "-v"}));

    const std::string here = std::filesystem::current_path().native();
    const struct {
        std::string given, expected;
    } table[] = {
        {"/srv/banners", "/srv/banners"},     {"/srv/banners/", "/srv/banners"},
        {"/srv//./banners", "/srv/banners"},  {"/", "/"},
        {"banners", here + "/banners"},       {"./banners/", here + "/banners"},
        {"../banners", here + "/../banners"},  // kept: the parent of a symbolic link is not lexical
    };
    for (const auto& row : table) EXPECT_EQ(AbsoluteFolder(row.given), row.expected) << row.given;
}

class DropTest : public ProgramTest {
protected:
    // Drops `urls` (encoded) on the main window; returns whether the drag was taken.
    bool Drop(const QList<QByteArray>& urls,
              Qt::DropActions actions = Qt::CopyAction | Qt::MoveAction) {
        QMimeData data;
        QList<QUrl> list;
        for (const QByteArray& url : urls) list << QUrl::fromEncoded(url);
        data.setUrls(list);
        const QPoint at = Main().Client()->geometry().center();
        QDragEnterEvent enter(at, actions, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(&Main(), &enter);
        if (!enter.isAccepted()) return false;
        EXPECT_NE(enter.dropAction(), Qt::MoveAction);
        QDropEvent drop(at, actions, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(&Main(), &drop);
        Flush();
        EXPECT_TRUE(drop.isAccepted());
        EXPECT_NE(drop.dropAction(), Qt::MoveAction) << "a file manager may remove what it moved";
        return true;
    }
    static QByteArray UrlOf(const std::string& path) {
        return "file://" + QByteArray::fromStdString(path).toPercentEncoding("/");
    }
};

TEST_F(DropTest, ADroppedFolderIsListedAsBrowseWouldAndAnythingElseIsIgnored) {
    TempFolder first, dropped;
    first.WriteBanner("Sun.bmp", 1);
    const std::string odd = dropped / "caf\xe9";  // a folder name that is not UTF-8
    ASSERT_EQ(::mkdir(odd.c_str(), 0700), 0);
    dropped.WriteBanner("caf\xe9/Moon.bmp", 2);
    Start(first.Path());
    const size_t dialogs = desktop.folderTitles.size();

    // The views leave drops to the window.
    for (QAbstractItemView* view : List().findChildren<QAbstractItemView*>())
        EXPECT_FALSE(view->viewport()->acceptDrops());

    EXPECT_FALSE(Drop({UrlOf(first / "Sun.bmp")}));
    EXPECT_FALSE(Drop({UrlOf(odd), UrlOf(first.Path())}));
    EXPECT_FALSE(Drop({"https://example.org/banners/"}));
    EXPECT_FALSE(Drop({UrlOf(odd)}, Qt::MoveAction));
    EXPECT_EQ(Texts(), (std::vector<QString>{"Sun"}));

    EXPECT_TRUE(Drop({UrlOf(odd + "/")}));
    EXPECT_EQ(Texts(), (std::vector<QString>{"Moon"}));
    EXPECT_EQ(List().Tag(), odd);
    EXPECT_EQ(KeyOf("Moon"), odd + "/Moon.bmp");
    EXPECT_EQ(Panel(3), "1 Banners");
    EXPECT_EQ(desktop.folderTitles.size(), dialogs);
}

}  // namespace
}  // namespace talvane::test
