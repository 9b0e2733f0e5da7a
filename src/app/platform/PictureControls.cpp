#include "app/platform/PictureControls.h"

#include <QPainter>

namespace talvane {

void PictureBox::SetPicture(const QImage& picture) {
    picture_ = picture;
    // A box placed wholly outside its parent is never seen: nothing to repaint.
    if (!parentWidget() || geometry().intersects(parentWidget()->rect())) update();
}

void PictureBox::paintEvent(QPaintEvent*) {
    if (picture_.isNull()) return;
    QPainter painter(this);
    painter.drawImage(QPoint(0, 0), picture_);
}

void ImageControl::SetPicture(const QImage& picture) {
    picture_ = picture;
    update();
}

void ImageControl::SetStretch(bool stretch) {
    stretch_ = stretch;
    update();
}

void ImageControl::paintEvent(QPaintEvent*) {
    if (picture_.isNull()) return;
    QPainter painter(this);
    // Nearest-neighbour: each pixel of a tiny picture becomes a sharp block, also on
    // scaled screens.
    painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
    if (stretch_)
        painter.drawImage(rect(), picture_);
    else
        painter.drawImage(QPoint(0, 0), picture_);
}

}  // namespace talvane
