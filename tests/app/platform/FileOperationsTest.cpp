// The file operations under the catalogue: enumeration, renaming that never replaces,
// deletion that never touches a read-only file, and picture loading that never hangs.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "app/platform/Kill.h"
#include "app/platform/LoadPicture.h"
#include "app/platform/RuntimeError.h"
#include "catalogue/FileSystemObject.h"
#include "support/BannerFiles.h"
#include "support/Errors.h"
#include "support/FaultFs.h"

namespace talvane::test {
namespace {

TEST(ErrorsTest, OperatingSystemErrorsMapToTheNumbersHandlersTest) {
    struct Case {
        int err;
        PathKind kind;
        int number;
    } cases[] = {
        {ENOENT, PathKind::File, errFileNotFound},
        {ENOENT, PathKind::Folder, errPathNotFound},
        {EEXIST, PathKind::File, errFileAlreadyExists},
        {EACCES, PathKind::File, errPermissionDenied},
        {EPERM, PathKind::File, errPermissionDenied},
        {ENAMETOOLONG, PathKind::File, errBadFileName},
        {ENOSPC, PathKind::File, errDiskFull},
        {EIO, PathKind::File, errDeviceIO},
        {EBUSY, PathKind::File, errPathFileAccess},
    };
    for (const Case& c : cases) {
        RuntimeError error = ErrorFromErrno(c.err, "/x/y.bmp", c.kind);
        EXPECT_EQ(error.Number(), c.number) << c.err;
        EXPECT_TRUE(error.Description().endsWith("\"/x/y.bmp\""))
            << error.Description().toStdString();
    }
}

TEST(FolderTest, EnumeratesRegularFilesAndLinksToThemOnly) {
    TempFolder folder;
    folder.Write("a.bmp", "1");
    folder.Write("b.txt", "22");
    ::mkdir((folder / "sub").c_str(), 0755);
    ::mkfifo((folder / "pipe").c_str(), 0644);
    ::symlink((folder / "a.bmp").c_str(), (folder / "link").c_str());
    ::symlink((folder / "nowhere").c_str(), (folder / "dangling").c_str());
    ::symlink((folder / "sub").c_str(), (folder / "dirlink").c_str());

    FileSystemObject fso;
    auto opened = fso.GetFolder(folder.Path());
    std::map<std::string, uint64_t> seen;
    FsFile file;
    while (opened->NextFile(file)) {
        EXPECT_EQ(file.Path(), folder / std::string(file.Name()));
        seen[std::string(file.Name())] = file.Size();
    }
    EXPECT_EQ(seen, (std::map<std::string, uint64_t>{{"a.bmp", 1}, {"b.txt", 2}, {"link", 1}}));
    EXPECT_EQ(ErrorNumberOf([&] { fso.GetFolder(folder / "missing"); }), errPathNotFound);
}

TEST(RenameFileTest, NeverReplacesAnExistingFile) {
    TempFolder folder;
    folder.Write("a.bmp", "A");
    folder.Write("b.bmp", "B");
    FileSystemObject fso;
    FsFile file = fso.GetFile(folder / "a.bmp");
    EXPECT_EQ(ErrorNumberOf([&] { file.SetName("b.bmp"); }), errFileAlreadyExists);
    EXPECT_EQ(folder.Read("a.bmp"), "A");
    EXPECT_EQ(folder.Read("b.bmp"), "B");
    EXPECT_EQ(file.Path(), folder / "a.bmp");

    file.SetName("c.bmp");
    EXPECT_EQ(file.Path(), folder / "c.bmp");
    EXPECT_EQ(folder.Read("c.bmp"), "A");
    EXPECT_EQ(ErrorNumberOf([&] { fso.GetFile(folder / "a.bmp"); }), errFileNotFound);
}

TEST(RenameFileTest, RefusesNamesThatWouldLeaveTheFolder) {
    TempFolder folder;
    folder.Write("a.bmp", "A");
    FileSystemObject fso;
    FsFile file = fso.GetFile(folder / "a.bmp");
    for (std::string name : {std::string("../a.bmp"), std::string("x/a.bmp"), std::string(".."),
                             std::string(256, 'n'), std::string("a\0b.bmp", 7), std::string()}) {
        EXPECT_EQ(ErrorNumberOf([&] { file.SetName(name); }), errBadFileName) << name.size();
    }
    EXPECT_EQ(folder.Names(), std::vector<std::string>{"a.bmp"});
    file.SetName(std::string(255, 'n'));  // the longest name a folder takes
    EXPECT_EQ(folder.Read(std::string(255, 'n')), "A");
}

TEST(KillTest, DeletesFilesAndLinksButNeverReadOnlyFilesOrFolders) {
    TempFolder folder;
    folder.Write("plain.bmp", "p");
    folder.Write("locked.bmp", "l");
    ::chmod((folder / "locked.bmp").c_str(), 0444);
    folder.Write("target.bmp", "t");
    ::symlink((folder / "target.bmp").c_str(), (folder / "link.bmp").c_str());
    ::mkdir((folder / "dir.bmp").c_str(), 0755);

    Kill(folder / "plain.bmp");
    Kill(folder / "link.bmp");
    EXPECT_EQ(ErrorNumberOf([&] { Kill(folder / "locked.bmp"); }), errPathFileAccess);
    EXPECT_EQ(ErrorNumberOf([&] { Kill(folder / "dir.bmp"); }), errPathFileAccess);
    EXPECT_EQ(ErrorNumberOf([&] { Kill(folder / "plain.bmp"); }), errFileNotFound);
    EXPECT_EQ(folder.Names(), (std::vector<std::string>{"dir.bmp", "locked.bmp", "target.bmp"}));
}

TEST(KillTest, AFolderWhoseListingFailsRulesOutNoFileTheFolderAnswersTo) {
    FaultFs fs;
    MOUNT_FAULT_FS_OR_SKIP(fs);
    fs.Root().Write("a.bmp", "a");
    // The other spelling cannot be looked at, and the listing that would tell fails.
    fs.SetRules("getattr a.bmP fail EIO\nreaddir * fail EIO\n");
    Kill(fs.Folder() + "/a.bmp");
    EXPECT_EQ(fs.Root().Names(), std::vector<std::string>{});
}

TEST(LoadPictureTest, ReadsBannersAndRefusesWhatIsNotAPicture) {
    TempFolder folder;
    folder.WriteBanner("good.bmp", 6);
    folder.Write("text.bmp", QByteArray(1174, 'x'));
    ::mkfifo((folder / "pipe.bmp").c_str(), 0644);

    QImage other(3, 2, QImage::Format_RGB32);
    other.fill(Qt::red);
    other.save(QString::fromStdString(folder / "small.bmp"), "BMP");  // a picture, not a banner

    // By path alone, and by name within the open folder as a scan reads them: the same.
    int folderFd = ::open(folder.Path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    ASSERT_GE(folderFd, 0);
    for (int fd : {-1, folderFd}) {
        QImage picture = LoadPicture(folder / "good.bmp", fd);
        EXPECT_EQ(picture.size(), QSize(12, 8));
        EXPECT_EQ(picture.convertToFormat(QImage::Format_ARGB32_Premultiplied), BannerPicture(6));
        EXPECT_EQ(LoadPicture(folder / "small.bmp", fd).convertToFormat(QImage::Format_RGB32),
                  other)
            << fd;
        EXPECT_EQ(ErrorNumberOf([&] { LoadPicture(folder / "text.bmp", fd); }), errInvalidPicture)
            << fd;
        EXPECT_EQ(ErrorNumberOf([&] { LoadPicture(folder / "pipe.bmp", fd); }), errPathFileAccess)
            << fd;
        EXPECT_EQ(ErrorNumberOf([&] { LoadPicture(folder / "none.bmp", fd); }), errFileNotFound)
            << fd;
    }
    ::close(folderFd);
}

}  // namespace
}  // namespace talvane::test
