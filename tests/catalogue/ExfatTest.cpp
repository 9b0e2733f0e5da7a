// Renaming on a real exFAT file system: one that ignores letter case, refuses some
// characters, has no hard links and no atomic no-replace rename. Each failure is reported as
// what it is, and a change of letter case alone goes through.

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QProcess>

#include "support/ProgramFixture.h"

namespace talvane::test {
namespace {

// Runs a command; its exit code, with what it printed in `output`.
int RunCommand(const QString& program, const QStringList& arguments, QString* output = nullptr) {
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, arguments);
    if (!process.waitForFinished(30000)) return -1;
    if (output) *output = QString::fromLocal8Bit(process.readAll()).trimmed();
    return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
}

class ExfatTest : public ProgramTest {
protected:
    void SetUp() override {
        ProgramTest::SetUp();
        if (::geteuid() != 0) GTEST_SKIP() << "mounting a loop device needs the superuser";
        if (::access("/dev/fuse", R_OK | W_OK) != 0) GTEST_SKIP() << "no FUSE device (/dev/fuse)";
        const std::string image = scratch / "exfat.img";
        QString out;
        ASSERT_EQ(RunCommand("truncate", {"-s", "64M", QString::fromStdString(image)}), 0);
        ASSERT_EQ(RunCommand("mkfs.exfat", {QString::fromStdString(image)}, &out), 0)
            << out.toStdString();
        if (RunCommand("losetup", {"-f", "--show", QString::fromStdString(image)}, &out) != 0)
            GTEST_SKIP() << "no loop device: " << out.toStdString();
        loop = out;
        mountPoint = scratch / "mnt";
        ::mkdir(mountPoint.c_str(), 0755);
        ASSERT_EQ(RunCommand("mount.exfat-fuse", {loop, QString::fromStdString(mountPoint)}, &out),
                  0)
            << out.toStdString();
        mounted = true;
        folder = mountPoint + "/banners";
        ASSERT_EQ(::mkdir(folder.c_str(), 0755), 0);
    }

    void TearDown() override {
        ProgramTest::TearDown();  // the program lets go of the folder first
        if (mounted) RunCommand("umount", {QString::fromStdString(mountPoint)});
        if (!loop.isEmpty()) RunCommand("losetup", {"-d", loop});
    }

    void Write(const std::string& name, int seed) {
        int fd = ::open((folder + "/" + name).c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
        ASSERT_GE(fd, 0);
        QByteArray bytes = BannerBytes(seed);
        ASSERT_EQ(::write(fd, bytes.constData(), size_t(bytes.size())), bytes.size());
        ::close(fd);
    }

    std::vector<std::string> Names() { return NamesIn(folder); }

    void Rename(const QString& from, const QString& to) {
        Click(from);
        Press(Qt::Key_F2);
        ASSERT_NE(Editor(), nullptr);
        TypeIntoEditor(to);
        Press(Qt::Key_Return);
    }

    TempFolder scratch;
    QString loop;
    std::string mountPoint;
    bool mounted = false;
    std::string folder;
};

TEST_F(ExfatTest, RefusedNamesAreBadNamesTakenNamesAreTakenAndLetterCaseAloneRenames) {
    Write("Sun.bmp", 1);
    Write("Sea.bmp", 2);
    Write("Star.BMP", 3);
    Start(folder);
    ASSERT_EQ(Texts(), (std::vector<QString>{"Sea", "Star", "Sun"}));

    Rename("Sun", "Sun: day");  // exFAT has no room for ':'
    ASSERT_EQ(desktop.boxes.size(), 1u);
    EXPECT_TRUE(desktop.boxes[0].prompt.startsWith("Error renaming file: Bad file name"))
        << desktop.boxes[0].prompt.toStdString();
    EXPECT_EQ(Texts(), (std::vector<QString>{"Sea", "Star", "Sun"}));

    Rename("Sea", "SEA");
    Rename("Star", "Star");  // the extension's case
    EXPECT_EQ(desktop.boxes.size(), 1u) << desktop.boxes.back().prompt.toStdString();
    EXPECT_EQ(Names(), (std::vector<std::string>{"SEA.bmp", "Star.bmp", "Sun.bmp"}));
    EXPECT_EQ(Texts(), (std::vector<QString>{"SEA", "Star", "Sun"}));

    Rename("Sun", "sea");  // taken, whatever the case
    ASSERT_EQ(desktop.boxes.size(), 2u);
    EXPECT_TRUE(desktop.boxes[1].prompt.startsWith("Error renaming file: File already exists"));
    EXPECT_EQ(Names(), (std::vector<std::string>{"SEA.bmp", "Star.bmp", "Sun.bmp"}));
    EXPECT_EQ(ReadFileBytes(folder + "/SEA.bmp"), BannerBytes(2));
    EXPECT_EQ(ReadFileBytes(folder + "/Sun.bmp"), BannerBytes(1));
    Click("SEA");
    EXPECT_EQ(frmPreview().imgBanner->Picture(), BannerPicture(2));
}

TEST_F(ExfatTest, ANameTheFolderFoldsOtherwiseThanWeDoIsTakenAndNothingIsReplaced) {
    // exFAT tells the sharp s and the Kelvin sign from their letters; Qt's case folding does
    // not. Each capital here is a file of its own, kept with an upper-case extension.
    Write("\xC3\x9F.bmp", 1);      // ß
    Write("\xE1\xBA\x9E.BMP", 2);  // ẞ
    Write("k.bmp", 3);
    Write("\xE2\x84\xAA.BMP", 4);  // Kelvin sign
    Start(folder);
    const std::vector<std::string> before = Names();

    Rename(QString::fromUtf8("\xC3\x9F"), QString::fromUtf8("\xE1\xBA\x9E"));
    Rename("k", QString::fromUtf8("\xE2\x84\xAA"));
    ASSERT_EQ(desktop.boxes.size(), 2u);
    for (const auto& box : desktop.boxes)
        EXPECT_TRUE(box.prompt.startsWith("Error renaming file: File already exists"))
            << box.prompt.toStdString();
    EXPECT_EQ(Names(), before);
    EXPECT_EQ(ReadFileBytes(folder + "/\xE1\xBA\x9E.BMP"), BannerBytes(2));
    EXPECT_EQ(ReadFileBytes(folder + "/\xE2\x84\xAA.BMP"), BannerBytes(4));
}

TEST_F(ExfatTest, AStaleEntryThatAnotherFileNowAnswersToRenamesAndDeletesNothing) {
    Write("sun.bmp", 1);
    Write("Sea.bmp", 2);
    Write("moon.bmp", 3);
    Write("Star.bmp", 4);
    Start(folder);
    // sun.bmp and moon.bmp go behind the list's back, and Sea and Star take their names in
    // capitals: the stale entries now answer to SUN.bmp and MOON.bmp, which renaming sun must
    // not move, nor Yes to "moon.bmp" delete.
    ::unlink((folder + "/sun.bmp").c_str());
    ::unlink((folder + "/moon.bmp").c_str());
    Rename("Sea", "SUN");
    Rename("Star", "MOON");
    Rename("sun", "Other");
    desktop.answers = {vbYes};
    Click("moon");
    Press(Qt::Key_Delete);
    ASSERT_EQ(desktop.boxes.size(), 3u);
    EXPECT_TRUE(desktop.boxes[0].prompt.startsWith("Error renaming file: File not found"));
    EXPECT_TRUE(desktop.boxes[2].prompt.startsWith("Error deleting file: File not found"));
    EXPECT_EQ(Names(), (std::vector<std::string>{"MOON.bmp", "SUN.bmp"}));
    EXPECT_EQ(ReadFileBytes(folder + "/SUN.bmp"), BannerBytes(2));
    EXPECT_EQ(ReadFileBytes(folder + "/MOON.bmp"), BannerBytes(4));
    EXPECT_EQ(Texts(), (std::vector<QString>{"MOON", "SUN"}));
}

}  // namespace
}  // namespace talvane::test
