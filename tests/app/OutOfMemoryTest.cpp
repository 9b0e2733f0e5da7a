// Running out of memory: a scan that does is reported and the program goes on; a failure
// that cannot even be shown is written to standard error, and the program ends with a status
// that says so, never by a signal.

#include <sys/resource.h>
#include <unistd.h>

#include <QFile>
#include <new>

#include "app/platform/EventHandler.h"
#include "support/ProgramFixture.h"

namespace talvane::test {
namespace {

// The address space the process has now, in bytes.
rlim_t AddressSpaceInUse() {
    QFile status("/proc/self/status");
    if (!status.open(QIODevice::ReadOnly)) return 0;
    for (QByteArray line; !(line = status.readLine()).isEmpty();)
        if (line.startsWith("VmSize:"))
            return rlim_t(line.mid(7).trimmed().split(' ')[0].toULongLong()) * 1024;
    return 0;
}

class OutOfMemoryTest : public ProgramTest {
protected:
    // 200,000 banners: links to a few files, each taking as many links as any file system
    // gives one file.
    static void WriteLargeFolder(const TempFolder& folder) {
        constexpr int kFiles = 5, kLinksEach = 40000;
        for (int f = 0; f < kFiles; ++f) {
            const std::string first = folder.WriteBanner("b" + std::to_string(f) + "-0.bmp", f + 1);
            for (int i = 1; i < kLinksEach; ++i) {
                const std::string link =
                    folder / ("b" + std::to_string(f) + "-" + std::to_string(i) + ".bmp");
                ASSERT_EQ(::link(first.c_str(), link.c_str()), 0) << link;
            }
        }
    }

    // The scan of `folder` under a limit. The limit comes once the program is up: set from
    // the start, it has threads fail to start first (the scan's readers, and Qt's painters,
    // which then wait for ever).
    void ScanUnderALimit(const std::string& folder) {
        ASSERT_FALSE(folder.empty());
        TempFolder small;
        small.WriteBanner("Sun.bmp", 1);
        Start(small.Path());
        ASSERT_EQ(Panel(3), "1 Banners");

        struct rlimit unlimited {};
        ::getrlimit(RLIMIT_AS, &unlimited);
        struct rlimit limited = unlimited;
        limited.rlim_cur = AddressSpaceInUse() + (rlim_t(32) << 20);
        ASSERT_EQ(::setrlimit(RLIMIT_AS, &limited), 0);
        desktop.folders.push_back(folder);
        ChooseMenu(Main().mnuNew);
        Flush();  // the deferred sort, and laying out what the scan left, under the limit too
        ::setrlimit(RLIMIT_AS, &unlimited);

        ASSERT_FALSE(desktop.boxes.empty()) << Panel(3).toStdString();
        for (const auto& box : desktop.boxes)
            EXPECT_TRUE(box.prompt.contains("Out of memory")) << box.prompt.toStdString();
        EXPECT_TRUE(Main().isVisible());

        desktop.boxes.clear();
        desktop.folders.push_back(small.Path());
        ChooseMenu(Main().mnuNew);
        EXPECT_TRUE(desktop.boxes.empty());
        EXPECT_EQ(Texts(), std::vector<QString>{"Sun"});
        EXPECT_EQ(Panel(3), "1 Banners");
    }
};

TEST_F(OutOfMemoryTest, AScanThatRunsOutOfMemoryIsReportedAndTheProgramGoesOn) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    GTEST_SKIP() << "a sanitizer's allocator ends the program rather than fail an allocation "
                    "(needs a build without sanitizers)";
#endif
    // In a process of its own, which the limit may leave short of memory. Its files are in
    // memory where there is a file system there, as the links are made quicker.
    const ChildScratch scratch("/dev/shm");
    EXPECT_EXIT(RunThenExit([this] {
                    TempFolder folder;
                    WriteLargeFolder(folder);
                    if (!HasFatalFailure()) ScanUnderALimit(folder.Path());
                }),
                testing::ExitedWithCode(0), "");
}

TEST_F(OutOfMemoryTest, AFailureThatNoBoxCanShowEndsTheProgramWithAStatusAndSaysWhy) {
    // Message boxes that cannot be built, as when Qt runs out of memory building one, in a
    // process of its own, which the program ends.
    const ChildScratch scratch;
    EXPECT_EXIT(RunThenExit([this] {
                    TempFolder folder;
                    desktop.whileBoxIsUp = [](const ScriptedDesktop::Box&) {
                        throw std::bad_alloc();
                    };
                    Start(folder / "missing");  // a folder that cannot be opened
                    ADD_FAILURE() << "the program went on without showing its message";
                }),
                testing::ExitedWithCode(kExitUnreported),
                "talvane: Out of memory \\(the message could not be shown\\)\n");
}

}  // namespace
}  // namespace talvane::test
