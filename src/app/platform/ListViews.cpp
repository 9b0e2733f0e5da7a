#include "app/platform/ListViews.h"

#include <QApplication>
#include <QKeyEvent>
#include <QPainter>

#include "app/platform/ListItemsModel.h"

namespace talvane {

PictureDelegate::PictureDelegate(QSize pictureSize, ViewEvents* events, QObject* parent)
    : QStyledItemDelegate(parent), pictureSize_(pictureSize), events_(events) {}

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
    style->drawControl(QStyle::CE_ItemViewItem, &opt, painter, opt.widget);

    QImage picture = index.data(ListItemsModel::PictureRole).value<QImage>();
    if (picture.isNull()) return;
    QRect area = style->subElementRect(QStyle::SE_ItemViewItemDecoration, &opt, opt.widget);
    QRect target(QPoint(0, 0), pictureSize_);
    target.moveCenter(area.center());
    painter->save();
    painter->setRenderHint(QPainter::SmoothPixmapTransform, false);
    painter->drawImage(target, picture);
    painter->restore();
}

QSize PictureDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const {
    if (itemSize_.isValid()) return itemSize_;
    QStyleOptionViewItem opt(option);
    PrepareOption(&opt, index);
    QStyle* style = opt.widget ? opt.widget->style() : QApplication::style();
    return style->sizeFromContents(QStyle::CT_ItemViewItem, &opt, QSize(), opt.widget);
}

QWidget* PictureDelegate::createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                                       const QModelIndex& index) const {
    if (events_->editStarted) events_->editStarted(index);
    return QStyledItemDelegate::createEditor(parent, option, index);
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
    if (trigger == QAbstractItemView::EditKeyPressed && events_->editKey) {
        events_->editKey();
        return true;
    }
    return Base::edit(index, trigger, event);
}

template <class Base>
void EventView<Base>::keyPressEvent(QKeyEvent* event) {
    QPersistentModelIndex before = this->currentIndex();
    Base::keyPressEvent(event);
    QModelIndex after = this->currentIndex();
    if (after.isValid() && after != before && this->selectionModel()->isSelected(after) &&
        events_->itemClick)
        events_->itemClick(after);
}

template <class Base>
void EventView<Base>::mouseDoubleClickEvent(QMouseEvent* event) {
    Base::mouseDoubleClickEvent(event);
    if (events_->dblClick) events_->dblClick();
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
