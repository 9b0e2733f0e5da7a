#pragma once
// A message box's text, shown in a label of a given width: a stretch of it with nowhere to
// break that is wider than the label (a long file name) may break between any two of its
// characters. What is copied from the label is the text as written, without those breaks.

#include <QString>
#include <vector>

class QFontMetrics;
class QLabel;
class QObject;

namespace talvane {

class BreakableText {
public:
    BreakableText(const QString& text, const QFontMetrics& metrics, int width);

    // The text with the breaks put in, to be shown.
    const QString& Shown() const { return shown_; }

    // Has what is copied from `label`, which shows Shown(), or selected in it (for a middle
    // click) reach the clipboard as written, for as long as `context` lives.
    void KeepCopiesAsWritten(QLabel* label, QObject* context) const;

private:
    QString text_;
    QString shown_;
    // The places of the breaks put in, in the text shown, ascending.
    std::vector<qsizetype> added_;
};

}  // namespace talvane
