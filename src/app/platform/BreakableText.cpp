#include "app/platform/BreakableText.h"

#include <QClipboard>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QLabel>
#include <QTextBoundaryFinder>
#include <algorithm>

namespace talvane {

namespace {
constexpr QChar kBreak(0x200B);  // zero width space: where a line may break, unseen
}  // namespace

BreakableText::BreakableText(const QString& text, const QFontMetrics& metrics, int width)
    : text_(text) {
    QTextBoundaryFinder lines(QTextBoundaryFinder::Line, text);
    qsizetype start = 0;
    for (qsizetype end = lines.toNextBoundary(); end > start; end = lines.toNextBoundary()) {
        const QString stretch = text.mid(start, end - start);
        if (metrics.horizontalAdvance(stretch) <= width) {
            shown_ += stretch;
        } else {
            QTextBoundaryFinder characters(QTextBoundaryFinder::Grapheme, stretch);
            qsizetype from = 0;
            for (qsizetype to = characters.toNextBoundary(); to > from;
                 to = characters.toNextBoundary()) {
                if (from > 0) {
                    added_.push_back(shown_.size());
                    shown_ += kBreak;
                }
                shown_ += stretch.mid(from, to - from);
                from = to;
            }
        }
        start = end;
    }
}

void BreakableText::KeepCopiesAsWritten(QLabel* label, QObject* context) const {
    if (added_.empty()) return;
    QClipboard* clipboard = QGuiApplication::clipboard();
    auto restore = [label, clipboard, text = text_, added = added_](QClipboard::Mode mode) {
        if (!label->hasSelectedText()) return;
        auto written = [&](qsizetype at) {
            return at - (std::lower_bound(added.begin(), added.end(), at) - added.begin());
        };
        const qsizetype from = label->selectionStart();
        const qsizetype to = from + label->selectedText().size();
        const QString copied = text.mid(written(from), written(to) - written(from));
        const QString now = clipboard->text(mode);
        if (now != copied && QString(now).remove(kBreak) == QString(copied).remove(kBreak))
            clipboard->setText(copied, mode);
    };
    QObject::connect(clipboard, &QClipboard::changed, context, restore);
}

}  // namespace talvane
