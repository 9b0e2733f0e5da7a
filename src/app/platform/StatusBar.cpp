#include "app/platform/StatusBar.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>

#include "app/platform/OneLine.h"
#include "app/platform/RuntimeError.h"
#include "app/platform/Screen.h"

namespace talvane {

namespace {

// A panel's label: its text takes one line, a line break or other control character in it
// drawn as a symbol, and a text too long for the panel loses its middle, not its end, so a
// path still shows the file's name. The label's text, and what a screen reader hears, stay
// whole.
class PanelLabel : public QLabel {
public:
    using QLabel::QLabel;

protected:
    void paintEvent(QPaintEvent* event) override {
        const QRect area = contentsRect();
        const QString shown = OneLine(text());
        if (shown == text() && fontMetrics().horizontalAdvance(shown) <= area.width()) {
            QLabel::paintEvent(event);
            return;
        }
        QFrame::paintEvent(event);  // the sunken frame
        QPainter painter(this);
        painter.setPen(palette().color(foregroundRole()));
        painter.drawText(area, Qt::AlignLeft | Qt::AlignVCenter,
                         fontMetrics().elidedText(shown, Qt::ElideMiddle, area.width()));
    }
};

}  // namespace

QString Panel::Text() const { return label_->text(); }

void Panel::SetText(const QString& text) {
    label_->setText(text);
    // Screen readers read what the panel says; its key tells which panel it is.
    label_->setAccessibleName(text);
}

QString Panel::ToolTipText() const { return label_->toolTip(); }

StatusBar::StatusBar(QWidget* parent) : QWidget(parent) {
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(1, 1, 1, 1);
    layout->setSpacing(2);
    setFixedHeight(BarHeight());
}

int StatusBar::BarHeight() const {
    // 255 twips, unless the font needs more.
    return std::max(TwipsToPixels(255), fontMetrics().height() + 4);
}

void StatusBar::AddPanel(const QString& key, const QString& text, const QString& toolTip,
                         PanelAutoSize autoSize, float minWidthTwips) {
    auto* label = new PanelLabel(this);
    label->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    label->setContentsMargins(2, 0, 2, 0);
    label->setMinimumWidth(TwipsToPixels(minWidthTwips));
    label->setToolTip(toolTip);
    label->setAccessibleDescription(key);
    label->setTextFormat(Qt::PlainText);
    if (autoSize == sbrSpring) {
        // Springs share what is left; a long text is cut rather than widening the window.
        label->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    } else {
        label->setSizePolicy(QSizePolicy::Minimum, QSizePolicy::Preferred);
    }
    static_cast<QHBoxLayout*>(layout())->addWidget(label, autoSize == sbrSpring ? 1 : 0);
    panels_.emplace_back(label, key);
    panels_.back().SetText(text);
}

Panel& StatusBar::Panels(int index) {
    if (index < 1 || index > PanelCount())
        throw RuntimeError(errIndexOutOfBounds, QStringLiteral("Index out of bounds"));
    return panels_[static_cast<size_t>(index - 1)];
}

void StatusBar::Refresh() { repaint(); }

float StatusBar::Height() const { return float(PixelsToTwips(height())); }

}  // namespace talvane
