#pragma once
// The entries of a list view, held once and shown by every view mode. Entries live in
// slots that never move, so an entry can be named while others come and go; the views see
// them sorted by text (natural order, as file managers sort names).

#include <QAbstractListModel>
#include <QImage>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

namespace talvane {

class ImageList;

struct ListEntry {
    std::string key;
    QString text;
    std::string icon;
    std::string smallIcon;
    uint32_t generation = 0;
    bool live = false;
};

// Case-insensitive comparison in which runs of digits compare as numbers (banner2 before
// banner10). Returns <0, 0 or >0.
int NaturalCompare(const QString& a, const QString& b);

class ListItemsModel : public QAbstractListModel {
    Q_OBJECT
public:
    enum Role { PictureRole = Qt::UserRole + 1 };

    explicit ListItemsModel(QObject* parent = nullptr);

    // Appends an entry and returns its slot; fails with errKeyNotUnique on a taken key.
    uint32_t Add(const std::string& key, const QString& text, const std::string& icon,
                 const std::string& smallIcon);
    void Remove(uint32_t slot);
    void Clear();
    int Count() const { return static_cast<int>(index_.size()); }

    std::optional<uint32_t> Find(const std::string& key) const;
    const ListEntry& Entry(uint32_t slot) const { return entries_[slot]; }
    bool IsLive(uint32_t slot, uint32_t generation) const;

    void SetKey(uint32_t slot, const std::string& key);
    void SetText(uint32_t slot, const QString& text);
    void SetIcons(uint32_t slot, const std::string* icon, const std::string* smallIcon);

    QModelIndex IndexOfSlot(uint32_t slot) const;
    static uint32_t SlotOf(const QModelIndex& index) { return static_cast<uint32_t>(index.internalId()); }

    // Where pictures come from: the image list that the current view mode uses (or none),
    // and whether the mode shows the entries' large icons or their small ones.
    void SetPictureSource(ImageList* pictures, bool largeIcons);
    void SetHeader(const QString& header);

    // Called when an in-place edit of `slot` ends with `text`; returns whether the text is
    // kept.
    std::function<bool(uint32_t slot, const QString& text)> onEdited;

    // Puts the rows in display order now rather than when the event loop next runs.
    void SortNow();

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QModelIndex index(int row, int column = 0, const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;

private:
    void ScheduleSort();
    int RowOfSlot(uint32_t slot) const;
    void EmitChanged(uint32_t slot);

    std::vector<ListEntry> entries_;
    std::vector<uint32_t> freeSlots_;
    std::vector<uint32_t> order_;  // slots in display order
    std::unordered_map<std::string, uint32_t> index_;
    ImageList* pictures_ = nullptr;
    bool largeIcons_ = false;
    QString header_;
    bool sortScheduled_ = false;
};

}  // namespace talvane
