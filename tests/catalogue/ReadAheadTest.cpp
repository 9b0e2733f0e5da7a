// Large folders, whose banners are read ahead on reader threads: each entry gets its own
// picture, a failure leaves exactly what came before it in the folder's order, nothing but a
// banner is ever opened, and the readers hold no thread or descriptor beyond a scan, even
// with few descriptors to spare or fewer threads than wanted.

#include <sys/inotify.h>
#include <sys/resource.h>

#include <condition_variable>
#include <fstream>
#include <mutex>
#include <set>

#include "catalogue/MainModule.h"
#include "catalogue/ReadAheadFixture.h"
#include "catalogue/ReaderPolicy.h"
#include "catalogue/ReaderThreads.h"
#include "support/ChildProcess.h"

namespace talvane::test {
namespace {

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

TEST_F(ReadAheadTest, AScanStoppedWhileTheWindowIsFullLeavesNoThreadOrDescriptorBehind) {
    // The lister waits for room when the scan fails, and readers wait far ahead of it.
    TempFolder folder;
    WriteFolder(folder, 2500);
    folder.Write(ListingOrder(folder.Path())[500], QByteArray(1174, 'x'));
    Start(folder.Path());
    const int threads = ReaderThreadCount();
    for (int i = 0; i < 4; ++i) Press(Qt::Key_F5);
    ASSERT_EQ(desktop.boxes.size(), 5u);
    EXPECT_EQ(List().ListItems().Count(), 500);
    EXPECT_EQ(ReaderThreadCount(), threads);
    EXPECT_EQ(DescriptorsInto(folder.Path()), 0);
}

TEST_F(ReadAheadTest, AProgramWithFewDescriptorsToSpareListsEveryBanner) {
    // In a process of its own, with at most 32 descriptors.
    const ChildScratch scratch;
    EXPECT_EXIT(RunThenExit([this] {
                    TempFolder folder;
                    WriteFolder(folder, 600);
                    ASSERT_FALSE(folder.Path().empty());
                    const struct rlimit few = {32, 32};
                    ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &few), 0);
                    Start(folder.Path());
                    Press(Qt::Key_F5);
                    EXPECT_TRUE(desktop.boxes.empty()) << desktop.boxes.back().prompt.toStdString();
                    EXPECT_EQ(Panel(3), "600 Banners");
                }),
                testing::ExitedWithCode(0), "");
}

TEST_F(ReadAheadTest, AProgramThatCannotStartEveryReaderThreadListsEveryBanner) {
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs the superuser, to run the scan as a user of its own";
        // Too little address space for the stacks of every thread wanted, in a process of its
        // own. (A sanitizer's own allocator ends the process when the address space runs out.)
#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
    {
        const ChildScratch scratch;
        EXPECT_EXIT(RunThenExit([this] {
                        TempFolder folder;
                        WriteFolder(folder, 3000);
                        // Room for the scan and the stacks of a few threads, beyond what the
                        // process holds now.
                        std::ifstream status("/proc/self/status");
                        long long size = 0;
                        for (std::string word; status >> word;)
                            if (word == "VmSize:" && status >> size) break;
                        ASSERT_GT(size, 0);
                        const long long room = (size + 64 * 1024) * 1024;
                        ASSERT_EQ(RunToEnd({"prlimit", "--pid", std::to_string(::getpid()),
                                            "--as=" + std::to_string(room)}),
                                  0);
                        ScanWithFewThreads(folder.Path());
                    }),
                    testing::ExitedWithCode(0), "");
    }
#endif
    // Too few processes allowed to the user. The limit counts every process of the user the
    // scan runs as, so the half below runs as one with no others (nobody) from its start, in
    // a program of its own started through prlimit and setpriv; a death test's child is this
    // program started again as the superuser.
    TempFolder folder;
    WriteFolder(folder, 3000);
    ::chmod(folder.Path().c_str(), 0755);
    EXPECT_EQ(RunDisabledTest({"prlimit", "--nproc=10", "setpriv", "--reuid=nobody",
                               "--regid=nogroup", "--clear-groups"},
                              "ReadAheadTest.DISABLED_ScanWithFewThreads", folder.Path()),
              0);
}

// The half of the test above that runs with fewer threads to be had than the scan wants.
TEST_F(ReadAheadTest, DISABLED_ScanWithFewThreads) {
    const std::string folder = qgetenv("TALVANE_TEST_FOLDER").toStdString();
    ASSERT_FALSE(folder.empty());
    ScanWithFewThreads(folder);
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

// A work whose threads stay in it until it is stopped.
struct ParkedWork : ReaderThreads::Work {
    std::mutex mutex;
    std::condition_variable stopped;
    bool stop = false;
    int entered = 0, in = 0;
    void Do(int) override {
        std::unique_lock lock(mutex);
        ++entered, ++in;
        stopped.wait(lock, [&] { return stop; });
        --in;
    }
    void Stop() override {
        std::lock_guard lock(mutex);
        stop = true;
        stopped.notify_all();
    }
    int InCalls() override { return 0; }
};

TEST(ReaderThreadsTest, ARunEndsWithEveryThreadBackAndOnlyThenMayTheNextBegin) {
    auto work = std::make_shared<ParkedWork>();
    {
        ReaderThreads::Task task = ReaderThreads::Instance().Run(work, 3);
        ASSERT_EQ(task.Threads(), 3);
    }
    EXPECT_EQ(work->entered, 3);
    EXPECT_EQ(work->in, 0);
#ifndef NDEBUG
    EXPECT_DEATH(
        {
            ReaderThreads::Task first = ReaderThreads::Instance().Run(work, 1);
            ReaderThreads::Task second = ReaderThreads::Instance().Run(work, 1);
        },
        "ends before the next run");
#endif
}

}  // namespace
}  // namespace talvane::test
