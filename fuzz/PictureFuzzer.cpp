// Feeds arbitrary banner-sized files through the picture loading a scan does: decoding by
// content, then storing the picture at the image list's size. Nothing may crash, hang,
// read out of bounds or leave a picture of another size in the store.

#include <QImage>
#include <cstdint>
#include <cstdlib>

#include "app/platform/ImageList.h"
#include "app/platform/LoadPicture.h"
#include "app/platform/RuntimeError.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // Every file a scan decodes is exactly 1174 bytes long.
    QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(std::min<size_t>(size, 1174)));
    bytes.resize(1174, '\0');

    QImage picture = talvane::DecodePicture(bytes);
    if (picture.isNull()) return 0;
    talvane::ImageList store(12, 8);
    store.ListImages().Add("banner", picture);
    if (store.ListImages()("banner").Picture().size() != QSize(12, 8)) std::abort();
    return 0;
}
