// Large folders, whose banners are read ahead on reader threads: each entry gets its own
// picture, a failure leaves exactly what came before it in the folder's order, nothing but a
// banner is ever opened, files changed while they are read are judged as they are then, and
// the readers hold no thread or descriptor beyond a scan, even with few descriptors to spare
// or fewer threads than wanted.

#include <dirent.h>
#include <fcntl.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QProcess>
#include <atomic>
#include <fstream>
#include <random>
#include <set>
#include <thread>

#include "catalogue/MainModule.h"
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
    static std::vector<std::string> ListingOrder(const TempFolder& folder) {
        std::vector<std::string> names;
        DIR* dir = ::opendir(folder.Path().c_str());
        while (dirent* e = dir ? ::readdir(dir) : nullptr)
            if (e->d_name[0] == 'b') names.push_back(e->d_name);
        if (dir) ::closedir(dir);
        return names;
    }

    static int Count(const char* folder) {
        int n = -2;  // "." and ".."
        if (DIR* dir = ::opendir(folder)) {
            while (::readdir(dir)) ++n;
            ::closedir(dir);
        }
        return n;
    }
};

TEST_F(ReadAheadTest, AFailureDeepInALargeFolderLeavesExactlyTheBannersBeforeItEachWithItsPicture) {
    TempFolder folder;
    WriteFolder(folder, 2500);
    const std::vector<std::string> order = ListingOrder(folder);
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
    const int threads = Count("/proc/self/task"), descriptors = Count("/proc/self/fd");
    for (int i = 0; i < 1000; ++i) LoadBanners(folder.Path());
    EXPECT_EQ(Count("/proc/self/task"), threads);
    EXPECT_EQ(Count("/proc/self/fd"), descriptors);
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

TEST_F(ReadAheadTest, FilesChangedWhileTheScanReadsThemAreJudgedAsTheyAreThenAndNoFifoIsOpened) {
    TempFolder folder, elsewhere;
    const std::string fifo = elsewhere / "fifo", banner = elsewhere.WriteBanner("banner", 1);
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0644), 0);
    constexpr int kFiles = 200;
    auto link = [&](int i) { return folder / QString("l%1.bmp").arg(i).toStdString(); };
    auto file = [&](int i) { return QString("f%1.bmp").arg(i).toStdString(); };
    auto point = [&](int i, const std::string& to) {
        const std::string spare = link(i) + "~";
        ::symlink(to.c_str(), spare.c_str());
        ::rename(spare.c_str(), link(i).c_str());
    };
    for (int i = 0; i < kFiles; ++i) {
        point(i, banner);
        folder.WriteBanner(file(i), i);
    }
    const int watch = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    ASSERT_GE(::inotify_add_watch(watch, fifo.c_str(), IN_OPEN), 0);

    // Another program re-points the links between the banner and the FIFO, a missing file and
    // a loop, and rewrites, resizes, deletes and recreates the banners, while the scan runs.
    std::atomic<bool> done{false};
    std::thread other([&] {
        std::mt19937 rng(7);
        while (!done) {
            const int i = int(rng() % kFiles);
            switch (rng() % 6) {
                case 0:
                    point(i, fifo);
                    break;
                case 1:
                    point(i, banner);
                    break;
                case 2:
                    point(i, rng() % 2 ? elsewhere / "gone" : link(i));
                    break;
                case 3:
                    folder.WriteBanner(file(i), i);
                    break;  // cut short, then written
                case 4:
                    folder.Write(file(i), BannerBytes(i) + "x");
                    break;
                case 5:
                    ::unlink((folder / file(i)).c_str());
                    break;
            }
        }
    });
    Start(folder.Path());
    for (int scan = 0; scan < 100 && desktop.boxes.empty(); ++scan) {
        LoadBanners(folder.Path());
        EXPECT_EQ(Panel(1), "Banners Loaded");
    }
    done = true;
    other.join();
    EXPECT_TRUE(desktop.boxes.empty()) << desktop.boxes.back().prompt.toStdString();
    alignas(inotify_event) char events[4096];
    EXPECT_LT(::read(watch, events, sizeof events), 0) << "the FIFO was opened";
    ::close(watch);
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
        ASSERT_EQ(QProcess::execute("prlimit", {"--pid", QString::number(::getpid()),
                                                QString("--as=%1").arg(room)}),
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
