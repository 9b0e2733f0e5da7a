#pragma once
// Loading a picture file the way a picture loader does: by its content, whatever its name.

#include <QImage>
#include <string>

namespace talvane {

// Decodes the picture in the file at `path`. Only regular files are read (a FIFO or device
// is never waited on). Fails with errInvalidPicture when the content is not a picture Qt can
// read, and with the file error otherwise.
QImage LoadPicture(const std::string& path);

// Decodes a picture held in memory; a null image when it is not a readable picture.
QImage DecodePicture(const QByteArray& bytes);

}  // namespace talvane
