#pragma once
// The image list: pictures of one fixed size under unique keys, with no window of its own.
// List views bound to it ask it for their pictures when they paint.

#include <QImage>
#include <QObject>
#include <string>
#include <unordered_map>

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
        void Clear();
        int Count() const;
        // The image under `key`; fails with errElementNotFound when there is none.
        ListImage operator()(const std::string& key) const;

    private:
        ImageList* list_;
    };
    Images& ListImages() { return images_; }

    // The picture under `key`, or nullptr; for painting, never fails.
    const QImage* Find(const std::string& key) const;

signals:
    // Pictures were removed or re-keyed: whoever shows them repaints.
    void Changed();

private:
    friend class ListImage;
    friend class Images;
    void Rekey(const std::string& from, const std::string& to);

    int width_;
    int height_;
    std::unordered_map<std::string, QImage> pictures_;
    Images images_{this};
};

}  // namespace talvane
