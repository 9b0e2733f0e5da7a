#pragma once
// An index from string keys to small numbers, for the list's entries and the image list's
// pictures, which come by the hundred thousand in one scan: one flat array of cells (open
// addressing, linear probing), each holding a number and its key's hash. The keys stay with
// their owner, which `keyOf(number)` asks for. No allocation per key; clearing keeps the
// array for the next scan.

#include <cstdint>
#include <functional>
#include <optional>
#include <string_view>
#include <vector>

namespace talvane {

template <class KeyOf>
class KeyIndex {
public:
    explicit KeyIndex(KeyOf keyOf) : keyOf_(keyOf) {}

    size_t Size() const { return size_; }

    std::optional<uint32_t> Find(std::string_view key) const {
        if (size_ == 0) return std::nullopt;
        const uint32_t hash = Hash(key);
        for (size_t at = hash & mask_;; at = (at + 1) & mask_) {
            const Cell& cell = cells_[at];
            if (cell.number == kEmpty) return std::nullopt;
            if (cell.hash == hash && keyOf_(cell.number) == key) return cell.number;
        }
    }

    // Files `number` under `key`; false, with nothing changed, when the key is taken.
    bool Insert(std::string_view key, uint32_t number) {
        if ((size_ + 1) * 10 > cells_.size() * 7) Grow();
        const uint32_t hash = Hash(key);
        size_t at = hash & mask_;
        for (; cells_[at].number != kEmpty; at = (at + 1) & mask_)
            if (cells_[at].hash == hash && keyOf_(cells_[at].number) == key) return false;
        cells_[at] = {hash, number};
        ++size_;
        return true;
    }

    // Takes `key` out; the number it had, or nothing.
    std::optional<uint32_t> Erase(std::string_view key) {
        if (size_ == 0) return std::nullopt;
        const uint32_t hash = Hash(key);
        size_t at = hash & mask_;
        for (;; at = (at + 1) & mask_) {
            if (cells_[at].number == kEmpty) return std::nullopt;
            if (cells_[at].hash == hash && keyOf_(cells_[at].number) == key) break;
        }
        const uint32_t number = cells_[at].number;
        // The cells after it that would not be found past the gap move back into it.
        for (size_t next = (at + 1) & mask_; cells_[next].number != kEmpty;
             next = (next + 1) & mask_) {
            const size_t home = cells_[next].hash & mask_;
            const bool staysPut =
                at <= next ? (at < home && home <= next) : (at < home || home <= next);
            if (staysPut) continue;
            cells_[at] = cells_[next];
            at = next;
        }
        cells_[at].number = kEmpty;
        --size_;
        return number;
    }

    void Clear() {
        for (Cell& cell : cells_) cell.number = kEmpty;
        size_ = 0;
    }

private:
    struct Cell {
        uint32_t hash;
        uint32_t number;
    };
    static constexpr uint32_t kEmpty = UINT32_MAX;

    static uint32_t Hash(std::string_view key) {
        const size_t hash = std::hash<std::string_view>()(key);
        return uint32_t(hash ^ (hash >> 32));
    }

    void Grow() {
        std::vector<Cell> old(cells_.empty() ? 16 : cells_.size() * 2, Cell{0, kEmpty});
        old.swap(cells_);
        mask_ = cells_.size() - 1;
        for (const Cell& cell : old) {
            if (cell.number == kEmpty) continue;
            size_t at = cell.hash & mask_;
            while (cells_[at].number != kEmpty) at = (at + 1) & mask_;
            cells_[at] = cell;
        }
    }

    KeyOf keyOf_;
    std::vector<Cell> cells_;
    size_t mask_ = 0;
    size_t size_ = 0;
};

}  // namespace talvane
