#include "app/platform/ToolCaption.h"

#include <QApplication>
#include <QEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QToolButton>
#include <QWindow>

namespace talvane {

ToolCaption::ToolCaption(QWidget* window, bool spansWindow)
    : QWidget(window), close_(new QToolButton(this)), spansWindow_(spansWindow) {
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
    // The title is painted: a new one is painted at once.
    window->installEventFilter(this);
}

bool ToolCaption::eventFilter(QObject* watched, QEvent* event) {
    if (watched == parentWidget()) {
        if (event->type() == QEvent::WindowTitleChange) update();
        if (event->type() == QEvent::Resize && spansWindow_)
            setGeometry(0, 0, parentWidget()->width(), height());
    }
    return false;
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

void DrawOwnCaption(QWidget* window) {
    // Qt drops the frameless hint beside any hint for the frame: the window's type alone.
    window->setWindowFlags((window->windowFlags() & Qt::WindowType_Mask) | Qt::FramelessWindowHint);
    auto* caption = new ToolCaption(window, true);
    // The window's layout keeps below it, and counts it in the size it asks for, whenever
    // it is laid out again.
    QMargins margins = window->contentsMargins();
    margins.setTop(margins.top() + caption->height());
    window->setContentsMargins(margins);
    caption->setGeometry(0, 0, window->width(), caption->height());
    caption->raise();
}

}  // namespace talvane
