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

template class EventView<QListView>;
template class EventView<QTreeView>;

}  // namespace talvane
