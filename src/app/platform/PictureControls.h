#pragma once
// The picture box (holds a picture) and the image control (shows one, stretched to its own
// size with every pixel kept sharp).

#include <QImage>
#include <QWidget>

class QPainter;

namespace talvane {

// Paints `picture` within `area` (in the painter's coordinates) as whole blocks of k x k
// device pixels, k the largest that fits, centred: on a screen scaled by a fraction every
// pixel of a tiny picture still comes out the same size.
void DrawWholeBlocks(QPainter* painter, const QRectF& area, const QImage& picture);

class PictureBox : public QWidget {
    Q_OBJECT
public:
    explicit PictureBox(QWidget* parent) : QWidget(parent) {}
    const QImage& Picture() const { return picture_; }
    void SetPicture(const QImage& picture);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QImage picture_;
};

class ImageControl : public QWidget {
    Q_OBJECT
public:
    explicit ImageControl(QWidget* parent) : QWidget(parent) {}
    const QImage& Picture() const { return picture_; }
    void SetPicture(const QImage& picture);
    bool Stretch() const { return stretch_; }
    void SetStretch(bool stretch);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QImage picture_;
    bool stretch_ = false;
};

}  // namespace talvane
