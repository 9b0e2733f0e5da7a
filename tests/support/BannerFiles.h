#pragma once
// Banner files for tests: real 12 x 8, 8-bit bitmaps written into a temporary folder that
// is removed afterwards.

#include <QByteArray>
#include <QImage>
#include <cstdint>
#include <string>
#include <vector>

namespace talvane::test {

// Little-endian numbers written into bitmap bytes.
void Put16(QByteArray& b, int at, uint16_t v);
void Put32(QByteArray& b, int at, uint32_t v);

// The names in `folder` but "." and "..", in the order the folder lists them.
std::vector<std::string> NamesInListingOrder(const std::string& folder);
// The same names, sorted (bytes).
std::vector<std::string> NamesIn(const std::string& folder);

// Every byte of the file at `path` (empty when it cannot be opened).
QByteArray ReadFileBytes(const std::string& path);

// A valid banner (1174 bytes) whose pixels and palette depend on `seed`.
QByteArray BannerBytes(int seed);
// The picture a banner of `seed` shows, as Qt decodes it.
QImage BannerPicture(int seed);

class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::string& Path() const { return path_; }
    // The full path of `name` in the folder.
    std::string operator/(const std::string& name) const;

    // Writes `bytes` as `name` and returns its full path.
    std::string Write(const std::string& name, const QByteArray& bytes) const;
    std::string WriteBanner(const std::string& name, int seed) const {
        return Write(name, BannerBytes(seed));
    }

    // The names in the folder, sorted (bytes).
    std::vector<std::string> Names() const;
    bool Exists(const std::string& name) const;
    QByteArray Read(const std::string& name) const;

private:
    std::string path_;
};

}  // namespace talvane::test
