#include "app/platform/PictureControls.h"

#include <QPainter>
#include <algorithm>
#include <cmath>

namespace talvane {

void DrawWholeBlocks(QPainter* painter, const QRectF& area, const QImage& picture) {
    if (picture.isNull() || area.isEmpty()) return;
    painter->save();
    painter->setRenderHint(QPainter::SmoothPixmapTransform, false);
    const QTransform toDevice = painter->deviceTransform();
    if (toDevice.type() > QTransform::TxScale) {
        painter->drawImage(area, picture);
        painter->restore();
        return;
    }
    // The device pixels wholly inside the area; a hair's tolerance for the scale's rounding.
    const QRectF device = toDevice.mapRect(area);
    constexpr double kHair = 1e-4;
    const int left = int(std::ceil(device.left() - kHair));
    const int top = int(std::ceil(device.top() - kHair));
    const int width = int(std::floor(device.right() + kHair)) - left;
    const int height = int(std::floor(device.bottom() + kHair)) - top;
    const int k = std::min(width / picture.width(), height / picture.height());
    if (k < 1) {
        painter->drawImage(area, picture);
        painter->restore();
        return;
    }
    const QRectF blocks(left + (width - k * picture.width()) / 2,
                        top + (height - k * picture.height()) / 2, k * picture.width(),
                        k * picture.height());
    // Each device pixel of `blocks` then samples exactly one pixel of the picture.
    painter->drawImage(toDevice.inverted().mapRect(blocks), picture);
    painter->restore();
}

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
    // Each pixel of a tiny picture becomes a sharp block, also on scaled screens.
    DrawWholeBlocks(&painter, stretch_ ? QRectF(rect()) : QRectF(QPointF(0, 0), picture_.size()),
                    picture_);
}

}  // namespace talvane
