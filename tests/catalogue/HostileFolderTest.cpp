// Folders that hold what a banner folder should not: odd names, special files, links, and
// files of the right size that are not banners. Each is listed correctly or ends the scan
// with a message; nothing hangs, crashes or changes a file.

#include <dirent.h>
#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>
#include <QLabel>
#include <QRegularExpression>

#include "catalogue/MainModule.h"
#include "support/ProgramFixture.h"

namespace talvane::test {
namespace {

class HostileFolderTest : public ProgramTest {
protected:
    // Every regular file in the folder with its bytes, to prove nothing was changed.
    std::map<std::string, QByteArray> Snapshot(const TempFolder& folder) {
        std::map<std::string, QByteArray> files;
        for (const std::string& name : folder.Names()) {
            struct stat st {};
            if (::lstat((folder / name).c_str(), &st) == 0 && S_ISREG(st.st_mode))
                files[name] = folder.Read(name);
        }
        return files;
    }

    // The scan either finished, listing what it found, or stopped with its message.
    void ExpectListedOrReported() {
        if (desktop.boxes.empty()) {
            EXPECT_EQ(Panel(1), "Banners Loaded");
            EXPECT_EQ(Panel(3), QString("%1 Banners").arg(List().ListItems().Count()));
        } else {
            ASSERT_EQ(desktop.boxes.size(), 1u);
            EXPECT_TRUE(desktop.boxes[0].prompt.startsWith("Error loading banners: "))
                << desktop.boxes[0].prompt.toStdString();
            EXPECT_EQ(Panel(1), "Loading Banners");
        }
        EXPECT_EQ(Main().ilsMain->ListImages().Count(), List().ListItems().Count());
    }

    void ExpectScanRefusedWithPermission(const std::string& file) {
        ASSERT_EQ(desktop.boxes.size(), 1u) << "the scan of an unsearchable folder said nothing";
        EXPECT_EQ(desktop.boxes[0].prompt,
                  QString("Error loading banners: Permission denied: \"%1\"")
                      .arg(QString::fromStdString(file)));
        EXPECT_EQ(Panel(1), "Loading Banners");
        EXPECT_EQ(List().ListItems().Count(), 0);
    }
};

TEST_F(HostileFolderTest, OddNamesAreListedKeyedByTheirBytesAndCanBeRenamedAndDeleted) {
    TempFolder folder;
    const std::vector<std::string> names = {
        "new\nline.bmp", "quote\"s'.bmp", "$(touch pwned) `x` ;&|.bmp",
        "-rf.bmp",       "--help.bmp",    "sp ace .bmp",
        "\xFF\xFE.bmp",  "tab\there.bmp", std::string(251, 'L') + ".bmp",
    };
    int seed = 0;
    for (const std::string& name : names) folder.WriteBanner(name, ++seed);
    Start(folder.Path());
    ASSERT_TRUE(desktop.boxes.empty());
    EXPECT_EQ(List().ListItems().Count(), int(names.size()));
    for (const std::string& name : names) {
        ListItem item = List().ListItems()(folder / name);
        EXPECT_EQ(item.Key(), folder / name);
    }
    EXPECT_FALSE(folder.Exists("pwned"));

    // A rename and a delete work on the bytes of the name, whatever they are.
    Click(List().ListItems()(folder / "-rf.bmp").Text());
    ChooseMenu(Main().mnuRename);
    TypeIntoEditor("renamed");
    Press(Qt::Key_Return);
    EXPECT_EQ(folder.Read("renamed.bmp"), BannerBytes(4));
    Click(List().ListItems()(folder / "\xFF\xFE.bmp").Text());
    desktop.answers = {vbYes};
    Press(Qt::Key_Delete);
    EXPECT_FALSE(folder.Exists("\xFF\xFE.bmp"));
    EXPECT_EQ(List().ListItems().Count(), int(names.size()) - 1);
}

TEST_F(HostileFolderTest, APathWithALineBreakTakesOneLineOfThePathPanelAndIsKeptWhole) {
    TempFolder folder;
    folder.WriteBanner("new\nline.bmp", 1);
    Start(folder.Path());
    QLabel* label = nullptr;
    for (QLabel* panel : Main().sbStatusBar->findChildren<QLabel*>())
        if (panel->accessibleDescription() == "Path") label = panel;
    ASSERT_NE(label, nullptr);
    const QImage blank = label->grab().toImage();
    Click(QString("new\nline"));
    const QString path = QString::fromStdString(folder / "new\nline.bmp");
    EXPECT_EQ(Panel(2), path);
    EXPECT_EQ(label->accessibleName(), path);
    // What the text painted: the pixels that differ from the empty panel.
    const QImage shot = label->grab().toImage();
    ASSERT_EQ(shot.size(), blank.size());
    QRect ink;
    for (int y = 0; y < shot.height(); ++y)
        for (int x = 0; x < shot.width(); ++x)
            if (shot.pixel(x, y) != blank.pixel(x, y)) ink |= QRect(x, y, 1, 1);
    EXPECT_TRUE(label->contentsRect().contains(ink));
    EXPECT_LE(ink.height(), label->fontMetrics().height()) << "more than one line";
    EXPECT_GT(ink.width(), label->fontMetrics().horizontalAdvance("newline.bmp"));
    EXPECT_TRUE(QRect(QPoint(), Main().sbStatusBar->size()).contains(label->geometry()));
}

TEST_F(HostileFolderTest, SpecialFilesAndLinksNamedLikeBannersNeverHangTheScan) {
    TempFolder folder;
    TempFolder elsewhere;
    folder.WriteBanner("Real.bmp", 1);
    ::mkfifo((folder / "fifo.bmp").c_str(), 0644);
    int sock = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::string socketPath = folder / "socket.bmp";
    if (socketPath.size() < sizeof address.sun_path) {
        std::strcpy(address.sun_path, socketPath.c_str());
        ::bind(sock, reinterpret_cast<sockaddr*>(&address), sizeof address);
    }
    ::symlink("/dev/zero", (folder / "zero.bmp").c_str());
    ::symlink("/dev/null", (folder / "null.bmp").c_str());
    ::symlink((folder / "loop2.bmp").c_str(), (folder / "loop1.bmp").c_str());
    ::symlink((folder / "loop1.bmp").c_str(), (folder / "loop2.bmp").c_str());
    ::symlink(elsewhere.Path().c_str(), (folder / "dirlink.bmp").c_str());
    ::symlink((folder / "gone").c_str(), (folder / "dangling.bmp").c_str());
    ::symlink(std::string(300, 'x').c_str(), (folder / "overlong.bmp").c_str());  // names no file
    auto before = Snapshot(folder);

    Start(folder.Path());
    ::close(sock);

    EXPECT_TRUE(desktop.boxes.empty());
    EXPECT_EQ(Texts(), std::vector<QString>{"Real"});
    EXPECT_EQ(Snapshot(folder), before);
}

TEST_F(HostileFolderTest, FilesOfBannerSizeThatAreDamagedBitmapsAreListedOrReported) {
    QByteArray good = BannerBytes(1);
    auto patched = [&](int at, QByteArray bytes) {
        QByteArray b = good;
        b.replace(at, bytes.size(), bytes);
        return b;
    };
    auto le32 = [](qint32 v) {
        QByteArray b(4, '\0');
        for (int i = 0; i < 4; ++i) b[i] = char((v >> (8 * i)) & 0xFF);
        return b;
    };
    const std::pair<const char*, QByteArray> damaged[] = {
        {"wrong magic", patched(0, "XX")},
        {"all zero", QByteArray(1174, '\0')},
        {"text", QByteArray(1174, 'a')},
        {"truncated header", good.left(30).leftJustified(1174, '\0')},
        {"huge width", patched(18, le32(0x7FFFFFFF))},
        {"huge height", patched(22, le32(0x7FFFFFFF))},
        {"negative width", patched(18, le32(-12))},
        {"top-down", patched(22, le32(-8))},
        {"4 bits", patched(28, QByteArray("\x04\x00", 2))},
        {"32 bits", patched(28, QByteArray("\x20\x00", 2))},
        {"RLE8", patched(30, le32(1))},
        {"bitfields", patched(30, le32(3))},
        {"palette count huge", patched(46, le32(100000))},
        {"pixel offset past the end", patched(10, le32(0x7FFFFFF0))},
        {"header size huge", patched(14, le32(0x7FFFFFFF))},
    };
    for (const auto& [what, bytes] : damaged) {
        SCOPED_TRACE(what);
        ASSERT_EQ(bytes.size(), 1174);
        TempFolder folder;
        folder.Write("damaged.bmp", bytes);
        desktop.boxes.clear();
        Start(folder.Path());
        ExpectListedOrReported();
        for (int i = 0; i < List().ListItems().Count(); ++i)
            EXPECT_EQ(Main().ilsMain->ListImages()(folder / "damaged.bmp").Picture().size(),
                      QSize(12, 8));
        EXPECT_EQ(folder.Read("damaged.bmp"), bytes);
        Unload(Main());
        Flush();
    }
}

TEST_F(HostileFolderTest, AFolderThatCannotBeReadIsReportedOrListed) {
    TempFolder parent;
    std::string locked = parent / "locked";
    ::mkdir(locked.c_str(), 0755);
    parent.WriteBanner("locked/Inside.bmp", 1);
    ::chmod(locked.c_str(), 0);
    Start(locked);
    // Whoever may read it anyway (the superuser) sees its banner; anyone else is told.
    if (::geteuid() == 0) {
        EXPECT_EQ(Texts(), std::vector<QString>{"Inside"});
    } else {
        ASSERT_EQ(desktop.boxes.size(), 1u);
        EXPECT_TRUE(desktop.boxes[0].prompt.startsWith("Error loading banners: Permission denied"));
    }
    ::chmod(locked.c_str(), 0755);
}

TEST_F(HostileFolderTest, BannersWhosePathsPassThePlatformLimitAreListedRenamedAndDeleted) {
    TempFolder folder;
    std::string path = folder.Path();
    // Nest folders until the folder's path is close to the 4096-byte limit; the banners'
    // full paths then pass it.
    while (path.size() < 3800) {
        path += "/" + std::string(200, 'd');
        ASSERT_EQ(::mkdir(path.c_str(), 0755), 0);
    }
    const int at = ::open(path.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    ASSERT_GE(at, 0);
    auto names = [&] { return NamesIn(path); };
    for (char c : {'a', 'b'}) {
        int fd = ::openat(at, (std::string(250, c) + ".bmp").c_str(),
                          O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
        ASSERT_GE(fd, 0);
        QByteArray bytes = BannerBytes(c);
        ASSERT_EQ(::write(fd, bytes.constData(), size_t(bytes.size())), bytes.size());
        ::close(fd);
    }
    Start(path);
    ASSERT_EQ(List().ListItems().Count(), 2);
    ASSERT_GT(KeyOf(QString(250, 'a')).size(), 4096u);

    Click(QString(250, 'a'));
    EXPECT_EQ(frmPreview().imgBanner->Picture(), BannerPicture('a'));
    Press(Qt::Key_F2);
    TypeIntoEditor(QString(240, 'c'));
    Press(Qt::Key_Return);
    Click(QString(250, 'b'));
    desktop.answers = {vbYes};
    Press(Qt::Key_Delete);

    EXPECT_EQ(desktop.boxes.size(), 1u) << desktop.boxes.back().prompt.toStdString();
    EXPECT_EQ(names(), std::vector<std::string>{std::string(240, 'c') + ".bmp"});
    EXPECT_EQ(Texts(), std::vector<QString>{QString(240, 'c')});
    for (const std::string& name : names())
        ::unlinkat(at, name.c_str(), 0);  // beyond the reach of full paths
    ::close(at);
}

TEST_F(HostileFolderTest, AFolderWhoseFilesCannotBeLookedAtFailsTheScanNamingTheFile) {
    // A folder that may be read but not searched: its names are listed, its files cannot be
    // looked at. The superuser is let through anyway, so the scan runs as nobody.
    TempFolder parent;
    const std::string locked = parent / "locked";
    ::mkdir(locked.c_str(), 0755);
    parent.WriteBanner("locked/Sun.bmp", 1);
    ::chmod(parent.Path().c_str(), 0755);
    ::chmod(locked.c_str(), 0444);
    if (::geteuid() != 0) {
        Start(locked);
        ExpectScanRefusedWithPermission(locked + "/Sun.bmp");
    } else {
        EXPECT_EQ(
            RunDisabledTest({"setpriv", "--reuid=nobody", "--regid=nogroup", "--clear-groups"},
                            "HostileFolderTest.DISABLED_ScanOfAnUnsearchableFolder", locked),
            0);
    }
    ::chmod(locked.c_str(), 0755);
}

// The half of the test above that runs as nobody, in a program of its own started through
// setpriv: a program is another user's whole only from its start, and a death test's child is
// this program started again as the superuser.
TEST_F(HostileFolderTest, DISABLED_ScanOfAnUnsearchableFolder) {
    const QByteArray locked = qgetenv("TALVANE_TEST_FOLDER");
    ASSERT_FALSE(locked.isEmpty());
    ASSERT_NE(::geteuid(), 0u);
    Start(locked.toStdString());
    ExpectScanRefusedWithPermission(locked.toStdString() + "/Sun.bmp");
}

}  // namespace
}  // namespace talvane::test
