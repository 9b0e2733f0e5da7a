#pragma once
// Loading a picture file the way a picture loader does: by its content, whatever its name.

#include <QImage>
#include <cstddef>
#include <cstdint>
#include <string>

namespace talvane {

// Decodes the picture in the file at `path`. Only regular files are opened (a FIFO or device
// is never opened, let alone waited on). Fails with errInvalidPicture when the content is not a
// picture Qt can read, and with the file error otherwise. `folderFd`, when given, is the folder
// holding the file, open for reading.
QImage LoadPicture(const std::string& path, int folderFd = -1);

// Decodes a picture held in memory; a null image when it is not a readable picture.
// Banners take the quick way (DecodeBanner); anything else goes through Qt's image reader.
// Either way the pixels are the ones Qt's reader gives for the same bytes.
QImage DecodePicture(const QByteArray& bytes);

// DecodePicture without the quick way: Qt's image reader alone. Pixels a picture does not
// supply (data cut short, run-length pictures that skip pixels) are 0 rather than whatever
// the memory held.
QImage DecodePictureWithReader(const QByteArray& bytes);

inline constexpr int kBannerWidth = 12;
inline constexpr int kBannerHeight = 8;

// Whether an errno from looking a name up means that it names no file to read: gone since it
// was listed, or a link that leads nowhere (a missing or looping target, or one no file can
// be named by).
bool NamesNoFile(int err);

// What reading a file of a banner's name in an open folder finds, judged on the file the name
// holds when it is opened, never on an earlier look at it.
struct BannerRead {
    enum Kind {
        NotABanner,  // no regular file (any more), or not of the size asked for (now)
        Decoded,     // a banner: its pixels are written
        Undecoded,   // of the size asked for, but not a plain banner: `bytes` holds it
        Failed       // it cannot be opened or read: `error` is the errno
    } kind = NotABanner;
    int error = 0;
    std::string bytes;
};

// Reads the file `name` in `folderFd`, links followed, when it is a regular file of `size`
// bytes, and decodes it when it is exactly a banner. Nothing but a regular file is ever
// opened for reading: the name is looked up without opening what it holds, judged on that,
// and opened through it, so a FIFO or device put in its place meanwhile is not. A `plain`
// name, one the folder listed as a regular file and not a link, is looked at, opened
// without following a link, and judged again by what reading it gives (a FIFO swapped in
// between is opened without waiting, and never taken). A file that changes meanwhile is
// judged by what it is when read; a read interrupted again and again fails.
// Safe on any thread: no Qt, nothing shared.
void ReadBanner(int folderFd, const char* name, bool plain, uint64_t size, QRgb* pixels,
                BannerRead& out);

// The picture of a banner's decoded pixels (kBannerWidth x kBannerHeight, top row first).
QImage BannerImage(const QRgb* pixels);

// Decodes a banner without Qt: a BMP with a 40-byte info header, 12 x 8 pixels (bottom-up,
// or top-down with height -8), one plane, 8 bits a pixel, uncompressed, a palette of 1 to
// 256 colours (0 meaning 256), every pixel naming one of them, and the pixel data where the
// file header says, after the palette and wholly inside `size`. Writes the 96 pixels, top
// row first, as opaque premultiplied ARGB: what Qt's reader gives for the same bytes once
// converted to Format_ARGB32_Premultiplied. Returns false, with `out` unspecified, for
// anything else; the caller then asks Qt's reader.
bool DecodeBanner(const char* data, size_t size, QRgb* out);

}  // namespace talvane
