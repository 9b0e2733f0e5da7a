#pragma once
// Loading a picture file the way a picture loader does: by its content, whatever its name.

#include <QImage>
#include <cstddef>
#include <string>

namespace talvane {

// Decodes the picture in the file at `path`. Only regular files are read (a FIFO or device
// is never waited on). Fails with errInvalidPicture when the content is not a picture Qt can
// read, and with the file error otherwise.
// `folderFd`, when given, is the folder holding the file, open for reading.
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

// The quick way to a banner in an open folder: one read of the file `name` (looked up in
// `folderFd`) into a buffer on the stack, decoded only when it holds exactly a banner, all its
// pixels within what was read. False for anything else (a larger file, a special file
// swapped in meanwhile, any other picture, a file that cannot be opened or read), which
// LoadPicture then reads the careful way. Safe on any thread.
bool ReadBannerPixels(int folderFd, const char* name, QRgb* pixels);

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
