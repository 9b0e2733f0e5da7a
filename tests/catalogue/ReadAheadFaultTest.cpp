// The reader threads on a file system that fails, waits or hangs chosen calls: files changed
// while they are read are judged as they are then, a name listed twice is listed once, and a
// failure is reported without waiting for reads it does not need.

#include <sys/inotify.h>

#include <thread>

#include "catalogue/MainModule.h"
#include "catalogue/ReadAheadFixture.h"
#include "support/FaultFs.h"

namespace talvane::test {
namespace {

TEST_F(ReadAheadTest, FilesGoneOrChangedBetweenTheLookAndTheOpenAreJudgedAsTheyAreThen) {
    FaultFs fs;
    MOUNT_FAULT_FS_OR_SKIP(fs);
    const TempFolder& root = fs.Root();
    const std::vector<std::string> changed = {"gone.bmp", "dangling.bmp", "loop.bmp",
                                              "fifo.bmp", "dir.bmp",      "short.bmp"};
    std::string rules;
    for (const std::string& name : changed) {
        root.WriteBanner(name, 1);
        rules += "open " + name + " delay 2\n";
    }
    root.WriteBanner("kept.bmp", 2);
    fs.SetRules(rules);
    // Each is looked at as a banner; then, while the scan opens it, another program changes it.
    std::thread other([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(700));
        for (const std::string& name : changed) ::unlink((root / name).c_str());
        ::symlink((root / "missing").c_str(), (root / "dangling.bmp").c_str());
        ::symlink((root / "loop.bmp").c_str(), (root / "loop.bmp").c_str());
        ::mkfifo((root / "fifo.bmp").c_str(), 0644);
        ::mkdir((root / "dir.bmp").c_str(), 0755);
        root.Write("short.bmp", BannerBytes(1).left(1000));
    });
    Start(fs.Folder());
    other.join();
    EXPECT_TRUE(desktop.boxes.empty()) << desktop.boxes.back().prompt.toStdString();
    EXPECT_EQ(Texts(), std::vector<QString>{"kept"});
    EXPECT_EQ(Panel(3), "1 Banners");
}

TEST_F(ReadAheadTest, ALinkRePointedFromABannerToAFifoWhileTheScanLooksAtItIsNotOpened) {
    FaultFs fs;
    MOUNT_FAULT_FS_OR_SKIP(fs);
    TempFolder elsewhere;
    const std::string fifo = elsewhere / "fifo", banner = elsewhere.WriteBanner("banner", 1);
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0644), 0);
    const std::string link = fs.Root() / "link.bmp";
    ASSERT_EQ(::symlink(banner.c_str(), link.c_str()), 0);
    const int watch = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    ASSERT_GE(::inotify_add_watch(watch, fifo.c_str(), IN_OPEN), 0);
    // The link is followed slowly; by the time the scan would follow it again to open the
    // banner it saw, another program has pointed it at the FIFO.
    fs.SetRules("readlink link.bmp delay 1\n");
    std::thread other([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(1500));
        const std::string spare = link + "~";
        ::symlink(fifo.c_str(), spare.c_str());
        ::rename(spare.c_str(), link.c_str());
    });
    Start(fs.Folder());
    other.join();
    alignas(inotify_event) char events[4096];
    EXPECT_LT(::read(watch, events, sizeof events), 0) << "the FIFO was opened";
    ::close(watch);
    EXPECT_TRUE(desktop.boxes.empty()) << desktop.boxes.back().prompt.toStdString();
    EXPECT_EQ(Texts(), std::vector<QString>{"link"});  // the banner it was when looked at
}

TEST_F(ReadAheadTest, ANameTheFileSystemListsTwiceIsListedOnce) {
    FaultFs fs;
    MOUNT_FAULT_FS_OR_SKIP(fs);
    for (int i = 0; i < 40; ++i) fs.Root().WriteBanner(Name(i), i);
    fs.SetRules("readdir * repeat " + Name(3) + "\nreaddir * repeat " + Name(39) + "\n");
    Start(fs.Folder());
    EXPECT_TRUE(desktop.boxes.empty()) << desktop.boxes.back().prompt.toStdString();
    EXPECT_EQ(Panel(3), "40 Banners");
    EXPECT_EQ(Main().ilsMain->ListImages().Count(), 40);
}

TEST_F(ReadAheadTest, AFileWhoseReadsAreAlwaysInterruptedIsReportedAsUnreadable) {
    FaultFs fs;
    MOUNT_FAULT_FS_OR_SKIP(fs);
    for (int i = 0; i < 20; ++i) fs.Root().WriteBanner(Name(i), i);
    const std::vector<std::string> order = ListingOrder(fs.Folder());
    fs.SetRules("read " + order[10] + " fail EINTR\n");
    Start(fs.Folder());
    ASSERT_EQ(desktop.boxes.size(), 1u);
    EXPECT_EQ(desktop.boxes[0].prompt,
              QString("Error loading banners: Path/File access error (Interrupted system call): "
                      "\"%1\"")
                  .arg(QString::fromStdString(fs.Folder() + "/" + order[10])));
    EXPECT_EQ(List().ListItems().Count(), 10);
}

TEST_F(ReadAheadTest, AFailureIsReportedWithoutWaitingForALaterReadThatHangs) {
    FaultFs fs;
    MOUNT_FAULT_FS_OR_SKIP(fs);
    for (int i = 0; i < 40; ++i) fs.Root().WriteBanner(Name(i), i);
    const std::vector<std::string> order = ListingOrder(fs.Folder());
    // While the 8th is read slowly, and fails, a reader comes to the 14th, whose read never
    // comes back.
    fs.SetRules("read " + order[7] + " delay 1\nread " + order[7] + " fail EIO\nread " + order[13] +
                " hang\n");
    const auto start = std::chrono::steady_clock::now();
    Start(fs.Folder());
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    ASSERT_EQ(desktop.boxes.size(), 1u);
    EXPECT_EQ(desktop.boxes[0].prompt,
              QString("Error loading banners: Device I/O error: \"%1\"")
                  .arg(QString::fromStdString(fs.Folder() + "/" + order[7])));
    EXPECT_EQ(List().ListItems().Count(), 7);

    // With that read still hanging, other folders are scanned in full, on other threads.
    TempFolder folder;
    WriteFolder(folder, 300);
    for (int scan = 0; scan < 3; ++scan) LoadBanners(folder.Path());
    EXPECT_EQ(Panel(3), "300 Banners");
    EXPECT_EQ(desktop.boxes.size(), 1u);
    // The hung read comes back to a scan long gone.
    fs.SetRules("");
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
}

}  // namespace
}  // namespace talvane::test
