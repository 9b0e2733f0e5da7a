#pragma once
// The order of the list: texts compared case-insensitively, runs of digits by their value
// (banner2 before banner10), as file managers sort names. Each text becomes a byte string,
// its sort key, so that a scan's hundred thousand entries are sorted by comparing bytes.

#include <QString>
#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace talvane {

// Bytes that compare (as unsigned chars, shorter first on a tie) the way the texts compare.
std::string NaturalSortKey(const QString& text);
// The same key for a text that is all ASCII, one byte per character, made without a QString.
std::string NaturalSortKeyOfAscii(std::string_view text);
// Compares two texts in that order. Returns <0, 0 or >0.
int NaturalCompare(const QString& a, const QString& b);

// The sort keys of many entries, made once each into one buffer rather than once per
// comparison.
class SortKeys {
public:
    void Reserve(size_t count) { spans_.reserve(count); }
    void Add(std::string_view key) {
        spans_.emplace_back(static_cast<uint32_t>(buffer_.size()),
                            static_cast<uint32_t>(key.size()));
        buffer_ += key;
    }
    std::string_view operator[](size_t i) const {
        return std::string_view(buffer_).substr(spans_[i].first, spans_[i].second);
    }
    size_t Size() const { return spans_.size(); }

private:
    std::string buffer_;
    std::vector<std::pair<uint32_t, uint32_t>> spans_;  // of each key in the buffer
};

// One entry being sorted: which key it has, the entry's own number, and seven bytes of the
// key from some offset followed by how many of those seven the key has, so that comparing
// the numbers compares that stretch of the keys, a key that ends first coming first.
struct SortItem {
    uint64_t chunk;
    uint32_t number;
    uint32_t key;
};

inline uint64_t SortChunk(std::string_view key, size_t at) {
    const size_t count = at < key.size() ? std::min<size_t>(7, key.size() - at) : 0;
    uint64_t chunk = 0;
    for (size_t i = 0; i < 7; ++i) chunk = (chunk << 8) | (i < count ? uint8_t(key[at + i]) : 0u);
    return (chunk << 8) | count;
}

// Sorts by the keys seven bytes at a time: names that share a long beginning (banner0001,
// banner0002...) are told apart by comparing one number each, not byte strings. Items whose
// keys are equal are put in order by `before`, which orders all items.
template <class It, class Before>
void SortByChunks(It begin, It end, const SortKeys& keys, const Before& before, size_t at = 0) {
    for (It i = begin; i != end; ++i) i->chunk = SortChunk(keys[i->key], at);
    std::sort(begin, end, [](const SortItem& x, const SortItem& y) { return x.chunk < y.chunk; });
    for (It run = begin; run != end;) {
        It next = run + 1;
        while (next != end && next->chunk == run->chunk) ++next;
        if (next - run > 1) {
            if ((run->chunk & 0xFF) == 7)
                SortByChunks(run, next, keys, before, at + 7);  // the keys go on: look further
            else
                std::sort(run, next, before);  // equal keys: the full order decides
        }
        run = next;
    }
}

}  // namespace talvane
