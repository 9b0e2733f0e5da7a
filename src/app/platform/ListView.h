#pragma once
// The list view control: entries with a unique key, a text and two picture keys, shown in
// one of four modes (large icons, small icons, list, details), with in-place label editing,
// its own click, double-click and after-label-edit events, and a string tag.

#include <QString>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "app/platform/ListLabelEdit.h"
#include "app/platform/ListViews.h"

class QAbstractItemView;
class QItemSelectionModel;
class QStackedLayout;

namespace talvane {

class ImageList;
class ListItemsModel;
class ListView;

enum ListViewMode : int { lvwIcon = 0, lvwSmallIcon = 1, lvwList = 2, lvwReport = 3 };

// One entry of a list view, or nothing. Using an entry that has since been removed fails
// with errElementNotFound.
class ListItem {
public:
    ListItem() = default;
    bool IsNothing() const { return model_ == nullptr; }
    explicit operator bool() const { return !IsNothing(); }

    const std::string& Key() const;
    // Re-keys the entry; fails with errKeyNotUnique when the key is taken.
    void SetKey(const std::string& key);
    QString Text() const;
    void SetText(const QString& text);
    const std::string& Icon() const;
    void SetIcon(const std::string& key);
    const std::string& SmallIcon() const;
    void SetSmallIcon(const std::string& key);

    bool operator==(const ListItem& other) const {
        return model_ == other.model_ && slot_ == other.slot_ && generation_ == other.generation_;
    }

private:
    friend class ListView;
    ListItem(ListView* view, uint32_t slot);
    void Check() const;

    ListView* view_ = nullptr;
    ListItemsModel* model_ = nullptr;
    uint32_t slot_ = 0;
    uint32_t generation_ = 0;
};

class ListView : public QWidget {
    Q_OBJECT
public:
    explicit ListView(QWidget* parent);
    ~ListView() override;

    class Items {
    public:
        explicit Items(ListView* view) : view_(view) {}
        // Appends an entry. Its picture keys must name pictures of the bound image lists.
        ListItem Add(const std::string& key, const QString& text, const std::string& icon,
                     const std::string& smallIcon);
        void Remove(const std::string& key);
        void Clear();
        int Count() const;
        // The entry with `key`; fails with errElementNotFound when there is none.
        ListItem operator()(const std::string& key) const;
        // The entry shown at `row` (0-based, display order), for whoever reads the screen.
        ListItem AtRow(int row) const;

    private:
        ListView* view_;
    };
    Items& ListItems() { return items_; }

    ImageList* Icons() const { return icons_; }
    void SetIcons(ImageList* list);
    ImageList* SmallIcons() const { return smallIcons_; }
    void SetSmallIcons(ImageList* list);

    int View() const { return view_; }
    void SetView(int mode);

    const std::string& Tag() const { return tag_; }
    void SetTag(std::string tag) { tag_ = std::move(tag); }

    ListItem SelectedItem() const;
    // Selects `item` (or nothing) and makes it the current entry.
    void SetSelectedItem(const ListItem& item);
    void StartLabelEdit();
    // Ends an open in-place edit as a click elsewhere does, keeping its text (the edit's
    // AfterLabelEdit runs now); nothing when no edit is open.
    void EndLabelEdit();
    void AddColumnHeader(const QString& text, float widthTwips);

    float Width() const;
    float Height() const;
    // Sizes in twips; a negative size fails with errInvalidPropertyValue.
    void SetWidth(float twips);
    void SetHeight(float twips);

    // The list's events.
    std::function<void(ListItem)> ItemClick;
    std::function<void()> DblClick;
    std::function<void(int16_t& cancel, const QString& newString)> AfterLabelEdit;
    // A context menu is asked for on the selected entry, to open at `globalPos`. A right
    // click on an entry selects it and raises ItemClick first; one on no entry asks for none.
    std::function<void(const QPoint& globalPos)> ContextMenu;

    // The Qt view showing the current mode, and the entry model, for whoever drives or reads
    // the screen.
    QAbstractItemView* ActiveView() const;
    ListItemsModel* Model() const { return model_; }

private:
    friend class ListItem;
    void Rebind();
    void AttachModel();
    void CheckPictureKey(const std::string& key, ImageList* list) const;
    void RemoveSlot(uint32_t slot);
    template <class QtView>
    void Connect(QtView* view);
    void OnItemClicked(const QModelIndex& index);
    void OnEditStarted(const QModelIndex& index, QWidget* editor);
    void OnContextMenu(const QModelIndex& index, const QPoint& globalPos, bool byMouse);
    bool CommitEdit(uint32_t slot, const QString& text);

    ListItemsModel* model_;
    QItemSelectionModel* selection_;  // shared by the views, so a switch keeps the selection
    int columnWidth_ = 0;
    PictureDelegate* listDelegate_;  // each view has its own, so editors end in their view
    PictureDelegate* detailsDelegate_;
    BannerListView* list_;
    BannerTreeView* details_;
    QStackedLayout* stack_;
    Items items_{this};
    ImageList* icons_ = nullptr;
    ImageList* smallIcons_ = nullptr;
    int view_ = lvwIcon;
    std::string tag_;
    LabelEdit edit_;
};

}  // namespace talvane
