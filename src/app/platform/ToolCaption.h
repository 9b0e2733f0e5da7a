#pragma once
// The caption a window draws for itself where the toolkit's own frame would offer more than
// it should (on Wayland, Qt's frame offers minimise and maximise to every window): the title
// and a close box, and a drag on it moves the window.

#include <QWidget>

class QToolButton;

namespace talvane {

class ToolCaption : public QWidget {
public:
    // A caption for `window`, a top-level window that lays it out itself. Its close box
    // closes the window as the window manager's would.
    explicit ToolCaption(QWidget* window);

protected:
    void resizeEvent(QResizeEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    QToolButton* close_;
};

}  // namespace talvane
