#include "app/platform/ListEntry.h"

#include <algorithm>
#include <string_view>

#include "app/platform/Names.h"
#include "app/platform/NaturalSort.h"

namespace talvane {

namespace {

// The file name in `key` without its last four characters.
std::string_view StemOf(const std::string& key) {
    std::string_view name = BaseNameView(key);
    return name.substr(0, name.size() >= 4 ? name.size() - 4 : 0);
}

bool IsAscii(std::string_view text) {
    return std::all_of(text.begin(), text.end(),
                       [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

bool TextMatchesKey(const QString& text, const std::string& key) {
    std::string_view stem = StemOf(key);
    if (IsAscii(stem)) {
        // ASCII: each byte is one character, compared without making the text.
        if (text.size() != qsizetype(stem.size())) return false;
        for (size_t i = 0; i < stem.size(); ++i)
            if (text[qsizetype(i)].unicode() != char16_t(stem[i])) return false;
        return true;
    }
    return text == DisplayName(stem);
}

}  // namespace

QString ListEntry::Text() const { return hasOwnText ? ownText : DisplayName(StemOf(key)); }

void ListEntry::Fill(const QString& text, const std::string& icon, const std::string& smallIcon) {
    if (!TextMatchesKey(text, key)) {
        ownText = text;
        hasOwnText = true;
    }
    if (icon != key || smallIcon != key)
        otherIcons = std::make_unique<std::pair<std::string, std::string>>(icon, smallIcon);
}

void ListEntry::KeepTextAndPictures() {
    if (!hasOwnText) {
        ownText = Text();
        hasOwnText = true;
    }
    if (!otherIcons) otherIcons = std::make_unique<std::pair<std::string, std::string>>(key, key);
}

std::string ListEntry::SortKey() const {
    if (!hasOwnText) {
        // Most texts are a file name in ASCII: its bytes are its characters.
        std::string_view stem = StemOf(key);
        if (IsAscii(stem)) return NaturalSortKeyOfAscii(stem);
    }
    return NaturalSortKey(Text());
}

void ListEntry::Empty() {
    key.clear();
    ownText = QString();
    hasOwnText = false;
    otherIcons.reset();
}

}  // namespace talvane
