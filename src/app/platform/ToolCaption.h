#pragma once
// The caption a window draws for itself where the toolkit's own frame would offer more than
// it should (on Wayland, Qt's frame offers minimise and maximise to every window): the title
// and a close box, and a drag on it moves the window.

#include <QWidget>

class QToolButton;

namespace talvane {

class ToolCaption : public QWidget {
public:
    // A caption for `window`, a top-level window that lays it out itself, or that it spans
    // from edge to edge along its top. Its close box closes the window as the window
    // manager's would.
    explicit ToolCaption(QWidget* window, bool spansWindow = false);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    QToolButton* close_;
    bool spansWindow_;
};

// Takes `window` (a dialog not yet shown, laid out by a layout of its own) out of the
// toolkit's frame and gives it a ToolCaption along its top, above what its layout holds.
void DrawOwnCaption(QWidget* window);

}  // namespace talvane
