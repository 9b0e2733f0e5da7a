#include "BenchFolders.h"

#include <dirent.h>
#include <fcntl.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>
#include <atomic>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <stdexcept>
#include <thread>
#include <vector>

namespace talvane::bench {

namespace {

std::vector<unsigned char> Banner(int seed) {
    std::vector<unsigned char> b(1174, 0);
    auto put32 = [&](int at, uint32_t v) {
        for (int i = 0; i < 4; ++i) b[size_t(at + i)] = (v >> (8 * i)) & 0xFF;
    };
    b[0] = 'B';
    b[1] = 'M';
    put32(2, 1174);
    put32(10, 1078);
    put32(14, 40);
    put32(18, 12);
    put32(22, 8);
    b[26] = 1;
    b[28] = 8;
    put32(34, 96);
    put32(46, 256);
    for (int i = 0; i < 256; ++i) {
        b[size_t(54 + 4 * i)] = (i * 7 + seed) & 0xFF;
        b[size_t(54 + 4 * i + 1)] = (i * 3 + seed * 5) & 0xFF;
        b[size_t(54 + 4 * i + 2)] = (i * 11 + seed * 3) & 0xFF;
    }
    for (int p = 0; p < 96; ++p) b[size_t(1078 + p)] = (p * 5 + seed) & 0xFF;
    return b;
}

void WriteFile(const std::string& path, const void* data, size_t size) {
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0 || ::write(fd, data, size) != ssize_t(size))
        throw std::runtime_error("cannot write " + path);
    ::close(fd);
}

}  // namespace

std::string BenchFolder(const std::string& root, int banners) {
    ::mkdir(root.c_str(), 0755);
    std::string folder = root + "/" + std::to_string(banners);
    std::string done = root + "/." + std::to_string(banners) + ".done";
    if (::access(done.c_str(), F_OK) == 0) return folder;
    ::mkdir(folder.c_str(), 0755);
    char name[64];
    for (int i = 0; i < banners; ++i) {
        std::vector<unsigned char> banner = Banner(i);
        std::snprintf(name, sizeof name, "/banner%06d.bmp", i);
        WriteFile(folder + name, banner.data(), banner.size());
        // As many files that are not banners: wrong size, wrong extension, text, folders.
        switch (i % 4) {
            case 0:
                banner.push_back(0);
                std::snprintf(name, sizeof name, "/long%06d.bmp", i);
                WriteFile(folder + name, banner.data(), banner.size());
                break;
            case 1:
                std::snprintf(name, sizeof name, "/picture%06d.gif", i);
                WriteFile(folder + name, banner.data(), banner.size());
                break;
            case 2:
                std::snprintf(name, sizeof name, "/notes%06d.txt", i);
                WriteFile(folder + name, "some notes\n", 11);
                break;
            default:
                std::snprintf(name, sizeof name, "/folder%06d.bmp", i);
                ::mkdir((folder + name).c_str(), 0755);
                break;
        }
    }
    WriteFile(done, "", 0);
    return folder;
}

namespace {

// What the floor does for one entry: look at it, and read and decode it when it is a banner.
// Adds the banner's pixels to `checksum`; returns whether it was one.
bool FloorEntry(int folderFd, const char* name, uint64_t& checksum) {
    struct stat st {};
    if (::fstatat(folderFd, name, &st, 0) != 0 || !S_ISREG(st.st_mode) || st.st_size != 1174)
        return false;
    size_t len = std::strlen(name);
    if (len < 4 || strcasecmp(name + len - 4, ".bmp") != 0) return false;
    int fd = ::openat(folderFd, name, O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    unsigned char bytes[1174];
    ssize_t n = ::read(fd, bytes, sizeof bytes);
    ::close(fd);
    if (n != 1174) return false;
    uint32_t pixels[96];
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 12; ++x) {
            const unsigned char* c = bytes + 54 + 4 * bytes[1078 + (7 - y) * 12 + x];
            pixels[y * 12 + x] = 0xFF000000u | uint32_t(c[2]) << 16 | uint32_t(c[1]) << 8 | c[0];
        }
    for (uint32_t p : pixels) checksum += p;
    return true;
}

bool IsDotOrDotDot(const char* name) {
    return name[0] == '.' && (name[1] == 0 || (name[1] == '.' && name[2] == 0));
}

}  // namespace

int Floor(const std::string& folder) {
    DIR* dir = ::opendir(folder.c_str());
    if (!dir) throw std::runtime_error("cannot open " + folder);
    int found = 0;
    uint64_t checksum = 0;
    while (dirent* entry = ::readdir(dir))
        if (!IsDotOrDotDot(entry->d_name) && FloorEntry(::dirfd(dir), entry->d_name, checksum))
            ++found;
    ::closedir(dir);
    if (checksum == 42) std::fputs("", stderr);  // keep the work observable
    return found;
}

int ParallelFloor(const std::string& folder, int threads) {
    DIR* dir = ::opendir(folder.c_str());
    if (!dir) throw std::runtime_error("cannot open " + folder);
    std::vector<std::string> names;
    while (dirent* entry = ::readdir(dir))
        if (!IsDotOrDotDot(entry->d_name)) names.emplace_back(entry->d_name);
    std::atomic<size_t> next{0};
    std::atomic<int> found{0};
    std::atomic<uint64_t> total{0};
    std::vector<std::thread> readers;
    for (int t = 0; t < threads; ++t)
        readers.emplace_back([&] {
            uint64_t checksum = 0;
            int mine = 0;
            for (size_t i; (i = next.fetch_add(1)) < names.size();)
                if (FloorEntry(::dirfd(dir), names[i].c_str(), checksum)) ++mine;
            found += mine;
            total += checksum;
        });
    for (std::thread& reader : readers) reader.join();
    ::closedir(dir);
    if (total == 42) std::fputs("", stderr);
    return found;
}

void EvictFileData(const std::string& folder) {
    ::sync();
    DIR* dir = ::opendir(folder.c_str());
    if (!dir) throw std::runtime_error("cannot open " + folder);
    while (dirent* entry = ::readdir(dir)) {
        if (entry->d_type != DT_REG) continue;
        int fd = ::openat(::dirfd(dir), entry->d_name, O_RDONLY | O_CLOEXEC);
        if (fd < 0) continue;
        ::posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED);
        ::close(fd);
    }
    ::closedir(dir);
}

}  // namespace talvane::bench
