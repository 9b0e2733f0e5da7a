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
#include <functional>

namespace talvane {

// What the views report to the control that owns them.
struct ViewEvents {
    std::function<void(const QModelIndex&)> itemClick;
    std::function<void()> dblClick;
    std::function<void(const QModelIndex&, QWidget* editor)> editStarted;
    // The edit key (F2) was pressed on the list.
    std::function<void()> editKey;
    // A context menu was asked for: with the mouse over the entry at `index` (invalid: over
    // no entry), or from the keyboard (`index` invalid).
    std::function<void(const QModelIndex& index, const QPoint& globalPos, bool byMouse)>
        contextMenu;
};

class PictureDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    PictureDelegate(QSize pictureSize, ViewEvents* events, QObject* parent);
    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    // The text as painted: on one line, each line break or other control character shown
    // as a visible symbol. The entry's text itself, and the editor's, stay as they are.
    QString displayText(const QVariant& value, const QLocale& locale) const override;
    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override;
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
    ViewEvents* events_;
};

// Adds the list's own events to a Qt view: a click on an entry (also a move of the current
// entry with the keyboard), a double click anywhere in it (also Return or Enter on it), the
// edit key, and a context menu (a right click, the Menu key or Shift+F10).
template <class Base>
class EventView : public Base {
public:
    EventView(ViewEvents* events, QWidget* parent) : Base(parent), events_(events) {}
    using Base::edit;
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
    ViewEvents* events_;
};

using BannerListView = EventView<QListView>;
using BannerTreeView = EventView<QTreeView>;

}  // namespace talvane
