#include "app/platform/ImageList.h"
#include "app/platform/ListItemsModel.h"
#include "app/platform/ListView.h"
#include "app/platform/RuntimeError.h"

namespace talvane {

namespace {

RuntimeError RemovedEntry() {
    return RuntimeError(errElementNotFound,
                        QStringLiteral("Element not found (the list entry was removed)"));
}

}  // namespace

// ---- ListItem ------------------------------------------------------------------------------

ListItem::ListItem(ListView* view, uint32_t slot)
    : view_(view), model_(view->model_), slot_(slot), generation_(view->model_->Generation(slot)) {}

void ListItem::Check() const {
    if (!model_ || !model_->IsLive(slot_, generation_)) throw RemovedEntry();
}

const std::string& ListItem::Key() const {
    Check();
    return model_->Entry(slot_).key;
}

void ListItem::SetKey(const std::string& key) {
    Check();
    model_->SetKey(slot_, key);
}

QString ListItem::Text() const {
    Check();
    return model_->Entry(slot_).Text();
}

void ListItem::SetText(const QString& text) {
    Check();
    model_->SetText(slot_, text);
}

const std::string& ListItem::Icon() const {
    Check();
    return model_->Entry(slot_).Icon();
}

void ListItem::SetIcon(const std::string& key) {
    Check();
    view_->CheckPictureKey(key, view_->icons_);
    model_->SetIcons(slot_, &key, nullptr);
}

const std::string& ListItem::SmallIcon() const {
    Check();
    return model_->Entry(slot_).SmallIcon();
}

void ListItem::SetSmallIcon(const std::string& key) {
    Check();
    view_->CheckPictureKey(key, view_->smallIcons_);
    model_->SetIcons(slot_, nullptr, &key);
}

// ---- ListView.Items ------------------------------------------------------------------------

ListItem ListView::Items::Add(const std::string& key, const QString& text, const std::string& icon,
                              const std::string& smallIcon) {
    view_->CheckPictureKey(icon, view_->icons_);
    if (smallIcon != icon || view_->smallIcons_ != view_->icons_)  // else checked just now
        view_->CheckPictureKey(smallIcon, view_->smallIcons_);
    return ListItem(view_, view_->model_->Add(key, text, icon, smallIcon));
}

void ListView::Items::Remove(const std::string& key) {
    std::optional<uint32_t> slot = view_->model_->Find(key);
    if (!slot) throw ElementNotFound(key);
    view_->RemoveSlot(*slot);
}

void ListView::Items::Clear() { view_->model_->Clear(); }

int ListView::Items::Count() const { return view_->model_->Count(); }

ListItem ListView::Items::operator()(const std::string& key) const {
    std::optional<uint32_t> slot = view_->model_->Find(key);
    if (!slot) throw ElementNotFound(key);
    return ListItem(view_, *slot);
}

ListItem ListView::Items::AtRow(int row) const {
    view_->model_->Publish();
    QModelIndex index = view_->model_->index(row);
    if (!index.isValid())
        throw RuntimeError(errIndexOutOfBounds, QStringLiteral("Index out of bounds"));
    return ListItem(view_, ListItemsModel::SlotOf(index));
}

}  // namespace talvane
