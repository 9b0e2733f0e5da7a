#include "app/platform/ToolCaption.h"

#include <QApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QToolButton>
#include <QWindow>

namespace talvane {

ToolCaption::ToolCaption(QWidget* window) : QWidget(window), close_(new QToolButton(this)) {
    // The desktop's colours, not those of the window's ground.
    QPalette colours = palette();
    for (QPalette::ColorRole role :
         {QPalette::Window, QPalette::WindowText, QPalette::Button, QPalette::ButtonText})
        colours.setColor(role, QApplication::palette().color(role));
    setPalette(colours);
    setAutoFillBackground(true);
    setFixedHeight(fontMetrics().height() + 4);
    close_->setAutoRaise(true);
    close_->setFocusPolicy(Qt::NoFocus);
    close_->setIcon(style()->standardIcon(QStyle::SP_TitleBarCloseButton, nullptr, this));
    close_->setAccessibleName(QStringLiteral("Close"));
    close_->setFixedSize(height() - 2, height() - 2);
    QObject::connect(close_, &QToolButton::clicked, window, &QWidget::close);
}

void ToolCaption::resizeEvent(QResizeEvent*) { close_->move(width() - close_->width() - 1, 1); }

void ToolCaption::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QRect room(3, 0, close_->x() - 6, height());
    painter.drawText(
        room, Qt::AlignLeft | Qt::AlignVCenter,
        fontMetrics().elidedText(window()->windowTitle(), Qt::ElideRight, room.width()));
}

void ToolCaption::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && window()->windowHandle())
        window()->windowHandle()->startSystemMove();
}

}  // namespace talvane
