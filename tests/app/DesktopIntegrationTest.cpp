// How the program meets the desktop: a folder on the command line or dropped on the window.

#include <sys/stat.h>

#include <QAbstractItemView>
#include <QApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QMimeData>
#include <QTimer>
#include <QUrl>
#include <filesystem>
#include <fstream>
#include <map>

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

// Every file under `root`, with its bytes.
std::map<std::string, QByteArray> FilesUnder(const std::string& root) {
    std::map<std::string, QByteArray> files;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(root))
        if (!entry.is_directory()) files[entry.path()] = ReadFileBytes(entry.path());
    return files;
}

// The real folder dialog, in a process whose home and settings folder are a temporary one
// holding what an earlier dialog would have left: it neither reads that back nor writes.
class FolderDialogTest : public ProgramTest {};

TEST_F(FolderDialogTest, TheDialogReadsBackNoHistoryAndLeavesNoFileBehind) {
    TempFolder home, chosen, earlier;
    const std::string config = home / "config";
    ASSERT_EQ(::mkdir(config.c_str(), 0700), 0);
    const QByteArray url = QUrl::fromLocalFile(QString::fromStdString(earlier.Path())).toEncoded();
    std::ofstream(config + "/QtProject.conf")
        << "[FileDialog]\nhistory=" << url.constData() << "\nlastVisited=" << url.constData()
        << "\nqtVersion=" << QT_VERSION_STR << "\nviewMode=Detail\n";
    const auto before = FilesUnder(home.Path());
    EXPECT_EQ(RunDisabledTest({"env", QString::fromStdString("HOME=" + home.Path()),
                               QString::fromStdString("XDG_CONFIG_HOME=" + config),
                               QString::fromStdString("EARLIER=" + earlier.Path())},
                              "FolderDialogTest.DISABLED_OneSessionWithTheDialog", chosen.Path()),
              0);
    EXPECT_EQ(FilesUnder(home.Path()), before);
}

// The half of the test above, in a program of its own started with that home and settings
// folder: Qt takes them from the environment the program starts with, and a death test's
// child starts with this one's.
TEST_F(FolderDialogTest, DISABLED_OneSessionWithTheDialog) {
    const QString chosen = qEnvironmentVariable("TALVANE_TEST_FOLDER");
    const QString earlier = qEnvironmentVariable("EARLIER");
    QString opened;
    QStringList history;
    QTimer answer;
    QObject::connect(&answer, &QTimer::timeout, [&] {
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            auto* dialog = qobject_cast<QFileDialog*>(widget);
            if (!dialog || !dialog->isVisible()) continue;
            opened = dialog->directory().absolutePath();
            history = dialog->history();
            dialog->setDirectory(chosen);
            static_cast<QDialog*>(dialog)->accept();
        }
    });
    answer.start(20);
    SetDesktop(nullptr);
    EXPECT_EQ(TheDesktop().ChooseFolder(nullptr, QStringLiteral("Pick")), chosen.toStdString());
    EXPECT_NE(opened, earlier);
    EXPECT_FALSE(history.contains(earlier)) << history.join(' ').toStdString();
}

}  // namespace
}  // namespace talvane::test
