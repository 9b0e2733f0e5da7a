#include "app/platform/LoadPicture.h"

#include <QBuffer>
#include <QImageReader>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "app/platform/Names.h"
#include "app/platform/RuntimeError.h"

namespace talvane {

namespace {

// Pictures larger than this are refused before they are read: a banner folder holds
// tiny bitmaps, and a huge file named like one must not exhaust memory.
constexpr off_t kLargestPicture = 64 * 1024 * 1024;

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

QByteArray ReadRegularFile(const std::string& path) {
    // O_NONBLOCK: opening a FIFO must not wait for a writer.
    FileHandle file(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
    if (file.get() < 0) throw ErrorFromErrno(errno, path);
    struct stat st {};
    if (::fstat(file.get(), &st) != 0) throw ErrorFromErrno(errno, path);
    if (!S_ISREG(st.st_mode))
        throw RuntimeError(errPathFileAccess,
                           QStringLiteral("Path/File access error (not a regular file): \"%1\"")
                               .arg(DisplayName(path)));
    if (st.st_size > kLargestPicture)
        throw RuntimeError(errInvalidPicture,
                           QStringLiteral("Invalid picture (file too large): \"%1\"")
                               .arg(DisplayName(path)));
    QByteArray bytes(static_cast<qsizetype>(st.st_size), Qt::Uninitialized);
    qsizetype done = 0;
    while (done < bytes.size()) {
        ssize_t n = ::read(file.get(), bytes.data() + done, static_cast<size_t>(bytes.size() - done));
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

QImage DecodePicture(const QByteArray& bytes) {
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);  // format sniffed from the content
    reader.setDecideFormatFromContent(true);
    // A picture file's header can claim any size; refuse absurd ones before allocating.
    QSize size = reader.size();
    if (size.isValid() && qint64(size.width()) * size.height() > 16LL * 1024 * 1024) return {};
    return reader.read();
}

QImage LoadPicture(const std::string& path) {
    QImage picture = DecodePicture(ReadRegularFile(path));
    if (picture.isNull())
        throw RuntimeError(errInvalidPicture,
                           QStringLiteral("Invalid picture: \"%1\"").arg(DisplayName(path)));
    return picture;
}

}  // namespace talvane
