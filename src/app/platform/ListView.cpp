#include "app/platform/ListView.h"

#include <QHeaderView>
#include <QStackedLayout>
#include <QTimer>

#include "app/platform/ImageList.h"
#include "app/platform/ListItemsModel.h"
#include "app/platform/RuntimeError.h"
#include "app/platform/Screen.h"

namespace talvane {

namespace {

constexpr QSize kPictureSize(12, 8);

}  // namespace

// ---- ListView ------------------------------------------------------------------------------

ListView::ListView(QWidget* parent)
    : QWidget(parent),
      model_(new ListItemsModel(this)),
      listDelegate_(new PictureDelegate(kPictureSize, this)),
      detailsDelegate_(new PictureDelegate(kPictureSize, this)),
      list_(new BannerListView(this)),
      details_(new BannerTreeView(this)),
      stack_(new QStackedLayout(this)) {
    list_->setItemDelegate(listDelegate_);
    details_->setItemDelegate(detailsDelegate_);
    Connect(list_);
    Connect(details_);
    selection_ = new QItemSelectionModel(model_, this);
    list_->setUniformItemSizes(true);
    list_->setResizeMode(QListView::Adjust);
    list_->setMovement(QListView::Static);
    details_->setRootIsDecorated(false);
    details_->setItemsExpandable(false);
    details_->setUniformRowHeights(true);
    details_->header()->setSectionsClickable(false);
    details_->header()->setStretchLastSection(false);
    details_->header()->setSectionsMovable(false);
    stack_->setContentsMargins(0, 0, 0, 0);
    stack_->addWidget(list_);
    stack_->addWidget(details_);
    setFocusProxy(list_);

    model_->onEdited = [this](uint32_t slot, const QString& text) {
        return CommitEdit(slot, text);
    };
    connect(model_, &ListItemsModel::PictureChanged, this,
            [this](const QModelIndex& index) { ActiveView()->update(index); });

    move(0, 0);
    SetView(lvwIcon);
}

template <class QtView>
void ListView::Connect(QtView* view) {
    view->setSelectionMode(QAbstractItemView::SingleSelection);
    view->setEditTriggers(QAbstractItemView::EditKeyPressed);
    view->setIconSize(kPictureSize);
    view->setTextElideMode(Qt::ElideRight);
    connect(view, &QAbstractItemView::clicked, this, &ListView::OnItemClicked);
    const ViewEvents* events = view->Events();
    connect(events, &ViewEvents::ItemClicked, this, &ListView::OnItemClicked);
    connect(events, &ViewEvents::DblClicked, this, [this] {
        if (DblClick) DblClick();
    });
    connect(events, &ViewEvents::EditKeyPressed, this, &ListView::StartLabelEdit);
    connect(events, &ViewEvents::ContextMenuAsked, this, &ListView::OnContextMenu);
    connect(events, &ViewEvents::EditStarted, this, &ListView::OnEditStarted);
}

ListView::~ListView() { model_->onEdited = nullptr; }

void ListView::OnItemClicked(const QModelIndex& index) {
    if (ItemClick && index.isValid()) ItemClick(ListItem(this, ListItemsModel::SlotOf(index)));
}

void ListView::CheckPictureKey(const std::string& key, ImageList* list) const {
    if (key.empty()) return;
    if (!list)
        throw RuntimeError(errImageListNotInitialized,
                           QStringLiteral("ImageList must be initialized before it can be used"));
    if (!list->Has(key)) throw ElementNotFound(key);
}

void ListView::RemoveSlot(uint32_t slot) {
    ListItem selected = SelectedItem();
    const bool wasSelected = !selected.IsNothing() && selected.slot_ == slot;
    const int row = model_->IndexOfSlot(slot).row();
    model_->Remove(slot);
    // The entry that takes the removed one's place (the one before it, at the end) becomes
    // the selected and current entry, so the user goes on from where they were.
    if (!wasSelected || model_->rowCount() == 0) return;
    QModelIndex next = model_->index(std::min(row, model_->rowCount() - 1));
    selection_->setCurrentIndex(next, QItemSelectionModel::ClearAndSelect);
    ActiveView()->scrollTo(next);
}

void ListView::OnContextMenu(const QModelIndex& index, const QPoint& globalPos, bool byMouse) {
    QAbstractItemView* view = ActiveView();
    QPoint at = globalPos;
    if (byMouse) {
        if (!index.isValid()) return;
        // The entry under the pointer is the one selected, previewed and acted on.
        selection_->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect);
        if (ItemClick) ItemClick(ListItem(this, ListItemsModel::SlotOf(index)));
    } else {
        ListItem item = SelectedItem();
        if (item.IsNothing()) return;
        QModelIndex selected = model_->IndexOfSlot(item.slot_);
        view->scrollTo(selected);
        const QRect rect = view->visualRect(selected);
        at = view->viewport()->mapToGlobal(QPoint(rect.center().x(), rect.bottom()));
    }
    // The click's handler may have taken the entry away.
    if (SelectedItem().IsNothing()) return;
    if (ContextMenu) ContextMenu(at);
}

void ListView::SetIcons(ImageList* list) {
    if (icons_ == list) return;
    if (icons_) disconnect(icons_, nullptr, this, nullptr);
    icons_ = list;
    if (icons_)
        connect(icons_, &ImageList::Changed, this, [this] { ActiveView()->viewport()->update(); });
    Rebind();
}

void ListView::SetSmallIcons(ImageList* list) {
    if (smallIcons_ == list) return;
    if (smallIcons_) disconnect(smallIcons_, nullptr, this, nullptr);
    smallIcons_ = list;
    if (smallIcons_)
        connect(smallIcons_, &ImageList::Changed, this,
                [this] { ActiveView()->viewport()->update(); });
    Rebind();
}

void ListView::Rebind() {
    bool large = view_ == lvwIcon;
    model_->SetPictureSource(large ? icons_ : smallIcons_, large);
}

void ListView::SetView(int mode) {
    if (mode < lvwIcon || mode > lvwReport) throw InvalidPropertyValue();
    QAbstractItemView* old = ActiveView();
    QWidget* focus = window()->focusWidget();
    const bool hadFocus = focus && (focus == old || old->isAncestorOf(focus));
    // An open in-place edit ends, keeping its text, before its view goes out of sight.
    EndLabelEdit();
    ListItem selected = SelectedItem();
    const QPersistentModelIndex keep =
        selected.IsNothing() ? QModelIndex() : model_->IndexOfSlot(selected.slot_);
    view_ = mode;
    if (mode != lvwReport) {
        // Each mode sets its whole layout: the list keeps any setting it was once given, so
        // one left to the mode before would carry over (a flow from List into Large Icons).
        const int lineHeight = fontMetrics().height();
        const int rowHeight = std::max(lineHeight + 4, kPictureSize.height() + 4);
        struct Layout {
            QListView::ViewMode viewMode;
            QListView::Flow flow;
            bool wordWrap;
            int spacing;
            QSize itemSize;
        };
        const Layout layouts[] = {
            {QListView::IconMode, QListView::LeftToRight, true, 4,
             QSize(96, kPictureSize.height() + 2 * lineHeight + 12)},
            {QListView::ListMode, QListView::LeftToRight, false, 1, QSize(160, rowHeight)},
            {QListView::ListMode, QListView::TopToBottom, false, 1, QSize(200, rowHeight)},
        };
        const Layout& layout = layouts[mode];
        list_->setViewMode(layout.viewMode);
        list_->setFlow(layout.flow);
        list_->setWrapping(true);
        list_->setWordWrap(layout.wordWrap);
        list_->setSpacing(layout.spacing);
        list_->setMovement(QListView::Static);
        list_->setResizeMode(QListView::Adjust);
        listDelegate_->SetItemSize(layout.itemSize);
        // The list keeps the size of its entries once it has asked for it: a new mode needs
        // a new layout even where no setting above changed.
        list_->Relayout();
    }
    AttachModel();
    stack_->setCurrentWidget(mode == lvwReport ? static_cast<QWidget*>(details_) : list_);
    setFocusProxy(ActiveView());
    if (hadFocus) ActiveView()->setFocus();
    Rebind();
    // The new view scrolls to the selected entry, not to where the old one's scroll bars were;
    // it takes its size now rather than when the layout next runs, to scroll by it.
    if (keep.isValid()) {
        ActiveView()->setGeometry(contentsRect());
        ActiveView()->scrollTo(keep);
        // A view that was out of sight scrolls to its current entry once it is laid out and
        // shown; the entry kept comes after that.
        QTimer::singleShot(0, ActiveView(), [view = ActiveView(), keep] {
            if (keep.isValid()) view->scrollTo(keep);
        });
    }
}

void ListView::AttachModel() {
    // Only the view on screen follows the model: a hidden view would lay out every entry
    // again after each change, for nothing.
    QAbstractItemView* active = ActiveView();
    QAbstractItemView* hidden = active == list_ ? static_cast<QAbstractItemView*>(details_) : list_;
    if (hidden->model() == model_) {
        // The column keeps the width it had, the user's own included.
        if (hidden == details_ && details_->header()->count() > 0)
            columnWidth_ = details_->header()->sectionSize(0);
        hidden->setModel(nullptr);
    }
    if (active->model() != model_) {
        active->setModel(model_);
        active->setSelectionModel(selection_);
        if (active == details_ && columnWidth_ > 0)
            details_->header()->resizeSection(0, columnWidth_);
    }
    // Setting a model makes a view (and the details header) a selection model of its own,
    // which the shared one replaces: those made here and no longer in use go.
    for (QAbstractItemView* view :
         {static_cast<QAbstractItemView*>(list_), static_cast<QAbstractItemView*>(details_)}) {
        for (QItemSelectionModel* spare : view->findChildren<QItemSelectionModel*>()) {
            if (spare != selection_ && spare != list_->selectionModel() &&
                spare != details_->selectionModel() &&
                spare != details_->header()->selectionModel())
                spare->deleteLater();
        }
    }
}

QAbstractItemView* ListView::ActiveView() const {
    return view_ == lvwReport ? static_cast<QAbstractItemView*>(details_) : list_;
}

ListItem ListView::SelectedItem() const {
    QModelIndexList selected = selection_->selectedIndexes();
    if (selected.isEmpty()) return ListItem();
    return ListItem(const_cast<ListView*>(this), ListItemsModel::SlotOf(selected.first()));
}

void ListView::SetSelectedItem(const ListItem& item) {
    QItemSelectionModel* selection = selection_;
    if (item.IsNothing()) {
        selection->clearSelection();
        return;
    }
    item.Check();
    QModelIndex index = model_->IndexOfSlot(item.slot_);
    selection->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect);
}

void ListView::AddColumnHeader(const QString& text, float widthTwips) {
    model_->SetHeader(text);
    columnWidth_ = TwipsToPixels(widthTwips);
    details_->header()->resizeSection(0, columnWidth_);
}

float ListView::Width() const { return float(PixelsToTwips(width())); }
float ListView::Height() const { return float(PixelsToTwips(height())); }

void ListView::SetWidth(float twips) {
    if (twips < 0) throw InvalidPropertyValue();
    resize(TwipsToPixels(twips), height());
}

void ListView::SetHeight(float twips) {
    if (twips < 0) throw InvalidPropertyValue();
    resize(width(), TwipsToPixels(twips));
}

}  // namespace talvane
