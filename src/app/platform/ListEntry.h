#pragma once
// One entry of a list: its key, its text and the keys of its pictures, stored so that the
// common case (a banner showing its file's name, with pictures under its own key) keeps
// nothing but the key.

#include <QString>
#include <memory>
#include <string>
#include <utility>

namespace talvane {

struct ListEntry {
    std::string key;
    // The entry's text. Most entries show their file's name without its extension, which
    // is then made from the key when asked for rather than stored.
    QString Text() const;
    QString ownText;
    bool hasOwnText = false;
    // The keys of the entry's pictures; nearly always its own key, which is then not stored
    // again.
    const std::string& Icon() const { return otherIcons ? otherIcons->first : key; }
    const std::string& SmallIcon() const { return otherIcons ? otherIcons->second : key; }
    std::unique_ptr<std::pair<std::string, std::string>> otherIcons;

    // Gives the entry, its key set, its text and pictures, storing those its key does not
    // already give.
    void Fill(const QString& text, const std::string& icon, const std::string& smallIcon);
    // Keeps the text and the pictures the entry shows now, whatever its key becomes.
    void KeepTextAndPictures();
    // The key by which the entry sorts (see NaturalSortKey).
    std::string SortKey() const;
    // Empties the entry for reuse; its key keeps its memory.
    void Empty();
};

}  // namespace talvane
