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
#include <string_view>

#include "app/platform/KeyIndex.h"
#include "app/platform/ListEntry.h"
#include "app/platform/ListSlots.h"
#include "app/platform/NaturalSort.h"

namespace talvane {

class ImageList;

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
    int Count() const { return static_cast<int>(index_.Size()); }

    std::optional<uint32_t> Find(const std::string& key) const;
    const ListEntry& Entry(uint32_t slot) const { return slots_[slot]; }
    uint32_t Generation(uint32_t slot) const { return slots_.Generation(slot); }
    bool IsLive(uint32_t slot, uint32_t generation) const {
        return slots_.IsLive(slot, generation);
    }

    void SetKey(uint32_t slot, const std::string& key);
    void SetText(uint32_t slot, const QString& text);
    void SetIcons(uint32_t slot, const std::string* icon, const std::string* smallIcon);

    // The index of `slot`'s row. Naming a row tells the views of the rows added before it.
    QModelIndex IndexOfSlot(uint32_t slot);
    static uint32_t SlotOf(const QModelIndex& index) {
        return static_cast<uint32_t>(index.internalId());
    }

    // Where pictures come from: the image list that the current view mode uses (or none),
    // and whether the mode shows the entries' large icons or their small ones.
    void SetPictureSource(ImageList* pictures, bool largeIcons);
    void SetHeader(const QString& header);

    // Called when an in-place edit of `slot` ends with `text`; returns whether the text is
    // kept.
    std::function<bool(uint32_t slot, const QString& text)> onEdited;

    // Tells the views of the rows added since they last heard (they hear of them when the
    // event loop next runs, or before any other change).
    void Publish();
    // Puts the rows in display order now rather than when the event loop next runs.
    void SortNow();

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QModelIndex index(int row, int column = 0,
                      const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;

signals:
    // The entry at `index` shows another picture.
    void PictureChanged(const QModelIndex& index);

private:
    // Rows are added unpublished only with a sort scheduled, which publishes them: so rows
    // unknown to the views are never left behind, and with no sort scheduled every row is
    // known and in order, and one changed row is put in its place alone.
    void CheckRows() const { Q_ASSERT(sortScheduled_ || size_t(published_) == order_.Size()); }
    void ScheduleSort();
    bool Before(std::string_view naturalA, uint32_t a, std::string_view naturalB, uint32_t b) const;
    // Moves `slot`'s row to its place in the order, the other rows being in order.
    void PlaceRow(uint32_t slot);
    void EmitChanged(uint32_t slot);

    // The key index holds slots and finds them by their entries' keys, so no key is kept
    // twice.
    struct KeyOfSlot {
        const ListItemsModel* model;
        std::string_view operator()(uint32_t slot) const { return model->slots_[slot].key; }
    };

    SlotTable<ListEntry> slots_;
    RowOrder order_;     // slots in display order
    int published_ = 0;  // the first rows of order_, the ones the views know of
    KeyIndex<KeyOfSlot> index_{KeyOfSlot{this}};
    ImageList* pictures_ = nullptr;
    bool largeIcons_ = false;
    QString header_;
    bool sortScheduled_ = false;
};

}  // namespace talvane
