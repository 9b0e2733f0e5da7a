#pragma once
// The Qt views behind a list view: one list view for the icon, small-icon and list modes,
// one tree view for the details mode, and the delegate that paints the banner pictures
// pixel-sharp at any screen scale.

#include <QCache>
#include <QFont>
#include <QListView>
#include <QStaticText>
#include <QStyledItemDelegate>
#include <QTreeView>

namespace talvane {

class PictureDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    PictureDelegate(QSize pictureSize, QObject* parent);
    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    // The text as painted: on one line, each line break or other control character shown
    // as a visible symbol. The entry's text itself, and the editor's, stay as they are.
    QString displayText(const QVariant& value, const QLocale& locale) const override;
    bool eventFilter(QObject* object, QEvent* event) override;
    // Every entry takes this size (an invalid size: what its content needs).
    void SetItemSize(QSize size) { itemSize_ = size; }

private:
    void PrepareOption(QStyleOptionViewItem* option, const QModelIndex& index) const;
    void DrawText(QPainter* painter, const QStyleOptionViewItem& opt, const QRect& area) const;
    // Cuts the text under a large icon to the lines that fit the entry whole.
    static void FitUnderIcon(QStyleOptionViewItem* opt, QStyle* style);
    QSize pictureSize_;
    // Texts laid out for painting, by width and text: what the visible entries need and a
    // scroll's worth more.
    mutable QCache<QString, QStaticText> texts_{4000};
    mutable QFont textFont_;
    QSize itemSize_;
};

// The list's own events of a Qt view: an entry clicked or made current with the keyboard; a
// double click; the edit key (F2); a context menu asked for with the mouse over the entry at
// `index` (invalid: over no entry) or from the keyboard (`index` invalid); an in-place edit of
// `index` opened in `editor`. Signals cannot be declared in a class template: the views hold
// them in one object of this class.
class ViewEvents : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
signals:
    void ItemClicked(const QModelIndex& index);
    void DblClicked();
    void EditKeyPressed();
    void ContextMenuAsked(const QModelIndex& index, const QPoint& globalPos, bool byMouse);
    void EditStarted(const QModelIndex& index, QWidget* editor);
};

// Adds the list's own events to a Qt view: a click on an entry (also a move of the current
// entry with the keyboard), a double click anywhere in it (also Return or Enter on it), the
// edit key, a context menu (a right click, the Menu key or Shift+F10) and the start of an
// in-place edit, each raised as a signal of Events().
template <class Base>
class EventView : public Base {
public:
    explicit EventView(QWidget* parent) : Base(parent) {}
    using Base::edit;
    const ViewEvents* Events() const { return &events_; }
    // Lays the entries out again, taking new item sizes from the delegate.
    void Relayout() { this->scheduleDelayedItemsLayout(); }
    // Ends the edit open in `editor` as a click elsewhere does: its text is kept.
    void EndEdit(QWidget* editor) {
        this->commitData(editor);
        this->closeEditor(editor, QAbstractItemDelegate::NoHint);
    }

protected:
    bool edit(const QModelIndex& index, QAbstractItemView::EditTrigger trigger,
              QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint) override;

private:
    ViewEvents events_;
};

using BannerListView = EventView<QListView>;
using BannerTreeView = EventView<QTreeView>;

}  // namespace talvane
