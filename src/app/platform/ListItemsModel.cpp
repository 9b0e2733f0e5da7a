#include "app/platform/ListItemsModel.h"

#include <QTimer>
#include <algorithm>

#include "app/platform/EventHandler.h"
#include "app/platform/ImageList.h"
#include "app/platform/Names.h"
#include "app/platform/RuntimeError.h"

namespace talvane {

namespace {

// The characters of a text, as UTF-16 (QChar) or as ASCII bytes (char): both give the same
// key for the same text.
bool IsDigit(QChar c) { return c.isDigit(); }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }
int DigitValue(QChar c) { return c.unicode() < 0x80 ? c.unicode() - u'0' : c.digitValue(); }
int DigitValue(char c) { return c - '0'; }
char16_t Unit(QChar c) { return c.unicode(); }
char16_t Unit(char c) { return static_cast<char16_t>(static_cast<unsigned char>(c)); }
char16_t Folded(QChar c) { return c.toCaseFolded().unicode(); }
char16_t Folded(char c) { return Unit(c); }  // only ever asked for characters beyond ASCII

template <class Char>
std::string MakeNaturalSortKey(const Char* p, const Char* end) {
    // One byte per ASCII character (folded to lower case); three order-keeping bytes, all
    // above ASCII, per other character; a run of digits as '0', the count of its digits
    // without leading zeros, and those digits. Bytes compare then as the texts should.
    std::string key;
    key.reserve(static_cast<size_t>(end - p) + 4);
    while (p < end) {
        if (IsDigit(*p)) {
            while (p < end && IsDigit(*p) && DigitValue(*p) == 0) ++p;
            const Char* digits = p;
            while (p < end && IsDigit(*p)) ++p;
            key.push_back('0');
            key.push_back(static_cast<char>(std::min<ptrdiff_t>(p - digits, 255)));
            for (const Char* d = digits; d < p; ++d)
                key.push_back(static_cast<char>('0' + DigitValue(*d)));
            continue;
        }
        char16_t c = Unit(*p);
        if (c >= 0x80) c = Folded(*p);  // some fold into ASCII: the Kelvin sign is a k
        if (c < 0x80) {
            key.push_back(static_cast<char>(c >= u'A' && c <= u'Z' ? c + 32 : c));
        } else {
            key.push_back(static_cast<char>(0x80 | (c >> 12)));
            key.push_back(static_cast<char>((c >> 6) & 0x3F));
            key.push_back(static_cast<char>(c & 0x3F));
        }
        ++p;
    }
    return key;
}

}  // namespace

std::string NaturalSortKey(const QString& text) {
    return MakeNaturalSortKey(text.constData(), text.constData() + text.size());
}

int NaturalCompare(const QString& a, const QString& b) {
    return NaturalSortKey(a).compare(NaturalSortKey(b));
}

namespace {

// One entry being sorted: seven bytes of its sort key from some offset, then how many of
// those seven the key has, so that comparing the numbers compares that stretch of the keys,
// a key that ends first coming first.
struct SortItem {
    uint64_t chunk;
    uint32_t slot;
    uint32_t key;  // which key
};

uint64_t Chunk(std::string_view key, size_t at) {
    const size_t count = at < key.size() ? std::min<size_t>(7, key.size() - at) : 0;
    uint64_t chunk = 0;
    for (size_t i = 0; i < 7; ++i) chunk = (chunk << 8) | (i < count ? uint8_t(key[at + i]) : 0u);
    return (chunk << 8) | count;
}

// Sorts by the keys seven bytes at a time: names that share a long beginning (banner0001,
// banner0002...) are told apart by comparing one number each, not byte strings.
template <class It, class KeyOf, class Before>
void SortByChunks(It begin, It end, size_t at, const KeyOf& keyOf, const Before& before) {
    for (It i = begin; i != end; ++i) i->chunk = Chunk(keyOf(*i), at);
    std::sort(begin, end, [](const SortItem& x, const SortItem& y) { return x.chunk < y.chunk; });
    for (It run = begin; run != end;) {
        It next = run + 1;
        while (next != end && next->chunk == run->chunk) ++next;
        if (next - run > 1) {
            if ((run->chunk & 0xFF) == 7)
                SortByChunks(run, next, at + 7, keyOf, before);  // the keys go on: look further
            else
                std::sort(run, next, before);  // equal keys: the full order decides
        }
        run = next;
    }
}

// The file name in `key` without its last four characters.
std::string_view StemOf(const std::string& key) {
    std::string_view name = BaseNameView(key);
    return name.substr(0, name.size() >= 4 ? name.size() - 4 : 0);
}

QString TextFromKey(const std::string& key) { return DisplayName(StemOf(key)); }

bool TextMatchesKey(const QString& text, const std::string& key) {
    std::string_view stem = StemOf(key);
    if (std::all_of(stem.begin(), stem.end(),
                    [](char c) { return static_cast<unsigned char>(c) < 0x80; })) {
        // ASCII: each byte is one character, compared without making the text.
        if (text.size() != qsizetype(stem.size())) return false;
        for (size_t i = 0; i < stem.size(); ++i)
            if (text[qsizetype(i)].unicode() != char16_t(stem[i])) return false;
        return true;
    }
    return text == DisplayName(stem);
}

}  // namespace

QString ListEntry::Text() const { return hasOwnText ? ownText : TextFromKey(key); }

ListItemsModel::ListItemsModel(QObject* parent) : QAbstractListModel(parent) {}

uint32_t ListItemsModel::Add(const std::string& key, const QString& text, const std::string& icon,
                             const std::string& smallIcon) {
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
    // One look in the index both checks the key and takes it.
    if (!index_.Insert(entry.key, slot)) {
        entry.key.clear();
        freeSlots_.push_back(slot);
        throw RuntimeError(
            errKeyNotUnique,
            QStringLiteral("Key is not unique in collection: \"%1\"").arg(DisplayName(key)));
    }
    if (!TextMatchesKey(text, key)) {
        entry.ownText = text;
        entry.hasOwnText = true;
    }
    if (icon != key || smallIcon != key)
        entry.otherIcons = std::make_unique<std::pair<std::string, std::string>>(icon, smallIcon);
    entry.live = true;

    // The views hear of new rows together, when the event loop next runs or before any
    // other change: a scan adds its rows with no per-row work in the views.
    order_.push_back(slot);
    ScheduleSort();
    return slot;
}

void ListItemsModel::Publish() {
    const int count = static_cast<int>(order_.size());
    if (published_ >= count) return;
    beginInsertRows(QModelIndex(), published_, count - 1);
    published_ = count;
    endInsertRows();
}

void ListItemsModel::Remove(uint32_t slot) {
    Publish();
    int row = RowOfSlot(slot);
    beginRemoveRows(QModelIndex(), row, row);
    order_.erase(order_.begin() + row);
    --published_;
    index_.Erase(entries_[slot].key);
    Reset(entries_[slot]);
    freeSlots_.push_back(slot);
    endRemoveRows();
}

void ListItemsModel::Reset(ListEntry& entry) {
    entry.key.clear();
    entry.ownText = QString();
    entry.hasOwnText = false;
    entry.live = false;
    ++entry.generation;
    entry.otherIcons.reset();
}

void ListItemsModel::Clear() {
    beginResetModel();
    index_.Clear();
    for (ListEntry& entry : entries_) {
        if (entry.live) Reset(entry);
    }
    // Generations must survive so that names of removed entries stay invalid; the slots
    // themselves can all be reused.
    freeSlots_.clear();
    for (uint32_t slot = static_cast<uint32_t>(entries_.size()); slot-- > 0;)
        freeSlots_.push_back(slot);
    order_.clear();
    published_ = 0;
    endResetModel();
}

std::optional<uint32_t> ListItemsModel::Find(const std::string& key) const {
    return index_.Find(key);
}

bool ListItemsModel::IsLive(uint32_t slot, uint32_t generation) const {
    return slot < entries_.size() && entries_[slot].live && entries_[slot].generation == generation;
}

void ListItemsModel::SetKey(uint32_t slot, const std::string& key) {
    ListEntry& entry = entries_[slot];
    if (entry.key == key) return;
    if (index_.Find(key))
        throw RuntimeError(
            errKeyNotUnique,
            QStringLiteral("Key is not unique in collection: \"%1\"").arg(DisplayName(key)));
    // The text and the pictures stay as they are: only the key changes.
    if (!entry.hasOwnText) {
        entry.ownText = entry.Text();
        entry.hasOwnText = true;
    }
    if (!entry.otherIcons)
        entry.otherIcons =
            std::make_unique<std::pair<std::string, std::string>>(entry.key, entry.key);
    index_.Erase(entry.key);
    entry.key = key;
    index_.Insert(entry.key, slot);
    // Equal texts are ordered by key.
    if (!sortScheduled_) PlaceRow(slot);
}

void ListItemsModel::SetText(uint32_t slot, const QString& text) {
    ListEntry& entry = entries_[slot];
    entry.ownText = text;
    entry.hasOwnText = true;
    EmitChanged(slot);
    // One changed text moves one row, unless the whole list is to be sorted anyway.
    if (!sortScheduled_) PlaceRow(slot);
}

void ListItemsModel::SetIcons(uint32_t slot, const std::string* icon,
                              const std::string* smallIcon) {
    ListEntry& entry = entries_[slot];
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

QModelIndex ListItemsModel::IndexOfSlot(uint32_t slot) const {
    // Naming a row makes it known to the views first; announcing rows already added
    // changes nothing of the model's content.
    const_cast<ListItemsModel*>(this)->Publish();
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
    const ListEntry& x = entries_[a];
    const ListEntry& y = entries_[b];
    if (int c = QString::compare(x.Text(), y.Text())) return c < 0;
    return x.key < y.key;
}

std::string ListItemsModel::SortKeyOf(uint32_t slot) const {
    const ListEntry& entry = entries_[slot];
    if (!entry.hasOwnText) {
        // Most texts are a file name in ASCII: its bytes are its characters.
        std::string_view stem = StemOf(entry.key);
        if (std::all_of(stem.begin(), stem.end(),
                        [](char c) { return static_cast<unsigned char>(c) < 0x80; }))
            return MakeNaturalSortKey(stem.data(), stem.data() + stem.size());
    }
    return NaturalSortKey(entry.Text());
}

void ListItemsModel::SortNow() {
    sortScheduled_ = false;
    Publish();
    // The sort keys are made once per entry, into one buffer, not once per comparison.
    std::string buffer;
    std::vector<std::pair<uint32_t, uint32_t>> spans;  // of each key in the buffer
    spans.reserve(order_.size());
    for (uint32_t slot : order_) {
        std::string key = SortKeyOf(slot);
        spans.emplace_back(static_cast<uint32_t>(buffer.size()), static_cast<uint32_t>(key.size()));
        buffer += key;
    }
    std::vector<SortItem> items;
    items.reserve(order_.size());
    for (size_t i = 0; i < order_.size(); ++i)
        items.push_back({0, order_[i], static_cast<uint32_t>(i)});
    auto keyOf = [&](const SortItem& item) {
        return std::string_view(buffer).substr(spans[item.key].first, spans[item.key].second);
    };
    auto before = [&](const SortItem& x, const SortItem& y) {
        return Before(keyOf(x), x.slot, keyOf(y), y.slot);
    };
    if (std::is_sorted(items.begin(), items.end(), before)) return;

    // Made before the views are told, so that running out of memory leaves them as they were.
    std::vector<int> rowOf(entries_.size(), -1);
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    QModelIndexList persistent = persistentIndexList();
    SortByChunks(items.begin(), items.end(), 0, keyOf, before);
    for (size_t row = 0; row < items.size(); ++row) order_[row] = items[row].slot;
    items = {};
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

void ListItemsModel::PlaceRow(uint32_t slot) {
    const int row = RowOfSlot(slot);
    if (row < 0) return;
    // The other rows are in order: find where this one belongs among them.
    const std::string natural = SortKeyOf(slot);
    auto key = [this](uint32_t other) { return SortKeyOf(other); };
    int low = 0;
    int high = static_cast<int>(order_.size()) - 1;  // rows other than `row`
    while (low < high) {
        int middle = (low + high) / 2;
        uint32_t other = order_[static_cast<size_t>(middle < row ? middle : middle + 1)];
        if (Before(key(other), other, natural, slot))
            low = middle + 1;
        else
            high = middle;
    }
    const int target = low;
    if (target == row) return;
    // Qt names the destination as the row before which the moved row goes, before it moves.
    beginMoveRows(QModelIndex(), row, row, QModelIndex(), target > row ? target + 1 : target);
    order_.erase(order_.begin() + row);
    order_.insert(order_.begin() + target, slot);
    endMoveRows();
}

int ListItemsModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : published_;
}

QModelIndex ListItemsModel::index(int row, int column, const QModelIndex& parent) const {
    if (parent.isValid() || column != 0 || row < 0 || row >= published_) return {};
    return createIndex(row, column, quintptr(order_[static_cast<size_t>(row)]));
}

QVariant ListItemsModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid()) return {};
    const ListEntry& entry = entries_[SlotOf(index)];
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
