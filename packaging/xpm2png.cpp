// Build-time helper: writes the PNG copy of one of Talvane's XPM icons that the desktop's
// icon theme needs. It reads the XPM with the same Qt reader the program uses for its window
// icon, so the installed icon and the window icon are the same pixels.
//
//   talvane_xpm2png <in.xpm> <size> <out.png>
//
// The picture must be size x size pixels: an XPM of another size would otherwise end up in
// the wrong hicolor directory, where the desktop would scale it blurry. The PNG is written
// to a temporary file and renamed into place, so a failed run never leaves a half-written
// PNG that the build would take as up to date.

#include <QImage>
#include <QSaveFile>
#include <QString>

#include <cstdio>
#include <cstdlib>

int main(int argc, char* argv[]) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: %s <in.xpm> <size> <out.png>\n",
                     argc > 0 ? argv[0] : "talvane_xpm2png");
        return 2;
    }
    const QString in = QString::fromLocal8Bit(argv[1]);
    const QString out = QString::fromLocal8Bit(argv[3]);
    bool sizeOk = false;
    const int size = QString::fromLocal8Bit(argv[2]).toInt(&sizeOk);
    if (!sizeOk || size <= 0) {
        std::fprintf(stderr, "talvane_xpm2png: '%s' is not a size in pixels\n", argv[2]);
        return 2;
    }

    QImage image;
    if (!image.load(in, "XPM")) {
        std::fprintf(stderr, "talvane_xpm2png: cannot read %s as an XPM picture\n", argv[1]);
        return 1;
    }
    if (image.width() != size || image.height() != size) {
        std::fprintf(stderr, "talvane_xpm2png: %s is %dx%d pixels, not %dx%d\n", argv[1],
                     image.width(), image.height(), size, size);
        return 1;
    }
    // Plain 8-bit RGBA is what every icon theme reader handles.
    image = image.convertToFormat(QImage::Format_ARGB32);

    QSaveFile file(out);
    if (!file.open(QIODevice::WriteOnly) || !image.save(&file, "PNG") || !file.commit()) {
        std::fprintf(stderr, "talvane_xpm2png: cannot write %s: %s\n", argv[3],
                     qPrintable(file.errorString()));
        return 1;
    }
    return 0;
}
