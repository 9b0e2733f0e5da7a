// Decoding banners without Qt's reader: the quick way must take ordinary banners and give
// exactly the pixels Qt's reader gives, and leave every other file to Qt.

#include <gtest/gtest.h>
#include <QBuffer>
#include <QImageReader>

#include <functional>

#include "app/platform/LoadPicture.h"
#include "support/BannerFiles.h"

namespace talvane::test {
namespace {

QImage Premultiplied(const QImage& picture) {
    return picture.isNull() ? picture
                            : picture.convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

// What Qt's own reader makes of the bytes, nothing of ours in between.
QImage ReaderPicture(const QByteArray& bytes) {
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    reader.setDecideFormatFromContent(true);
    return Premultiplied(reader.read());
}

// A banner whose pixels are `first`, `first + 1`, ... (mod 256), row by row as stored.
QByteArray CountingBanner(int first) {
    QByteArray b = BannerBytes(3);
    for (int p = 0; p < 96; ++p) b[1078 + p] = char((first + p) & 0xFF);
    return b;
}

QByteArray With(QByteArray b, const std::function<void(QByteArray&)>& change) {
    change(b);
    return b;
}

// A banner whose pixels all name palette entries below `colours`.
QByteArray FewColours(uint32_t colours) {
    return With(BannerBytes(5), [&](QByteArray& b) {
        Put32(b, 46, colours);
        for (int p = 0; p < 96; ++p) b[1078 + p] = char(p % (colours ? colours : 256));
    });
}

// A banner with a longer info header (V4: 108, V5: 124) and the palette moved after it.
QByteArray LongerHeader(uint32_t headerSize) {
    QByteArray b = BannerBytes(7);
    QByteArray extra(int(headerSize) - 40, '\0');
    b.insert(54, extra);
    Put32(b, 10, 1078 + extra.size());
    Put32(b, 14, headerSize);
    return b;
}

TEST(PictureDecodeTest, TheQuickWayTakesBannersAndGivesQtsPixels) {
    struct Case {
        const char* name;
        QByteArray bytes;
        bool quick;  // whether DecodeBanner takes it
    };
    const Case cases[] = {
        {"ordinary", BannerBytes(1), true},
        {"indices 0-95", CountingBanner(0), true},
        {"indices 96-191", CountingBanner(96), true},
        {"indices 160-255", CountingBanner(160), true},
        {"reserved bytes set",
         With(BannerBytes(2),
              [](QByteArray& b) {
                  for (int i = 0; i < 256; ++i) b[57 + 4 * i] = char(i % 3 == 0 ? 0xFF : i);
              }),
         true},
        {"clrUsed 0", FewColours(0), true},
        {"clrUsed 1", FewColours(1), true},
        {"clrUsed 16", FewColours(16), true},
        {"clrUsed 255", FewColours(255), true},
        {"clrUsed 256", FewColours(256), true},
        {"clrUsed 257", With(BannerBytes(1), [](QByteArray& b) { Put32(b, 46, 257); }), false},
        {"clrUsed huge", With(BannerBytes(1), [](QByteArray& b) { Put32(b, 46, 0xFFFFFFFF); }),
         false},
        {"index beyond clrUsed", With(FewColours(16), [](QByteArray& b) { b[1078 + 50] = 16; }),
         false},
        {"clrImportant odd", With(BannerBytes(1), [](QByteArray& b) { Put32(b, 50, 17); }), true},
        {"bfSize 0", With(BannerBytes(1), [](QByteArray& b) { Put32(b, 2, 0); }), true},
        {"bfSize huge", With(BannerBytes(1), [](QByteArray& b) { Put32(b, 2, 0xFFFFFFFF); }), true},
        {"bfReserved set", With(BannerBytes(1), [](QByteArray& b) { Put32(b, 6, 0xDEADBEEF); }),
         true},
        {"biSizeImage odd", With(BannerBytes(1), [](QByteArray& b) { Put32(b, 34, 7); }), true},
        {"no resolution",
         With(BannerBytes(1),
              [](QByteArray& b) {
                  Put32(b, 38, 0);
                  Put32(b, 42, 0);
              }),
         true},
        {"offset 0", With(BannerBytes(1), [](QByteArray& b) { Put32(b, 10, 0); }), false},
        {"offset inside palette", With(BannerBytes(1), [](QByteArray& b) { Put32(b, 10, 1077); }),
         false},
        {"offset after short palette",
         With(FewColours(16),
              [](QByteArray& b) {
                  b.remove(118, 1078 - 118);
                  Put32(b, 10, 118);
              }),
         true},
        {"offset past palette end",
         With(BannerBytes(1),
              [](QByteArray& b) {
                  b.insert(1078, "gap", 3);
                  Put32(b, 10, 1081);
              }),
         true},
        {"offset at end of file", With(BannerBytes(1), [](QByteArray& b) { Put32(b, 10, 1174); }),
         false},
        {"offset beyond file", With(BannerBytes(1), [](QByteArray& b) { Put32(b, 10, 1175); }),
         false},
        {"offset negative", With(BannerBytes(1), [](QByteArray& b) { Put32(b, 10, 0xFFFFFFF0); }),
         false},
        {"top-down", With(BannerBytes(4), [](QByteArray& b) { Put32(b, 22, uint32_t(-8)); }), true},
        {"negative width", With(BannerBytes(1), [](QByteArray& b) { Put32(b, 18, uint32_t(-12)); }),
         false},
        {"height 9", With(BannerBytes(1), [](QByteArray& b) { Put32(b, 22, 9); }), false},
        {"planes 0", With(BannerBytes(1), [](QByteArray& b) { Put16(b, 26, 0); }), false},
        {"planes 2", With(BannerBytes(1), [](QByteArray& b) { Put16(b, 26, 2); }), false},
        {"4 bits",
         With(BannerBytes(1),
              [](QByteArray& b) {
                  Put16(b, 28, 4);
                  Put32(b, 46, 16);
              }),
         false},
        {"24 bits",
         With(BannerBytes(1),
              [](QByteArray& b) {
                  Put16(b, 28, 24);
                  Put32(b, 10, 54);
              }),
         false},
        {"RLE8", With(BannerBytes(1), [](QByteArray& b) { Put32(b, 30, 1); }), false},
        {"bitfields", With(BannerBytes(1), [](QByteArray& b) { Put32(b, 30, 3); }), false},
        {"V4 header", LongerHeader(108), false},
        {"V5 header", LongerHeader(124), false},
        {"header 64", LongerHeader(64), false},
        {"OS/2 header", With(BannerBytes(1), [](QByteArray& b) { Put32(b, 14, 12); }), false},
        {"trailing bytes", BannerBytes(6) + QByteArray(300, '\x7F'), true},
        {"one byte short", BannerBytes(1).left(1173), false},
        {"palette only", BannerBytes(1).left(1078), false},
        {"headers only", BannerBytes(1).left(54), false},
        {"empty", QByteArray(), false},
        {"not BM", With(BannerBytes(1), [](QByteArray& b) { b[1] = 'A'; }), false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QRgb pixels[96];
        EXPECT_EQ(DecodeBanner(c.bytes.constData(), size_t(c.bytes.size()), pixels), c.quick);
        // Qt writes every pixel of what the quick way takes; for the rest both sides are
        // ours and must still agree.
        const QImage expected =
            c.quick ? ReaderPicture(c.bytes) : Premultiplied(DecodePictureWithReader(c.bytes));
        const QImage decoded = DecodePicture(c.bytes);
        ASSERT_EQ(decoded.isNull(), expected.isNull());
        if (expected.isNull()) continue;
        EXPECT_EQ(Premultiplied(decoded), expected);
        if (c.quick) {
            EXPECT_EQ(decoded.format(), QImage::Format_ARGB32_Premultiplied);
            for (int i = 0; i < 96; ++i) ASSERT_EQ(pixels[i], expected.pixel(i % 12, i / 12)) << i;
        }
    }
}

// Qt's reader leaves the pixels a file does not supply as the memory held them; ours are
// palette entry 0 (or 0 for pictures without a palette), the same on every decode.
TEST(PictureDecodeTest, PixelsTheFileDoesNotSupplyAreZero) {
    const QByteArray banner = BannerBytes(9);
    const QRgb first = qRgb(9 * 17 & 0xFF, 9 * 29 & 0xFF, 9 * 13 & 0xFF);  // palette entry 0
    auto stored = [&](int row, int x) {  // the pixel at file row `row`, column `x`
        const unsigned char index = uchar(banner[1100 + row * 12 + x]);
        return qRgb(uchar(banner[56 + 4 * index]), uchar(banner[55 + 4 * index]),
                    uchar(banner[54 + 4 * index]));
    };

    // Pixel data from 1100 in a 1174-byte file: six rows and two pixels, the rest missing.
    QImage cut =
        Premultiplied(DecodePicture(With(banner, [](QByteArray& b) { Put32(b, 10, 1100); })));
    ASSERT_EQ(cut.size(), QSize(12, 8));
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 12; ++x) {
            const int row = 7 - y;  // bottom-up
            const QRgb want = row < 6 || (row == 6 && x < 2) ? stored(row, x) : first;
            ASSERT_EQ(cut.pixel(x, y), want) << x << "," << y;
        }

    // A run-length banner that paints two pixels and ends.
    QByteArray rle = banner.left(1078) + QByteArray("\x02\x05\x00\x01", 4);
    Put32(rle, 30, 1);
    QImage runs = Premultiplied(DecodePicture(rle));
    ASSERT_EQ(runs.size(), QSize(12, 8));
    const QRgb five = qRgb(uchar(banner[56 + 20]), uchar(banner[55 + 20]), uchar(banner[54 + 20]));
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 12; ++x)
            ASSERT_EQ(runs.pixel(x, y), y == 7 && x < 2 ? five : first) << x << "," << y;
}

}  // namespace
}  // namespace talvane::test
