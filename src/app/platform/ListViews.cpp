#include "app/platform/ListViews.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QPainter>
#include <QStaticText>
#include <QTextLayout>
#include <utility>
#include <vector>

#include "app/platform/ListItemsModel.h"
#include "app/platform/OneLine.h"
#include "app/platform/PictureControls.h"

namespace talvane {

PictureDelegate::PictureDelegate(QSize pictureSize, QObject* parent)
    : QStyledItemDelegate(parent), pictureSize_(pictureSize) {}

void PictureDelegate::PrepareOption(QStyleOptionViewItem* option, const QModelIndex& index) const {
    initStyleOption(option, index);
    // The picture is painted here rather than by the style, so it is never smoothed.
    option->features |= QStyleOptionViewItem::HasDecoration;
    option->decorationSize = pictureSize_;
    option->icon = QIcon();
    // Under a large icon the label starts right beneath the picture, however many lines
    // the entry has room for.
    if (option->decorationPosition == QStyleOptionViewItem::Top)
        option->displayAlignment = Qt::AlignHCenter | Qt::AlignTop;
}

void PictureDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                            const QModelIndex& index) const {
    QStyleOptionViewItem opt(option);
    PrepareOption(&opt, index);
    QStyle* style = opt.widget ? opt.widget->style() : QApplication::style();
    QImage picture = index.data(ListItemsModel::PictureRole).value<QImage>();
    const bool beside = opt.decorationPosition == QStyleOptionViewItem::Left;
    // Beside its picture the text takes one line, which is laid out once and kept: the
    // style would shape it again at every repaint. Under a large icon the style wraps it.
    QRect pictureArea;
    if (beside) {
        const int margin =
            style->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, opt.widget) + 1;
        pictureArea = QRect(opt.rect.left() + margin, opt.rect.top(), pictureSize_.width(),
                            opt.rect.height());
        const QRect textArea(pictureArea.right() + 1 + 2 * margin, opt.rect.top(),
                             opt.rect.right() - pictureArea.right() - 3 * margin,
                             opt.rect.height());
        style->drawPrimitive(QStyle::PE_PanelItemViewItem, &opt, painter, opt.widget);
        DrawText(painter, opt, textArea);
        if (opt.state & QStyle::State_HasFocus) {
            QStyleOptionFocusRect focus;
            focus.QStyleOption::operator=(opt);
            focus.rect = opt.rect;
            focus.state |= QStyle::State_KeyboardFocusChange | QStyle::State_Item;
            focus.backgroundColor = opt.palette.color(
                opt.state & QStyle::State_Enabled ? QPalette::Normal : QPalette::Disabled,
                opt.state & QStyle::State_Selected ? QPalette::Highlight : QPalette::Window);
            style->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, painter, opt.widget);
        }
    } else {
        if (opt.decorationPosition == QStyleOptionViewItem::Top) FitUnderIcon(&opt, style);
        style->drawControl(QStyle::CE_ItemViewItem, &opt, painter, opt.widget);
        if (!picture.isNull())
            pictureArea =
                style->subElementRect(QStyle::SE_ItemViewItemDecoration, &opt, opt.widget);
    }
    if (picture.isNull()) return;
    QRect target(QPoint(0, 0), pictureSize_);
    target.moveCenter(pictureArea.center());
    DrawWholeBlocks(painter, target, picture);
}

void PictureDelegate::FitUnderIcon(QStyleOptionViewItem* opt, QStyle* style) {
    if (opt->text.isEmpty()) return;
    // The style wraps the text under a large icon and shows as much of a line that does not
    // fit the entry's height as there is room for, cut through its letters. Only the lines
    // that fit whole are handed over, the last one ending in an ellipsis.
    const QRect area = style->subElementRect(QStyle::SE_ItemViewItemText, opt, opt->widget);
    const int margin = style->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, opt->widget) + 1;
    const int width = area.width() - 2 * margin;
    if (width <= 0) return;
    QTextLayout layout(opt->text, opt->font);
    QTextOption wrapping;
    wrapping.setWrapMode(QTextOption::WordWrap);
    layout.setTextOption(wrapping);
    std::vector<std::pair<int, int>> lines;  // start, length
    qreal height = 0;
    int whole = 0;
    layout.beginLayout();
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(width);
        lines.emplace_back(line.textStart(), line.textLength());
        height += line.height();
        if (height <= area.height()) ++whole;
    }
    layout.endLayout();
    if (whole == 0 || whole == int(lines.size())) return;
    QString fitted;
    for (int i = 0; i + 1 < whole; ++i)
        fitted += opt->text.mid(lines[i].first, lines[i].second).trimmed() + QChar::LineSeparator;
    fitted += QFontMetrics(opt->font).elidedText(opt->text.mid(lines[whole - 1].first),
                                                 Qt::ElideRight, width);
    opt->text = fitted;
}

void PictureDelegate::DrawText(QPainter* painter, const QStyleOptionViewItem& opt,
                               const QRect& area) const {
    if (opt.text.isEmpty() || area.width() <= 0) return;
    if (opt.font != textFont_) {
        texts_.clear();
        textFont_ = opt.font;
    }
    // The text as it fits the width, elided at its end, kept for the next repaint.
    const QString key = QString::number(area.width()) + QLatin1Char('|') + opt.text;
    QStaticText* text = texts_.object(key);
    if (!text) {
        QFontMetrics metrics(opt.font);
        text = new QStaticText(metrics.elidedText(opt.text, opt.textElideMode, area.width()));
        text->setTextFormat(Qt::PlainText);
        text->setPerformanceHint(QStaticText::AggressiveCaching);
        text->prepare(QTransform(), opt.font);
        texts_.insert(key, text);
    }
    const QPalette::ColorGroup group = !(opt.state & QStyle::State_Enabled)  ? QPalette::Disabled
                                       : !(opt.state & QStyle::State_Active) ? QPalette::Inactive
                                                                             : QPalette::Normal;
    painter->save();
    painter->setFont(opt.font);
    painter->setPen(opt.palette.color(
        group, opt.state & QStyle::State_Selected ? QPalette::HighlightedText : QPalette::Text));
    const QSizeF size = text->size();
    painter->drawStaticText(QPointF(area.left(), area.top() + (area.height() - size.height()) / 2),
                            *text);
    painter->restore();
}

QString PictureDelegate::displayText(const QVariant& value, const QLocale&) const {
    return OneLine(value.toString());
}

QSize PictureDelegate::sizeHint(const QStyleOptionViewItem& option,
                                const QModelIndex& index) const {
    if (itemSize_.isValid()) return itemSize_;
    QStyleOptionViewItem opt(option);
    PrepareOption(&opt, index);
    QStyle* style = opt.widget ? opt.widget->style() : QApplication::style();
    return style->sizeFromContents(QStyle::CT_ItemViewItem, &opt, QSize(), opt.widget);
}

bool PictureDelegate::eventFilter(QObject* object, QEvent* event) {
    // Opening the menus from the keyboard lends the focus to the menu bar; the edit stays
    // open, as it does when the menus are opened with the mouse, and gets the focus back.
    if (event->type() == QEvent::FocusOut &&
        static_cast<QFocusEvent*>(event)->reason() == Qt::MenuBarFocusReason)
        return false;
    return QStyledItemDelegate::eventFilter(object, event);
}

template <class Base>
bool EventView<Base>::edit(const QModelIndex& index, QAbstractItemView::EditTrigger trigger,
                           QEvent* event) {
    // The edit key renames the selected entry, exactly as the menu command does; the view
    // alone would edit the current entry even when nothing is selected.
    if (trigger == QAbstractItemView::EditKeyPressed) {
        emit events_.EditKeyPressed();
        return true;
    }
    // The editor the view makes is the one the edit commits from.
    QWidget* before = this->indexWidget(index);
    const bool editing = Base::edit(index, trigger, event);
    QWidget* editor = this->indexWidget(index);
    if (editing && editor && editor != before) emit events_.EditStarted(index, editor);
    return editing;
}

template <class Base>
void EventView<Base>::keyPressEvent(QKeyEvent* event) {
    // Return and Enter open the entry as a double click does. While an edit is open they are
    // the editor's, which ends the edit and passes them on here: they open nothing then.
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (enter && (event->modifiers() & ~Qt::KeypadModifier) == 0 &&
        this->state() != QAbstractItemView::EditingState) {
        event->accept();
        // Holding the key down opens it once, not once per repeat.
        if (!event->isAutoRepeat()) emit events_.DblClicked();
        return;
    }
    // The keyboard's ways to the context menu. The windowing system may follow the Menu key
    // with a context menu event of its own; the menu is open by then and takes it.
    const bool menuKey = event->key() == Qt::Key_Menu ||
                         (event->key() == Qt::Key_F10 && event->modifiers() == Qt::ShiftModifier);
    if (menuKey && this->state() != QAbstractItemView::EditingState) {
        event->accept();
        if (!event->isAutoRepeat()) emit events_.ContextMenuAsked(QModelIndex(), QPoint(), false);
        return;
    }
    QPersistentModelIndex before = this->currentIndex();
    Base::keyPressEvent(event);
    QModelIndex after = this->currentIndex();
    if (after.isValid() && after != before && this->selectionModel()->isSelected(after))
        emit events_.ItemClicked(after);
}

template <class Base>
void EventView<Base>::mouseDoubleClickEvent(QMouseEvent* event) {
    Base::mouseDoubleClickEvent(event);
    emit events_.DblClicked();
}

template <class Base>
void EventView<Base>::contextMenuEvent(QContextMenuEvent* event) {
    event->accept();
    if (event->reason() == QContextMenuEvent::Mouse)
        emit events_.ContextMenuAsked(
            this->indexAt(this->viewport()->mapFromGlobal(event->globalPos())), event->globalPos(),
            true);
    else
        emit events_.ContextMenuAsked(QModelIndex(), QPoint(), false);
}

template <class Base>
void EventView<Base>::closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint) {
    // The handler of an ending edit may take the edited entry out of the list; the view has
    // then already put its editor away (hidden, to be deleted) before the editor asks to close.
    if (editor && editor->isHidden()) return;
    Base::closeEditor(editor, hint);
}

template class EventView<QListView>;
template class EventView<QTreeView>;

}  // namespace talvane
