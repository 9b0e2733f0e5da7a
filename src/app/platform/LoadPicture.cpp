#include "app/platform/LoadPicture.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <QBuffer>
#include <QImageReader>
#include <cerrno>
#include <cstdint>
#include <cstring>

#include "app/platform/Names.h"
#include "app/platform/RuntimeError.h"

namespace talvane {

namespace {

// Pictures larger than this are refused before they are read: a banner folder holds
// tiny bitmaps, and a huge file named like one must not exhaust memory.
constexpr off_t kLargestPicture = 64 * 1024 * 1024;
// Nor is a picture decoded that claims more pixels than this.
constexpr qint64 kLargestPixelCount = 16LL * 1024 * 1024;

uint16_t Le16(const unsigned char* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }

uint32_t Le32(const unsigned char* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

class FileHandle {
public:
    explicit FileHandle(int fd) : fd_(fd) {}
    ~FileHandle() {
        if (fd_ >= 0) ::close(fd_);
    }
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;
    int get() const { return fd_; }

private:
    int fd_;
};

// How a picture file is opened. O_NONBLOCK: opening a FIFO must not wait for a writer.
constexpr int kReadingFlags = O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY;

// The file's name within its folder: in an open folder the file is found by its name alone,
// without walking the whole path again.
const char* NameInFolder(const std::string& path) {
    return path.c_str() + (path.size() - BaseNameView(path).size());
}

int OpenForReading(const std::string& path, int folderFd) {
    if (folderFd < 0) return ::open(path.c_str(), kReadingFlags);
    return ::openat(folderFd, NameInFolder(path), kReadingFlags);
}

QByteArray ReadRegularFile(const std::string& path, int folderFd) {
    FileHandle file(OpenForReading(path, folderFd));
    if (file.get() < 0) throw ErrorFromErrno(errno, path);
    struct stat st {};
    if (::fstat(file.get(), &st) != 0) throw ErrorFromErrno(errno, path);
    if (!S_ISREG(st.st_mode))
        throw RuntimeError(errPathFileAccess,
                           QStringLiteral("Path/File access error (not a regular file): \"%1\"")
                               .arg(DisplayName(path)));
    if (st.st_size > kLargestPicture)
        throw RuntimeError(
            errInvalidPicture,
            QStringLiteral("Invalid picture (file too large): \"%1\"").arg(DisplayName(path)));
    QByteArray bytes(static_cast<qsizetype>(st.st_size), Qt::Uninitialized);
    qsizetype done = 0;
    while (done < bytes.size()) {
        ssize_t n =
            ::read(file.get(), bytes.data() + done, static_cast<size_t>(bytes.size() - done));
        if (n < 0) {
            if (errno == EINTR) continue;
            throw ErrorFromErrno(errno, path);
        }
        if (n == 0) break;  // the file shrank meanwhile: decode what is there
        done += n;
    }
    bytes.truncate(done);
    return bytes;
}

}  // namespace

QImage BannerImage(const QRgb* pixels) {
    QImage picture(kBannerWidth, kBannerHeight, QImage::Format_ARGB32_Premultiplied);
    if (picture.isNull()) return picture;
    for (int y = 0; y < kBannerHeight; ++y)
        std::memcpy(picture.scanLine(y), pixels + y * kBannerWidth, sizeof(QRgb) * kBannerWidth);
    return picture;
}

bool ReadBannerPixels(int folderFd, const char* name, QRgb* pixels) {
    char buffer[4096];
    FileHandle file(::openat(folderFd, name, kReadingFlags));
    if (file.get() < 0) return false;
    ssize_t n;
    do n = ::read(file.get(), buffer, sizeof buffer);
    while (n < 0 && errno == EINTR);
    return n > 0 && n < ssize_t(sizeof buffer) && DecodeBanner(buffer, size_t(n), pixels);
}

bool DecodeBanner(const char* data, size_t size, QRgb* out) {
    constexpr size_t kHeaders = 14 + 40;        // file header, BITMAPINFOHEADER
    constexpr size_t kRowBytes = kBannerWidth;  // 12 one-byte pixels: already 4-byte aligned
    constexpr size_t kPixelBytes = kRowBytes * kBannerHeight;
    if (!data || size < kHeaders) return false;
    const auto* file = reinterpret_cast<const unsigned char*>(data);
    if (file[0] != 'B' || file[1] != 'M') return false;
    // The file size and reserved words are not looked at: Qt's reader ignores them too.
    const uint32_t offset = Le32(file + 10);

    const unsigned char* info = file + 14;
    if (Le32(info) != 40) return false;  // V4/V5 headers bring masks and alpha
    const auto width = static_cast<int32_t>(Le32(info + 4));
    const auto height = static_cast<int32_t>(Le32(info + 8));
    if (width != kBannerWidth || (height != kBannerHeight && height != -kBannerHeight))
        return false;
    if (Le16(info + 12) != 1 || Le16(info + 14) != 8 || Le32(info + 16) != 0) return false;
    // The image size, resolution and important-colour count do not change the pixels.
    uint32_t colours = Le32(info + 32);
    if (colours == 0) colours = 256;
    if (colours > 256) return false;  // Qt refuses the picture

    // Qt reads the pixels from the palette's end when the offset points before it, and from
    // the palette's end again when the offset lies beyond the file; rows cut short leave
    // pixels Qt never writes. None of that is a banner: those go to Qt.
    const unsigned char* palette = file + kHeaders;
    const size_t paletteEnd = kHeaders + 4 * size_t(colours);
    if (offset < paletteEnd || offset > size || size - offset < kPixelBytes) return false;

    const unsigned char* pixels = file + offset;
    for (int row = 0; row < kBannerHeight; ++row) {
        const unsigned char* from = pixels + size_t(row) * kRowBytes;
        // Bottom-up unless the height is negative.
        QRgb* to = out + (height > 0 ? kBannerHeight - 1 - row : row) * kBannerWidth;
        for (int x = 0; x < kBannerWidth; ++x) {
            const unsigned index = from[x];
            if (index >= colours) return false;  // Qt leaves such a pixel transparent
            const unsigned char* bgrx = palette + 4 * index;
            to[x] = qRgb(bgrx[2], bgrx[1], bgrx[0]);  // the fourth byte is not alpha to Qt
        }
    }
    return true;
}

QImage DecodePictureWithReader(const QByteArray& bytes) {
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);  // format sniffed from the content
    reader.setDecideFormatFromContent(true);
    // A picture file's header can claim any size; refuse absurd ones before allocating.
    // A top-down bitmap reports a negative height.
    const QSize size = reader.size();
    const qint64 width = size.width();
    const qint64 height = qAbs(qint64(size.height()));
    if (width <= 0 || height <= 0) return reader.read();
    if (width * height > kLargestPixelCount) return {};
    // Qt's reader decodes into a picture of the right size and format instead of allocating
    // one, and leaves pixels the file does not supply as they were: start them at 0.
    const QImage::Format format = reader.imageFormat();
    if (format == QImage::Format_Invalid) return reader.read();
    QImage picture(int(width), int(height), format);
    if (picture.isNull()) return {};
    picture.fill(0);
    if (!reader.read(&picture)) return {};
    return picture;
}

QImage DecodePicture(const QByteArray& bytes) {
    QRgb pixels[kBannerWidth * kBannerHeight];
    if (!DecodeBanner(bytes.constData(), size_t(bytes.size()), pixels))
        return DecodePictureWithReader(bytes);
    return BannerImage(pixels);
}

QImage LoadPicture(const std::string& path, int folderFd) {
    if (folderFd >= 0) {
        // A banner in a folder being listed, where the listing has just seen a regular file,
        // is read the quick way first; anything else is read again the careful way below,
        // with its checks and messages.
        QRgb pixels[kBannerWidth * kBannerHeight];
        if (ReadBannerPixels(folderFd, NameInFolder(path), pixels)) return BannerImage(pixels);
    }
    QImage picture = DecodePicture(ReadRegularFile(path, folderFd));
    if (picture.isNull())
        throw RuntimeError(errInvalidPicture,
                           QStringLiteral("Invalid picture: \"%1\"").arg(DisplayName(path)));
    return picture;
}

}  // namespace talvane
