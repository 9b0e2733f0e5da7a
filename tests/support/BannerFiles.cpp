#include "support/BannerFiles.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>

namespace talvane::test {

void Put16(QByteArray& b, int at, uint16_t v) {
    b[at] = char(v & 0xFF);
    b[at + 1] = char(v >> 8);
}

void Put32(QByteArray& b, int at, uint32_t v) {
    for (int i = 0; i < 4; ++i) b[at + i] = char((v >> (8 * i)) & 0xFF);
}

QByteArray BannerBytes(int seed) {
    QByteArray b(1174, '\0');
    b[0] = 'B';
    b[1] = 'M';
    Put32(b, 2, 1174);
    Put32(b, 10, 1078);
    Put32(b, 14, 40);
    Put32(b, 18, 12);
    Put32(b, 22, 8);
    Put16(b, 26, 1);
    Put16(b, 28, 8);
    Put32(b, 30, 0);
    Put32(b, 34, 96);
    Put32(b, 38, 2835);
    Put32(b, 42, 2835);
    Put32(b, 46, 256);
    for (int i = 0; i < 256; ++i) {
        b[54 + 4 * i] = char((i * 7 + seed * 13) & 0xFF);       // blue
        b[54 + 4 * i + 1] = char((i * 3 + seed * 29) & 0xFF);   // green
        b[54 + 4 * i + 2] = char((i * 11 + seed * 17) & 0xFF);  // red
    }
    for (int p = 0; p < 96; ++p) b[1078 + p] = char((p * 5 + seed * 31) & 0xFF);
    return b;
}

QImage BannerPicture(int seed) {
    return QImage::fromData(BannerBytes(seed)).convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

TempFolder::TempFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "talvane-test-XXXXXX").string();
    if (!::mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
}

TempFolder::~TempFolder() {
    // Give back write and search permission first, so nothing a test locked stays behind.
    std::error_code ec;
    for (auto it = std::filesystem::recursive_directory_iterator(
             path_, std::filesystem::directory_options::skip_permission_denied, ec);
         it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
        if (it->is_directory(ec) && !it->is_symlink(ec)) ::chmod(it->path().c_str(), 0700);
    }
    ::chmod(path_.c_str(), 0700);
    std::filesystem::remove_all(path_, ec);
}

std::string TempFolder::operator/(const std::string& name) const { return path_ + "/" + name; }

std::string TempFolder::Write(const std::string& name, const QByteArray& bytes) const {
    std::string path = *this / name;
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) throw std::runtime_error("cannot write " + path);
    ssize_t written = ::write(fd, bytes.constData(), size_t(bytes.size()));
    ::close(fd);
    if (written != bytes.size()) throw std::runtime_error("short write " + path);
    return path;
}

std::vector<std::string> TempFolder::Names() const { return NamesIn(path_); }

std::vector<std::string> NamesInListingOrder(const std::string& folder) {
    std::vector<std::string> names;
    DIR* dir = ::opendir(folder.c_str());
    if (!dir) return names;
    while (dirent* e = ::readdir(dir)) {
        std::string name = e->d_name;
        if (name != "." && name != "..") names.push_back(name);
    }
    ::closedir(dir);
    return names;
}

std::vector<std::string> NamesIn(const std::string& folder) {
    std::vector<std::string> names = NamesInListingOrder(folder);
    std::sort(names.begin(), names.end());
    return names;
}

bool TempFolder::Exists(const std::string& name) const {
    struct stat st {};
    return ::lstat((*this / name).c_str(), &st) == 0;
}

QByteArray TempFolder::Read(const std::string& name) const { return ReadFileBytes(*this / name); }

QByteArray ReadFileBytes(const std::string& path) {
    QByteArray bytes;
    // O_NONBLOCK: a FIFO in the folder must not hang the test.
    int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return bytes;
    char buffer[4096];
    ssize_t n;
    while ((n = ::read(fd, buffer, sizeof buffer)) > 0) bytes.append(buffer, n);
    ::close(fd);
    return bytes;
}

}  // namespace talvane::test
