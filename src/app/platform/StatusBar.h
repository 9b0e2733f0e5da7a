#pragma once
// The status bar: panels addressed by a 1-based index, docked along the bottom of a form.

#include <QString>
#include <QWidget>
#include <vector>

class QLabel;

namespace talvane {

enum PanelAutoSize { sbrNoAutoSize = 0, sbrSpring = 1, sbrContents = 2 };

class Panel {
public:
    explicit Panel(QLabel* label, QString key) : label_(label), key_(std::move(key)) {}
    const QString& Key() const { return key_; }
    QString Text() const;
    void SetText(const QString& text);
    QString ToolTipText() const;

private:
    QLabel* label_;
    QString key_;
};

class StatusBar : public QWidget {
    Q_OBJECT
public:
    explicit StatusBar(QWidget* parent);

    // Adds a panel at the right end.
    void AddPanel(const QString& key, const QString& text, const QString& toolTip,
                  PanelAutoSize autoSize, float minWidthTwips);
    // Panel `index`, 1-based; fails with errIndexOutOfBounds for any other index.
    Panel& Panels(int index);
    int PanelCount() const { return static_cast<int>(panels_.size()); }

    // Paints at once, not when control next returns to the event loop.
    void Refresh();
    float Height() const;
    // The height in pixels the bar asks for.
    int BarHeight() const;

private:
    std::vector<Panel> panels_;
};

}  // namespace talvane
