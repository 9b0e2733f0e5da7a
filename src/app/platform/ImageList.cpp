#include "app/platform/ImageList.h"

#include "app/platform/Names.h"
#include "app/platform/RuntimeError.h"

namespace talvane {

namespace {

RuntimeError KeyTaken(const std::string& key) {
    return RuntimeError(errKeyNotUnique, QStringLiteral("Key is not unique in collection: \"%1\"")
                                             .arg(DisplayName(key)));
}

RuntimeError NoSuchKey(const std::string& key) {
    return RuntimeError(errElementNotFound,
                        QStringLiteral("Element not found: \"%1\"").arg(DisplayName(key)));
}

}  // namespace

void ListImage::SetKey(const std::string& key) {
    list_->Rekey(key_, key);
    key_ = key;
}

QImage ListImage::Picture() const {
    const QImage* picture = list_->Find(key_);
    if (!picture) throw NoSuchKey(key_);
    return *picture;
}

ImageList::ImageList(int imageWidth, int imageHeight, QObject* parent)
    : QObject(parent), width_(imageWidth), height_(imageHeight) {}

ListImage ImageList::Images::Add(const std::string& key, const QImage& picture) {
    if (list_->pictures_.count(key)) throw KeyTaken(key);
    QImage stored = picture;
    if (stored.size() != QSize(list_->width_, list_->height_))
        stored = stored.scaled(list_->width_, list_->height_, Qt::IgnoreAspectRatio,
                               Qt::FastTransformation);
    if (stored.format() != QImage::Format_ARGB32_Premultiplied)
        stored = stored.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    list_->pictures_.emplace(key, std::move(stored));
    return ListImage(list_, key);
}

void ImageList::Images::Clear() {
    list_->pictures_.clear();
    emit list_->Changed();
}

int ImageList::Images::Count() const { return static_cast<int>(list_->pictures_.size()); }

ListImage ImageList::Images::operator()(const std::string& key) const {
    if (!list_->pictures_.count(key)) throw NoSuchKey(key);
    return ListImage(list_, key);
}

const QImage* ImageList::Find(const std::string& key) const {
    auto it = pictures_.find(key);
    return it == pictures_.end() ? nullptr : &it->second;
}

void ImageList::Rekey(const std::string& from, const std::string& to) {
    if (from == to) return;
    if (pictures_.count(to)) throw KeyTaken(to);
    auto node = pictures_.extract(from);
    if (node.empty()) throw NoSuchKey(from);
    node.key() = to;
    pictures_.insert(std::move(node));
    emit Changed();
}

}  // namespace talvane
