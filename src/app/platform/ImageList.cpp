#include "app/platform/ImageList.h"

#include <cstring>

#include "app/platform/RuntimeError.h"

namespace talvane {

void ListImage::SetKey(const std::string& key) {
    list_->Rekey(key_, key);
    key_ = key;
}

QImage ListImage::Picture() const {
    QImage picture = list_->Find(key_);
    if (picture.isNull()) throw ElementNotFound(key_);
    return picture.copy();  // the caller's own, whatever becomes of the list
}

ImageList::ImageList(int imageWidth, int imageHeight, QObject* parent)
    : QObject(parent), width_(imageWidth), height_(imageHeight) {}

ListImage ImageList::Images::Add(const std::string& key, const QImage& picture) {
    if (picture.isNull()) {
        if (list_->Has(key)) throw KeyNotUnique(key);
        throw RuntimeError(errInvalidPicture, QStringLiteral("Invalid picture"));
    }
    // One look in the index both checks the key and takes it; a taken key gives its copy
    // back.
    const uint32_t number = list_->count_;
    const size_t keyBlocks = list_->keyBlocks_.size(), keyBlockUsed = list_->keyBlockUsed_;
    list_->keys_.push_back(list_->StoreKey(key));
    if (!list_->pictures_.Insert(list_->keys_.back(), number)) {
        list_->keys_.pop_back();
        if (list_->keyBlocks_.size() == keyBlocks) list_->keyBlockUsed_ = keyBlockUsed;
        throw KeyNotUnique(key);
    }
    try {
        QImage stored = picture;
        if (stored.size() != QSize(list_->width_, list_->height_))
            stored = stored.scaled(list_->width_, list_->height_, Qt::IgnoreAspectRatio,
                                   Qt::FastTransformation);
        if (stored.format() != QImage::Format_ARGB32_Premultiplied)
            stored = stored.convertToFormat(QImage::Format_ARGB32_Premultiplied);
        // Qt answers a failed allocation with a null image.
        if (stored.isNull()) throw RuntimeError(errOutOfMemory, QStringLiteral("Out of memory"));
        if (number % kBlock == 0)
            list_->blocks_.push_back(std::make_unique_for_overwrite<QRgb[]>(
                size_t(kBlock) * list_->width_ * list_->height_));
        QRgb* pixels = list_->Pixels(number);
        for (int y = 0; y < list_->height_; ++y)
            std::memcpy(pixels + size_t(y) * list_->width_, stored.constScanLine(y),
                        size_t(list_->width_) * sizeof(QRgb));
    } catch (...) {
        list_->pictures_.Erase(key);  // out of memory: the key stays free
        list_->keys_.pop_back();
        throw;
    }
    ++list_->count_;
    list_->lastKey_ = list_->keys_.back();
    return ListImage(list_, key);
}

void ImageList::Images::Remove(const std::string& key) {
    std::optional<uint32_t> number = list_->pictures_.Erase(key);
    if (!number) throw ElementNotFound(key);
    if (list_->lastKey_ == key) list_->lastKey_ = {};
    list_->keys_[*number] = {};  // its pixels and key bytes stay unused until the list is cleared
    emit list_->Changed();
}

void ImageList::Images::Clear() {
    list_->pictures_.Clear();
    list_->keys_.clear();
    list_->lastKey_ = {};
    list_->keyBlocks_.clear();
    list_->keyBlockUsed_ = kKeyBlock;
    list_->blocks_.clear();
    list_->count_ = 0;
    emit list_->Changed();
}

int ImageList::Images::Count() const { return static_cast<int>(list_->pictures_.Size()); }

ListImage ImageList::Images::operator()(const std::string& key) const {
    if (!list_->Has(key)) throw ElementNotFound(key);
    return ListImage(list_, key);
}

QRgb* ImageList::Pixels(uint32_t number) const {
    return blocks_[number / kBlock].get() + size_t(number % kBlock) * width_ * height_;
}

std::string_view ImageList::StoreKey(std::string_view key) {
    if (key.size() > kKeyBlock) {  // a key of its own size
        keyBlocks_.insert(keyBlocks_.begin(), std::make_unique_for_overwrite<char[]>(key.size()));
        std::memcpy(keyBlocks_.front().get(), key.data(), key.size());
        return std::string_view(keyBlocks_.front().get(), key.size());
    }
    if (kKeyBlock - keyBlockUsed_ < key.size()) {
        keyBlocks_.push_back(std::make_unique_for_overwrite<char[]>(kKeyBlock));
        keyBlockUsed_ = 0;
    }
    char* at = keyBlocks_.back().get() + keyBlockUsed_;
    if (!key.empty()) std::memcpy(at, key.data(), key.size());
    keyBlockUsed_ += key.size();
    return std::string_view(at, key.size());
}

QImage ImageList::Find(const std::string& key) const {
    std::optional<uint32_t> number = pictures_.Find(key);
    if (!number) return QImage();
    return QImage(reinterpret_cast<const uchar*>(Pixels(*number)), width_, height_,
                  width_ * int(sizeof(QRgb)), QImage::Format_ARGB32_Premultiplied);
}

void ImageList::Rekey(const std::string& from, const std::string& to) {
    if (from == to) return;
    if (pictures_.Find(to)) throw KeyNotUnique(to);
    lastKey_ = {};
    std::optional<uint32_t> number = pictures_.Erase(from);
    if (!number) throw ElementNotFound(from);
    keys_[*number] = StoreKey(to);  // the old key's bytes stay unused until the list is cleared
    pictures_.Insert(keys_[*number], *number);
    emit Changed();
}

}  // namespace talvane
