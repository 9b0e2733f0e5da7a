// The list view's in-place edit: how it starts, how it ends, and its one AfterLabelEdit.

#include "app/platform/ListLabelEdit.h"

#include <QAbstractItemView>

#include "app/platform/ListItemsModel.h"
#include "app/platform/ListView.h"

namespace talvane {

void ListView::OnEditStarted(const QModelIndex& index, QWidget* editor) {
    const uint32_t slot = ListItemsModel::SlotOf(index);
    edit_.Start(slot, model_->Generation(slot), editor);
}

void ListView::StartLabelEdit() {
    ListItem item = SelectedItem();
    if (item.IsNothing()) return;
    QModelIndex index = model_->IndexOfSlot(item.slot_);
    QAbstractItemView* view = ActiveView();
    view->setCurrentIndex(index);
    view->scrollTo(index);
    view->setFocus();
    view->edit(index);
}

void ListView::EndLabelEdit() {
    QWidget* editor = edit_.OpenEditor();
    if (!editor) return;
    if (list_->viewport()->isAncestorOf(editor))
        list_->EndEdit(editor);
    else if (details_->viewport()->isAncestorOf(editor))
        details_->EndEdit(editor);
}

bool ListView::CommitEdit(uint32_t slot, const QString& text) {
    const std::optional<uint32_t> generation = edit_.Finish(slot);
    if (!generation || !model_->IsLive(slot, *generation)) return false;
    int16_t cancel = 0;
    {
        const QScopedValueRollback<bool> running = edit_.RunningAfterLabelEdit();
        if (AfterLabelEdit) AfterLabelEdit(cancel, text);
    }
    if (cancel != 0 || !model_->IsLive(slot, *generation)) return false;
    model_->SetText(slot, text);
    // The renamed entry stays in sight wherever its new text puts it.
    ActiveView()->scrollTo(model_->IndexOfSlot(slot));
    return true;
}

}  // namespace talvane
