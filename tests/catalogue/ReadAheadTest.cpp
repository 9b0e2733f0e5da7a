// Large folders, whose banners are read ahead on reader threads: each entry gets its own
// picture, a failure leaves exactly what came before it in the folder's order, nothing but a
// banner is ever opened, files changed while they are read are judged as they are then, a
// failure is reported without waiting for reads it does not need, and
// the readers hold no thread or descriptor beyond a scan, even with few descriptors to spare
// or fewer threads than wanted.

#include <fcntl.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <functional>
#include <set>
#include <thread>

#include "catalogue/MainModule.h"
#include "catalogue/ReaderPolicy.h"
#include "support/ChildProcess.h"
#include "support/FaultFs.h"
#include "support/ProgramFixture.h"

namespace talvane::test {
namespace {

class ReadAheadTest : public ProgramTest {
protected:
    // `count` banners named b0000.bmp..., banner i drawn from seed i, and among them files
    // that are not banners by size, by name, or by kind.
    void WriteFolder(const TempFolder& folder, int count) {
        for (int i = 0; i < count; ++i) {
            folder.WriteBanner(Name(i), i);
            if (i % 10 == 0) folder.Write(QString("n%1.gif").arg(i).toStdString(), BannerBytes(i));
            if (i % 10 == 5)
                folder.Write(QString("l%1.bmp").arg(i).toStdString(), BannerBytes(i) + "x");
        }
        ::mkfifo((folder / "pipe.bmp").c_str(), 0644);
        ::mkdir((folder / "dir.bmp").c_str(), 0755);
    }

    static std::string Name(int i) {
        return QString("b%1.bmp").arg(i, 4, 10, QChar('0')).toStdString();
    }

    // The banners' names in the order the folder lists them.
    static std::vector<std::string> ListingOrder(const std::string& folder) {
        std::vector<std::string> names = NamesInListingOrder(folder);
        std::erase_if(names, [](const std::string& name) { return name[0] != 'b'; });
        return names;
    }

    // The names in `folder` for which `keep` is true.
    static int Count(const std::string& folder,
                     const std::function<bool(const std::string&)>& keep) {
        const std::vector<std::string> names = NamesInListingOrder(folder);
        return int(std::count_if(names.begin(), names.end(), [&](const std::string& name) {
            return keep(folder + "/" + name);
        }));
    }

    // The program's reader threads, by their name. Threads of Qt's come and go on their own
    // (its painting threads end after a while unused), so they are not counted.
    static int ReaderThreadCount() {
        return Count("/proc/self/task", [](const std::string& task) {
            return ReadFileBytes(task + "/comm").trimmed() == "talvane-reader";
        });
    }

    // The descriptors open on `folder` or a file in it.
    static int DescriptorsInto(const std::string& folder) {
        return Count("/proc/self/fd", [&](const std::string& fd) {
            char target[4096];
            const ssize_t n = ::readlink(fd.c_str(), target, sizeof target);
            return n > 0 && std::string(target, size_t(n)).rfind(folder, 0) == 0;
        });
    }
};

TEST_F(ReadAheadTest, AFailureDeepInALargeFolderLeavesExactlyTheBannersBeforeItEachWithItsPicture) {
    TempFolder folder;
    WriteFolder(folder, 2500);
    const std::vector<std::string> order = ListingOrder(folder.Path());
    const std::string broken = order[2000];
    folder.Write(broken, QByteArray(1174, 'x'));
    const int watch = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    ASSERT_GE(::inotify_add_watch(watch, folder.Path().c_str(), IN_OPEN), 0);

    Start(folder.Path());

    ASSERT_EQ(desktop.boxes.size(), 1u);
    EXPECT_EQ(desktop.boxes[0].prompt, QString("Error loading banners: Invalid picture: \"%1\"")
                                           .arg(QString::fromStdString(folder / broken)));
    EXPECT_EQ(Panel(1), "Loading Banners");
    ASSERT_EQ(List().ListItems().Count(), 2000);
    EXPECT_EQ(Main().ilsMain->ListImages().Count(), 2000);
    for (size_t i = 0; i < 2000; ++i) {
        const std::string key = folder / order[i];
        ASSERT_EQ(List().ListItems()(key).Key(), key);
        const int seed = std::stoi(order[i].substr(1, 4));
        ASSERT_EQ(Main().ilsMain->ListImages()(key).Picture(), BannerPicture(seed)) << order[i];
    }

    // Whatever was read ahead, only files of a banner's name and size were opened.
    std::set<std::string> opened;
    alignas(inotify_event) char events[64 * 1024];
    for (ssize_t n; (n = ::read(watch, events, sizeof events)) > 0;)
        for (char* at = events; at < events + n;) {
            auto* event = reinterpret_cast<inotify_event*>(at);
            if (event->len > 0) opened.insert(event->name);
            at += sizeof(inotify_event) + event->len;
        }
    ::close(watch);
    EXPECT_GE(opened.size(), 2001u);
    for (const std::string& name : opened) EXPECT_EQ(name[0], 'b') << name << " was opened";
}

TEST_F(ReadAheadTest, RescansLeaveNoThreadOrDescriptorBehind) {
    TempFolder folder;
    WriteFolder(folder, 60);
    Start(folder.Path());
    const int threads = ReaderThreadCount();
    EXPECT_GT(threads, 0);
    for (int i = 0; i < 1000; ++i) LoadBanners(folder.Path());
    EXPECT_EQ(ReaderThreadCount(), threads);
    EXPECT_EQ(DescriptorsInto(folder.Path()), 0);
    EXPECT_EQ(Panel(3), "60 Banners");
    EXPECT_TRUE(desktop.boxes.empty());
}

TEST_F(ReadAheadTest, AProgramWithFewDescriptorsToSpareListsEveryBanner) {
    TempFolder folder;
    WriteFolder(folder, 600);
    EXPECT_EQ(RunDisabledTest({"prlimit", "--nofile=32"},
                              "ReadAheadTest.DISABLED_ScanWithFewDescriptors", folder.Path()),
              0);
}

// The half of the test above that runs with at most 32 descriptors, in a process of its own.
TEST_F(ReadAheadTest, DISABLED_ScanWithFewDescriptors) {
    const std::string folder = qgetenv("TALVANE_TEST_FOLDER").toStdString();
    ASSERT_FALSE(folder.empty());
    Start(folder);
    Press(Qt::Key_F5);
    EXPECT_TRUE(desktop.boxes.empty()) << desktop.boxes.back().prompt.toStdString();
    EXPECT_EQ(Panel(3), "600 Banners");
}

// On a file system that fails, waits or hangs chosen calls.

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

TEST_F(ReadAheadTest, AProgramThatCannotStartEveryReaderThreadListsEveryBanner) {
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs the superuser, to run the scan as a user of its own";
    TempFolder folder;
    WriteFolder(folder, 3000);
    ::chmod(folder.Path().c_str(), 0755);
    // Too little address space for the stacks of every thread wanted. (A sanitizer's own
    // allocator ends the process when the address space runs out.)
#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
    EXPECT_EQ(RunDisabledTest({"env", "TALVANE_TEST_LIMIT_ADDRESS_SPACE=1"},
                              "ReadAheadTest.DISABLED_ScanWithFewThreads", folder.Path()),
              0);
#endif
    // Too few processes allowed to the user.
    EXPECT_EQ(RunDisabledTest({"prlimit", "--nproc=10", "setpriv", "--reuid=nobody",
                               "--regid=nogroup", "--clear-groups"},
                              "ReadAheadTest.DISABLED_ScanWithFewThreads", folder.Path()),
              0);
}

// The half of the test above that runs with fewer threads to be had than the scan wants.
TEST_F(ReadAheadTest, DISABLED_ScanWithFewThreads) {
    const std::string folder = qgetenv("TALVANE_TEST_FOLDER").toStdString();
    ASSERT_FALSE(folder.empty());
    if (qEnvironmentVariableIsSet("TALVANE_TEST_LIMIT_ADDRESS_SPACE")) {
        // Room for the scan and the stacks of a few threads, beyond what the process holds
        // now.
        std::ifstream status("/proc/self/status");
        long long size = 0;
        for (std::string word; status >> word;)
            if (word == "VmSize:" && status >> size) break;
        ASSERT_GT(size, 0);
        const long long room = (size + 64 * 1024) * 1024;
        ASSERT_EQ(RunToEnd({"prlimit", "--pid", std::to_string(::getpid()),
                            "--as=" + std::to_string(room)}),
                  0);
    }
    Start(folder);
    for (int scan = 0; scan < 3; ++scan) {
        ASSERT_TRUE(desktop.boxes.empty()) << desktop.boxes.back().prompt.toStdString();
        EXPECT_EQ(Panel(3), "3000 Banners");
        Press(Qt::Key_F5);
    }
}

}  // namespace
}  // namespace talvane::test

namespace talvane::test {
namespace {

TEST(ReaderPolicyTest, MoreReadersOnlyWhenManyReadsOfARunWaitedOnTheDisk) {
    using namespace std::chrono_literals;
    const std::chrono::microseconds fast = 5us, slow = 2ms;
    // Reads from memory, with one or three slow ones in every run: the disk is not slow.
    for (int slowOnes : {0, 1, 3}) {
        ReaderPolicy policy;
        for (int run = 0; run < 50; ++run)
            for (int read = 0; read < ReaderPolicy::kReadsJudged; ++read)
                ASSERT_FALSE(policy.Read(read < slowOnes ? slow : fast)) << slowOnes;
    }
    // Half the reads of a run slow: at that run's end, and only then.
    ReaderPolicy policy;
    for (int read = 1; read < ReaderPolicy::kReadsJudged; ++read)
        EXPECT_FALSE(policy.Read(read % 2 ? slow : fast));
    EXPECT_TRUE(policy.Read(slow));
    EXPECT_GE(ReaderPolicy::ReadersAtFirst(32), 1);
    EXPECT_EQ(ReaderPolicy::ReadersAtFirst(0), 0);
}

}  // namespace
}  // namespace talvane::test
