#pragma once
// A large folder for the scan's reader threads, and what the process holds while they read.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <functional>

#include "support/ProgramFixture.h"

namespace talvane::test {

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

    // Lists `folder` of 3000 banners, with fewer threads to be had than the scan wants, and
    // scans it again twice.
    void ScanWithFewThreads(const std::string& folder) {
        Start(folder);
        for (int scan = 0; scan < 3; ++scan) {
            ASSERT_TRUE(desktop.boxes.empty()) << desktop.boxes.back().prompt.toStdString();
            EXPECT_EQ(Panel(3), "3000 Banners");
            Press(Qt::Key_F5);
        }
    }
};

}  // namespace talvane::test
