#include "app/platform/ListItemsModel.h"

#include <QTimer>
#include <algorithm>

#include "app/platform/ImageList.h"
#include "app/platform/Names.h"
#include "app/platform/RuntimeError.h"

namespace talvane {

int NaturalCompare(const QString& a, const QString& b) {
    const QChar* p = a.constData();
    const QChar* pe = p + a.size();
    const QChar* q = b.constData();
    const QChar* qe = q + b.size();
    while (p < pe && q < qe) {
        if (p->isDigit() && q->isDigit()) {
            // Compare the numbers: skip leading zeros, then the longer run is larger, then
            // digit by digit.
            const QChar* ps = p;
            const QChar* qs = q;
            while (ps < pe && *ps == u'0') ++ps;
            while (qs < qe && *qs == u'0') ++qs;
            const QChar* pEnd = ps;
            const QChar* qEnd = qs;
            while (pEnd < pe && pEnd->isDigit()) ++pEnd;
            while (qEnd < qe && qEnd->isDigit()) ++qEnd;
            if ((pEnd - ps) != (qEnd - qs)) return (pEnd - ps) < (qEnd - qs) ? -1 : 1;
            for (; ps < pEnd; ++ps, ++qs)
                if (ps->digitValue() != qs->digitValue()) return ps->digitValue() < qs->digitValue() ? -1 : 1;
            p = pEnd;
            q = qEnd;
            continue;
        }
        char32_t x = p->toCaseFolded().unicode();
        char32_t y = q->toCaseFolded().unicode();
        if (x != y) return x < y ? -1 : 1;
        ++p;
        ++q;
    }
    if (p < pe) return 1;
    if (q < qe) return -1;
    return 0;
}

ListItemsModel::ListItemsModel(QObject* parent) : QAbstractListModel(parent) {}

uint32_t ListItemsModel::Add(const std::string& key, const QString& text, const std::string& icon,
                             const std::string& smallIcon) {
    if (index_.count(key))
        throw RuntimeError(errKeyNotUnique, QStringLiteral("Key is not unique in collection: \"%1\"")
                                                .arg(DisplayName(key)));
    uint32_t slot;
    if (!freeSlots_.empty()) {
        slot = freeSlots_.back();
        freeSlots_.pop_back();
    } else {
        slot = static_cast<uint32_t>(entries_.size());
        entries_.emplace_back();
    }
    ListEntry& entry = entries_[slot];
    entry.key = key;
    entry.text = text;
    entry.icon = icon;
    entry.smallIcon = smallIcon;
    entry.live = true;
    index_.emplace(key, slot);

    int row = static_cast<int>(order_.size());
    beginInsertRows(QModelIndex(), row, row);
    order_.push_back(slot);
    endInsertRows();
    ScheduleSort();
    return slot;
}

void ListItemsModel::Remove(uint32_t slot) {
    int row = RowOfSlot(slot);
    beginRemoveRows(QModelIndex(), row, row);
    order_.erase(order_.begin() + row);
    ListEntry& entry = entries_[slot];
    index_.erase(entry.key);
    entry = ListEntry{{}, {}, {}, {}, entry.generation + 1, false};
    freeSlots_.push_back(slot);
    endRemoveRows();
}

void ListItemsModel::Clear() {
    beginResetModel();
    for (ListEntry& entry : entries_) {
        if (entry.live) entry = ListEntry{{}, {}, {}, {}, entry.generation + 1, false};
    }
    // Generations must survive so that names of removed entries stay invalid; the slots
    // themselves can all be reused.
    freeSlots_.clear();
    for (uint32_t slot = static_cast<uint32_t>(entries_.size()); slot-- > 0;) freeSlots_.push_back(slot);
    order_.clear();
    index_.clear();
    endResetModel();
}

std::optional<uint32_t> ListItemsModel::Find(const std::string& key) const {
    auto it = index_.find(key);
    if (it == index_.end()) return std::nullopt;
    return it->second;
}

bool ListItemsModel::IsLive(uint32_t slot, uint32_t generation) const {
    return slot < entries_.size() && entries_[slot].live && entries_[slot].generation == generation;
}

void ListItemsModel::SetKey(uint32_t slot, const std::string& key) {
    ListEntry& entry = entries_[slot];
    if (entry.key == key) return;
    if (index_.count(key))
        throw RuntimeError(errKeyNotUnique, QStringLiteral("Key is not unique in collection: \"%1\"")
                                                .arg(DisplayName(key)));
    auto node = index_.extract(entry.key);
    node.key() = key;
    index_.insert(std::move(node));
    entry.key = key;
}

void ListItemsModel::SetText(uint32_t slot, const QString& text) {
    entries_[slot].text = text;
    EmitChanged(slot);
    ScheduleSort();
}

void ListItemsModel::SetIcons(uint32_t slot, const std::string* icon, const std::string* smallIcon) {
    if (icon) entries_[slot].icon = *icon;
    if (smallIcon) entries_[slot].smallIcon = *smallIcon;
    EmitChanged(slot);
}

QModelIndex ListItemsModel::IndexOfSlot(uint32_t slot) const {
    int row = RowOfSlot(slot);
    return row < 0 ? QModelIndex() : createIndex(row, 0, quintptr(slot));
}

int ListItemsModel::RowOfSlot(uint32_t slot) const {
    auto it = std::find(order_.begin(), order_.end(), slot);
    return it == order_.end() ? -1 : static_cast<int>(it - order_.begin());
}

void ListItemsModel::EmitChanged(uint32_t slot) {
    QModelIndex index = IndexOfSlot(slot);
    if (index.isValid()) emit dataChanged(index, index);
}

void ListItemsModel::SetPictureSource(ImageList* pictures, bool largeIcons) {
    if (pictures_ == pictures && largeIcons_ == largeIcons) return;
    pictures_ = pictures;
    largeIcons_ = largeIcons;
    if (!order_.empty()) emit dataChanged(index(0), index(rowCount() - 1), {PictureRole});
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
    QTimer::singleShot(0, this, [this] { SortNow(); });
}

void ListItemsModel::SortNow() {
    sortScheduled_ = false;
    auto before = [this](uint32_t a, uint32_t b) {
        const ListEntry& x = entries_[a];
        const ListEntry& y = entries_[b];
        int c = NaturalCompare(x.text, y.text);
        if (c != 0) return c < 0;
        c = QString::compare(x.text, y.text);
        if (c != 0) return c < 0;
        return x.key < y.key;
    };
    if (std::is_sorted(order_.begin(), order_.end(), before)) return;

    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    QModelIndexList persistent = persistentIndexList();
    std::sort(order_.begin(), order_.end(), before);
    std::vector<int> rowOf(entries_.size(), -1);
    for (size_t row = 0; row < order_.size(); ++row) rowOf[order_[row]] = static_cast<int>(row);
    QModelIndexList moved;
    moved.reserve(persistent.size());
    for (const QModelIndex& old : persistent) {
        uint32_t slot = SlotOf(old);
        moved.append(createIndex(rowOf[slot], old.column(), quintptr(slot)));
    }
    changePersistentIndexList(persistent, moved);
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

int ListItemsModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(order_.size());
}

QModelIndex ListItemsModel::index(int row, int column, const QModelIndex& parent) const {
    if (parent.isValid() || column != 0 || row < 0 || row >= static_cast<int>(order_.size()))
        return {};
    return createIndex(row, column, quintptr(order_[static_cast<size_t>(row)]));
}

QVariant ListItemsModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid()) return {};
    const ListEntry& entry = entries_[SlotOf(index)];
    switch (role) {
        case Qt::DisplayRole:
        case Qt::EditRole:
        case Qt::AccessibleTextRole:
            return entry.text;
        case Qt::ToolTipRole:
            return DisplayName(entry.key);
        case PictureRole: {
            if (!pictures_) return {};
            const QImage* picture = pictures_->Find(largeIcons_ ? entry.icon : entry.smallIcon);
            return picture ? QVariant(*picture) : QVariant();
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
