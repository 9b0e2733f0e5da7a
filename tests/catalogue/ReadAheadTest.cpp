// Large folders, whose banners are read ahead on reader threads: each entry gets its own
// picture, a failure leaves exactly what came before it in the folder's order, nothing but a
// banner is ever opened, and the readers hold no thread or descriptor beyond a scan, even
// with few descriptors to spare.

#include <dirent.h>
#include <fcntl.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <set>

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

}  // namespace
}  // namespace talvane::test
