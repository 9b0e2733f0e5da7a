#pragma once
// The image list: pictures of one fixed size under unique keys, with no window of its own.
// List views bound to it ask it for their pictures when they paint.

#include <QImage>
#include <QObject>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "app/platform/KeyIndex.h"

namespace talvane {

class ImageList;

// One stored image, named by its key.
class ListImage {
public:
    ListImage(ImageList* list, std::string key) : list_(list), key_(std::move(key)) {}
    const std::string& Key() const { return key_; }
    // Re-keys the image; fails with errKeyNotUnique when the key is taken.
    void SetKey(const std::string& key);
    QImage Picture() const;

private:
    ImageList* list_;
    std::string key_;
};

class ImageList : public QObject {
    Q_OBJECT
public:
    ImageList(int imageWidth, int imageHeight, QObject* parent = nullptr);

    int ImageWidth() const { return width_; }
    int ImageHeight() const { return height_; }

    class Images {
    public:
        explicit Images(ImageList* list) : list_(list) {}
        // Adds `picture` (brought to the list's image size) under `key`; fails with
        // errKeyNotUnique when the key is taken.
        ListImage Add(const std::string& key, const QImage& picture);
        // Removes the image under `key`; fails with errElementNotFound when there is none.
        void Remove(const std::string& key);
        void Clear();
        int Count() const;
        // The image under `key`; fails with errElementNotFound when there is none.
        ListImage operator()(const std::string& key) const;

    private:
        ImageList* list_;
    };
    Images& ListImages() { return images_; }

    bool Has(const std::string& key) const {
        return (!lastKey_.empty() && lastKey_ == key) || pictures_.Find(key).has_value();
    }
    // The picture under `key` (a null image when there is none), for painting at once: it
    // shows the list's own pixels and lives no longer than the list's next Clear.
    QImage Find(const std::string& key) const;

signals:
    // Pictures were removed or re-keyed: whoever shows them repaints.
    void Changed();

private:
    friend class ListImage;
    friend class Images;
    void Rekey(const std::string& from, const std::string& to);

    // The pixels of picture `number`: pictures are kept side by side in blocks that never
    // move, one block per kBlock pictures, with no per-picture overhead.
    QRgb* Pixels(uint32_t number) const;
    static constexpr uint32_t kBlock = 1024;

    int width_;
    int height_;
    // Keys are kept side by side too, in blocks that never move; the index refers to them.
    std::string_view StoreKey(std::string_view key);
    static constexpr size_t kKeyBlock = 64 * 1024;

    // Picture number -> its key (empty once the picture is removed or re-keyed), and the index
    // from key to number.
    std::vector<std::string_view> keys_;
    struct KeyOfPicture {
        const ImageList* list;
        std::string_view operator()(uint32_t number) const { return list->keys_[number]; }
    };
    KeyIndex<KeyOfPicture> pictures_{KeyOfPicture{this}};
    std::vector<std::unique_ptr<char[]>> keyBlocks_;
    size_t keyBlockUsed_ = kKeyBlock;
    std::vector<std::unique_ptr<QRgb[]>> blocks_;
    uint32_t count_ = 0;
    // The key of the picture added last, the one an entry added next usually shows.
    std::string_view lastKey_;
    Images images_{this};
};

}  // namespace talvane
