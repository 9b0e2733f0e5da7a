#include "app/platform/ListItemsModel.h"

#include <QTimer>
#include <algorithm>
#include <vector>

#include "app/platform/EventHandler.h"
#include "app/platform/ImageList.h"
#include "app/platform/Names.h"
#include "app/platform/RuntimeError.h"

namespace talvane {

ListItemsModel::ListItemsModel(QObject* parent) : QAbstractListModel(parent) {}

uint32_t ListItemsModel::Add(const std::string& key, const QString& text, const std::string& icon,
                             const std::string& smallIcon) {
    const uint32_t slot = slots_.Take();
    ListEntry& entry = slots_[slot];
    entry.key = key;
    // One look in the index both checks the key and takes it.
    if (!index_.Insert(entry.key, slot)) {
        slots_.Free(slot);
        throw KeyNotUnique(key);
    }
    entry.Fill(text, icon, smallIcon);
    slots_.Occupy(slot);

    // The views hear of new rows together, when the event loop next runs or before any
    // other change: a scan adds its rows with no per-row work in the views.
    order_.Append(slot);
    ScheduleSort();
    CheckRows();
    return slot;
}

void ListItemsModel::Publish() {
    const int count = static_cast<int>(order_.Size());
    if (published_ >= count) return;
    beginInsertRows(QModelIndex(), published_, count - 1);
    published_ = count;
    endInsertRows();
}

void ListItemsModel::Remove(uint32_t slot) {
    Publish();
    const int row = order_.RowOf(slot);
    beginRemoveRows(QModelIndex(), row, row);
    order_.Erase(size_t(row));
    --published_;
    index_.Erase(slots_[slot].key);
    slots_.Free(slot);
    endRemoveRows();
    CheckRows();
}

void ListItemsModel::Clear() {
    beginResetModel();
    index_.Clear();
    // Generations survive, so that names of removed entries stay invalid; the slots
    // themselves can all be reused.
    slots_.FreeAll();
    order_.Clear();
    published_ = 0;
    endResetModel();
    CheckRows();
}

std::optional<uint32_t> ListItemsModel::Find(const std::string& key) const {
    return index_.Find(key);
}

void ListItemsModel::SetKey(uint32_t slot, const std::string& key) {
    ListEntry& entry = slots_[slot];
    if (entry.key == key) return;
    if (index_.Find(key)) throw KeyNotUnique(key);
    // The text and the pictures stay as they are: only the key changes.
    entry.KeepTextAndPictures();
    index_.Erase(entry.key);
    entry.key = key;
    index_.Insert(entry.key, slot);
    // Equal texts are ordered by key.
    if (!sortScheduled_) PlaceRow(slot);
    CheckRows();
}

void ListItemsModel::SetText(uint32_t slot, const QString& text) {
    ListEntry& entry = slots_[slot];
    entry.ownText = text;
    entry.hasOwnText = true;
    EmitChanged(slot);
    // One changed text moves one row, unless the whole list is to be sorted anyway.
    if (!sortScheduled_) PlaceRow(slot);
    CheckRows();
}

void ListItemsModel::SetIcons(uint32_t slot, const std::string* icon,
                              const std::string* smallIcon) {
    ListEntry& entry = slots_[slot];
    if (!entry.otherIcons)
        entry.otherIcons =
            std::make_unique<std::pair<std::string, std::string>>(entry.key, entry.key);
    if (icon) entry.otherIcons->first = *icon;
    if (smallIcon) entry.otherIcons->second = *smallIcon;
    if (entry.otherIcons->first == entry.key && entry.otherIcons->second == entry.key)
        entry.otherIcons.reset();
    // Only the picture changed, which never changes an entry's size: the views repaint the
    // entry rather than hear of changed data, on which a list lays out all its entries again.
    QModelIndex index = IndexOfSlot(slot);
    if (index.isValid()) emit PictureChanged(index);
}

QModelIndex ListItemsModel::IndexOfSlot(uint32_t slot) {
    Publish();
    const int row = order_.RowOf(slot);
    return row < 0 ? QModelIndex() : createIndex(row, 0, quintptr(slot));
}

void ListItemsModel::EmitChanged(uint32_t slot) {
    QModelIndex index = IndexOfSlot(slot);
    if (index.isValid()) emit dataChanged(index, index);
}

void ListItemsModel::SetPictureSource(ImageList* pictures, bool largeIcons) {
    if (pictures_ == pictures && largeIcons_ == largeIcons) return;
    pictures_ = pictures;
    largeIcons_ = largeIcons;
    if (published_ > 0) emit dataChanged(index(0), index(published_ - 1), {PictureRole});
}

void ListItemsModel::SetHeader(const QString& header) {
    header_ = header;
    emit headerDataChanged(Qt::Horizontal, 0, 0);
}

void ListItemsModel::ScheduleSort() {
    if (sortScheduled_) return;
    sortScheduled_ = true;
    // Sorting waits for the event loop: a scan adds all its rows first and they are then
    // put in order once, not once per row.
    QTimer::singleShot(0, this, [this] { RunEventHandler([this] { SortNow(); }); });
}

bool ListItemsModel::Before(std::string_view naturalA, uint32_t a, std::string_view naturalB,
                            uint32_t b) const {
    if (int c = naturalA.compare(naturalB)) return c < 0;
    const ListEntry& x = slots_[a];
    const ListEntry& y = slots_[b];
    if (int c = QString::compare(x.Text(), y.Text())) return c < 0;
    return x.key < y.key;
}

void ListItemsModel::SortNow() {
    sortScheduled_ = false;
    Publish();
    CheckRows();
    const std::vector<uint32_t>& order = order_.Slots();
    SortKeys keys;
    keys.Reserve(order.size());
    for (uint32_t slot : order) keys.Add(slots_[slot].SortKey());
    std::vector<SortItem> items;
    items.reserve(order.size());
    for (size_t i = 0; i < order.size(); ++i)
        items.push_back({0, order[i], static_cast<uint32_t>(i)});
    auto before = [&](const SortItem& x, const SortItem& y) {
        return Before(keys[x.key], x.number, keys[y.key], y.number);
    };
    if (std::is_sorted(items.begin(), items.end(), before)) return;

    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    QModelIndexList persistent = persistentIndexList();
    QModelIndexList moved;
    moved.reserve(persistent.size());
    SortByChunks(items.begin(), items.end(), keys, before);
    order_.Reorder([&](size_t row) { return items[row].number; });
    for (const QModelIndex& old : persistent) {
        const uint32_t slot = SlotOf(old);
        moved.append(createIndex(order_.RowOf(slot), old.column(), quintptr(slot)));
    }
    changePersistentIndexList(persistent, moved);
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

void ListItemsModel::PlaceRow(uint32_t slot) {
    const int row = order_.RowOf(slot);
    if (row < 0) return;
    // The other rows are in order: find where this one belongs among them.
    const std::string natural = slots_[slot].SortKey();
    int low = 0;
    int high = static_cast<int>(order_.Size()) - 1;  // rows other than `row`
    while (low < high) {
        int middle = (low + high) / 2;
        uint32_t other = order_.SlotAt(size_t(middle < row ? middle : middle + 1));
        if (Before(slots_[other].SortKey(), other, natural, slot))
            low = middle + 1;
        else
            high = middle;
    }
    const int target = low;
    if (target == row) return;
    // Qt names the destination as the row before which the moved row goes, before it moves.
    beginMoveRows(QModelIndex(), row, row, QModelIndex(), target > row ? target + 1 : target);
    order_.Move(size_t(row), size_t(target));
    endMoveRows();
}

int ListItemsModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : published_;
}

QModelIndex ListItemsModel::index(int row, int column, const QModelIndex& parent) const {
    if (parent.isValid() || column != 0 || row < 0 || row >= published_) return {};
    return createIndex(row, column, quintptr(order_.SlotAt(size_t(row))));
}

QVariant ListItemsModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid()) return {};
    const ListEntry& entry = slots_[SlotOf(index)];
    switch (role) {
        case Qt::DisplayRole:
        case Qt::EditRole:
        case Qt::AccessibleTextRole:
            return entry.Text();
        case Qt::ToolTipRole:
            return DisplayName(entry.key);
        case PictureRole: {
            if (!pictures_) return {};
            QImage picture = pictures_->Find(largeIcons_ ? entry.Icon() : entry.SmallIcon());
            return picture.isNull() ? QVariant() : QVariant(picture);
        }
        default:
            return {};
    }
}

QVariant ListItemsModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (section == 0 && orientation == Qt::Horizontal && role == Qt::DisplayRole) return header_;
    return {};
}

Qt::ItemFlags ListItemsModel::flags(const QModelIndex& index) const {
    if (!index.isValid()) return Qt::NoItemFlags;
    return Qt::ItemIsSelectable | Qt::ItemIsEnabled | Qt::ItemIsEditable | Qt::ItemNeverHasChildren;
}

bool ListItemsModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (!index.isValid() || role != Qt::EditRole || !onEdited) return false;
    return onEdited(SlotOf(index), value.toString());
}

}  // namespace talvane
