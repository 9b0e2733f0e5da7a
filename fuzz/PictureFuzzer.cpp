// Feeds arbitrary files through the picture loading a scan does: decoding by content, then
// storing the picture at the image list's size. Nothing may crash, hang, read out of bounds
// or leave a picture of another size in the store; and what the quick banner decoder takes,
// Qt's reader must decode to the very same pixels, writing every one of them.

#include <QBuffer>
#include <QCoreApplication>
#include <QImage>
#include <QImageReader>
#include <cstdint>
#include <cstdlib>
#include <optional>

#include "app/platform/ImageList.h"
#include "app/platform/LoadPicture.h"
#include "app/platform/RuntimeError.h"

namespace {

// Every file a scan decodes is exactly 1174 bytes long.
constexpr qsizetype kBannerFileSize = 1174;

// Damaged files make Qt complain on every input (a seek beyond the end, say); that is noise.
void Quiet(QtMsgType, const QMessageLogContext&, const QString&) {}

// Qt's reader alone. With `fill`, it decodes into a picture of the size and format it
// announces, filled with `fill` first: pixels it does not write keep the fill.
QImage ReaderPicture(const QByteArray& bytes, std::optional<uint> fill) {
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    reader.setDecideFormatFromContent(true);
    QImage picture;
    if (fill) {
        const QSize size = reader.size();
        if (size.width() > 0 && size.height() != 0 && size.width() < 4096 &&
            qAbs(size.height()) < 4096) {
            picture = QImage(size.width(), qAbs(size.height()), reader.imageFormat());
            picture.fill(*fill);
        }
    }
    if (!reader.read(&picture)) return {};
    return picture.convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

bool SamePixels(const QImage& a, const QImage& b) {
    if (a.isNull() || b.isNull()) return a.isNull() == b.isNull();
    return a.convertToFormat(QImage::Format_ARGB32_Premultiplied) ==
           b.convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

// Decodes `bytes` as a scan does, checking the quick way against Qt's reader.
QImage Check(const QByteArray& bytes) {
    QRgb quick[talvane::kBannerWidth * talvane::kBannerHeight];
    const bool banner = talvane::DecodeBanner(bytes.constData(), size_t(bytes.size()), quick);
    const QImage decoded = talvane::DecodePicture(bytes);
    if (!banner) {
        // Both sides are Qt's reader; they must still agree, or it showed stray memory.
        if (!SamePixels(decoded, talvane::DecodePictureWithReader(bytes))) std::abort();
        return decoded;
    }
    if (decoded.size() != QSize(talvane::kBannerWidth, talvane::kBannerHeight) ||
        decoded.format() != QImage::Format_ARGB32_Premultiplied)
        std::abort();
    for (std::optional<uint> fill :
         {std::optional<uint>(), std::optional<uint>(0u), std::optional<uint>(~0u)}) {
        const QImage qt = ReaderPicture(bytes, fill);
        if (qt.size() != decoded.size()) std::abort();
        for (int y = 0; y < talvane::kBannerHeight; ++y)
            for (int x = 0; x < talvane::kBannerWidth; ++x) {
                const QRgb want = qt.pixel(x, y);
                if (quick[y * talvane::kBannerWidth + x] != want || decoded.pixel(x, y) != want)
                    std::abort();
            }
    }
    return decoded;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    qInstallMessageHandler(Quiet);
    // Image format plugins are found as in the program, through the application.
    static QCoreApplication app(*argc, *argv);
    // Qt sets up its image handlers once, on first use: do it before inputs are timed and
    // checked for leaks.
    talvane::DecodePicture(QByteArray("BM"));
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray raw(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    QImage picture = Check(raw);
    QByteArray bytes = raw.left(kBannerFileSize);
    bytes.resize(kBannerFileSize, '\0');
    if (bytes != raw) picture = Check(bytes);

    if (picture.isNull()) return 0;
    talvane::ImageList store(talvane::kBannerWidth, talvane::kBannerHeight);
    store.ListImages().Add("banner", picture);
    if (store.ListImages()("banner").Picture().size() !=
        QSize(talvane::kBannerWidth, talvane::kBannerHeight))
        std::abort();
    return 0;
}
