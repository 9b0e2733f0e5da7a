#include "app/platform/LoadPicture.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <QBuffer>
#include <QImageReader>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "app/platform/Names.h"
#include "app/platform/RuntimeError.h"
#include "app/platform/UniqueFd.h"

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

// How a picture file is opened for reading. O_NONBLOCK: should a FIFO be opened after all,
// it must not wait for a writer.
constexpr int kReadingFlags = O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY;
// A read interrupted this many times in a row is taken to fail: a file system that answers
// every read so would otherwise keep the scan going round for ever.
constexpr int kInterruptedReads = 64;

// The file's name within its folder: in an open folder the file is found by its name alone,
// without walking the whole path again.
const char* NameInFolder(const std::string& path) {
    return path.c_str() + (path.size() - BaseNameView(path).size());
}

// Looks `name` up, links followed, without opening what it holds for reading (a FIFO or
// device so found is neither opened nor woken).
int LookUp(int folderFd, const char* name) {
    return ::openat(folderFd < 0 ? AT_FDCWD : folderFd, name, O_PATH | O_CLOEXEC);
}

// The file `found` (a LookUp) refers to, opened for reading: through the process's own table
// of descriptors, so it is that very file and not whatever its name holds by now. Without
// /proc, by name, and only if that is still the same file.
int OpenFound(int found, int folderFd, const char* name, const struct stat& st) {
    static const int descriptors = ::open("/proc/self/fd", O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (descriptors >= 0) {
        char number[16];
        std::snprintf(number, sizeof number, "%d", found);
        return ::openat(descriptors, number, kReadingFlags);
    }
    const int fd = ::openat(folderFd < 0 ? AT_FDCWD : folderFd, name, kReadingFlags);
    struct stat now {};
    if (fd >= 0 && (::fstat(fd, &now) != 0 || now.st_dev != st.st_dev || now.st_ino != st.st_ino)) {
        ::close(fd);
        errno = ENOENT;  // another file took the name meanwhile
        return -1;
    }
    return fd;
}

// Reads up to `size` bytes from the start: how many, or -1 with errno.
ssize_t ReadFrom(int fd, char* to, size_t size) {
    size_t done = 0;
    for (int interrupted = 0; done < size;) {
        const ssize_t n = ::pread(fd, to + done, size - done, off_t(done));
        if (n < 0) {
            if (errno == EINTR && ++interrupted < kInterruptedReads) continue;
            return -1;
        }
        if (n == 0) break;
        done += size_t(n);
        interrupted = 0;
    }
    return ssize_t(done);
}

QByteArray ReadRegularFile(const std::string& path, int folderFd) {
    const char* name = folderFd < 0 ? path.c_str() : NameInFolder(path);
    UniqueFd found(LookUp(folderFd, name));
    if (found.get() < 0) throw ErrorFromErrno(errno, path);
    struct stat st {};
    if (::fstat(found.get(), &st) != 0) throw ErrorFromErrno(errno, path);
    if (!S_ISREG(st.st_mode))
        throw RuntimeError(errPathFileAccess,
                           QStringLiteral("Path/File access error (not a regular file): \"%1\"")
                               .arg(DisplayName(path)));
    if (st.st_size > kLargestPicture)
        throw RuntimeError(
            errInvalidPicture,
            QStringLiteral("Invalid picture (file too large): \"%1\"").arg(DisplayName(path)));
    UniqueFd file(OpenFound(found.get(), folderFd, name, st));
    if (file.get() < 0) throw ErrorFromErrno(errno, path);
    QByteArray bytes(static_cast<qsizetype>(st.st_size), Qt::Uninitialized);
    const ssize_t n = ReadFrom(file.get(), bytes.data(), size_t(bytes.size()));
    if (n < 0) throw ErrorFromErrno(errno, path);
    bytes.truncate(qsizetype(n));  // the file shrank meanwhile: decode what is there
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

bool NamesNoFile(int err) {
    return err == ENOENT || err == ENOTDIR || err == ELOOP || err == ENAMETOOLONG;
}

void ReadBanner(int folderFd, const char* name, bool plain, uint64_t size, QRgb* pixels,
                BannerRead& out) {
    out.kind = BannerRead::NotABanner;
    out.error = 0;
    auto fail = [&](int err) {
        out.kind = BannerRead::Failed;
        out.error = err;
    };
    char buffer[4096];
    if (size >= sizeof buffer) return;  // not a banner's size: for the careful way
    struct stat st {};
    int opened = -1;
    if (plain) {
        // Looked at, then opened without following a link. What was opened is judged by the
        // read: a FIFO or a file cut short swapped in meanwhile reads short and is looked at
        // again. Should it have become a link, or the open fail, it is looked up the other
        // way, which judges the file without opening it and tells a gone file from one that
        // cannot be read.
        if (::fstatat(folderFd, name, &st, AT_SYMLINK_NOFOLLOW) != 0) {
            if (!NamesNoFile(errno)) fail(errno);
            return;
        }
        if (!S_ISLNK(st.st_mode)) {
            if (!S_ISREG(st.st_mode) || uint64_t(st.st_size) != size) return;
            opened = ::openat(folderFd, name, kReadingFlags | O_NOFOLLOW);
        }
    }
    UniqueFd found(opened >= 0 ? -1 : LookUp(folderFd, name));
    if (opened < 0) {
        if (found.get() < 0) {
            if (!NamesNoFile(errno)) fail(errno);
            return;
        }
        if (::fstat(found.get(), &st) != 0) return fail(errno);
        if (!S_ISREG(st.st_mode) || uint64_t(st.st_size) != size) return;
    }
    UniqueFd file(opened >= 0 ? opened : OpenFound(found.get(), folderFd, name, st));
    // As long as it was when judged: one read, and none more to find the end.
    ssize_t n = file.get() < 0 ? -1 : ReadFrom(file.get(), buffer, size);
    // A file rewritten meanwhile (cut short, then written again) is read again as it is now.
    for (int again = 0; n >= 0 && uint64_t(n) != size && again < 3; ++again) {
        if (::fstat(file.get(), &st) != 0 || uint64_t(st.st_size) != size) return;  // not now
        n = ReadFrom(file.get(), buffer, size);
    }
    if (n < 0) {
        // The file could not be opened or read. It may have gone or changed meanwhile (a file
        // system may then answer with an error that is not the cause): what its name holds
        // now decides, by the same test as before.
        const int err = errno;
        struct stat now {};
        if (::fstatat(folderFd < 0 ? AT_FDCWD : folderFd, name, &now, 0) != 0)
            NamesNoFile(errno) ? void() : fail(err);
        else if (S_ISREG(now.st_mode) && uint64_t(now.st_size) == size)
            fail(err);
        return;
    }
    if (DecodeBanner(buffer, size_t(n), pixels)) {
        out.kind = BannerRead::Decoded;
        return;
    }
    out.kind = BannerRead::Undecoded;
    out.bytes.assign(buffer, size_t(n));
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
    QImage picture = DecodePicture(ReadRegularFile(path, folderFd));
    if (picture.isNull()) throw InvalidPicture(path);
    return picture;
}

}  // namespace talvane
