#pragma once
// Where the list keeps its entries: slots that never move, so that an entry can be named
// by its slot while others come and go, and the order in which the slots are shown.

#include <cstddef>
#include <cstdint>
#include <deque>
#include <vector>

namespace talvane {

// Slots holding entries of type `Entry` (which has `Empty()`, leaving it as new). A slot
// given back is reused; its generation moves on, so that a name made of a slot and its
// generation stops fitting once its entry is gone.
template <class Entry>
class SlotTable {
public:
    // A slot to fill: a free one, or a new one.
    uint32_t Take() {
        if (!free_.empty()) {
            const uint32_t slot = free_.back();
            free_.pop_back();
            return slot;
        }
        cells_.emplace_back();
        return static_cast<uint32_t>(cells_.size() - 1);
    }
    // The taken slot holds an entry now.
    void Occupy(uint32_t slot) { cells_[slot].live = true; }
    // Empties a slot and makes it free; its entry's memory (its key's) stays for reuse.
    void Free(uint32_t slot) {
        Empty(cells_[slot]);
        free_.push_back(slot);
    }
    void FreeAll() {
        for (Cell& cell : cells_) Empty(cell);
        // The lowest slots are taken first again.
        free_.clear();
        for (uint32_t slot = static_cast<uint32_t>(cells_.size()); slot-- > 0;)
            free_.push_back(slot);
    }

    Entry& operator[](uint32_t slot) { return cells_[slot].entry; }
    const Entry& operator[](uint32_t slot) const { return cells_[slot].entry; }
    uint32_t Generation(uint32_t slot) const { return cells_[slot].generation; }
    bool IsLive(uint32_t slot, uint32_t generation) const {
        return slot < cells_.size() && cells_[slot].live && cells_[slot].generation == generation;
    }

private:
    struct Cell {
        Entry entry;
        uint32_t generation = 0;
        bool live = false;
    };
    static void Empty(Cell& cell) {
        if (!cell.live) return;
        cell.entry.Empty();
        cell.live = false;
        ++cell.generation;
    }

    std::deque<Cell> cells_;  // a deque: entries never move as the list grows
    std::vector<uint32_t> free_;
};

// Slots in display order, each with its row at hand.
class RowOrder {
public:
    size_t Size() const { return slots_.size(); }
    uint32_t SlotAt(size_t row) const { return slots_[row]; }
    // The row of `slot`, or -1 when it has none.
    int RowOf(uint32_t slot) const { return slot < rows_.size() ? rows_[slot] : -1; }
    const std::vector<uint32_t>& Slots() const { return slots_; }

    void Append(uint32_t slot);
    void Erase(size_t row);
    // Moves the slot at row `from` to row `to`, the rows between moving by one.
    void Move(size_t from, size_t to);
    // Puts the slots in the order `slotAt(row)` gives, for each row; the same slots.
    template <class SlotAt>
    void Reorder(const SlotAt& slotAt) {
        for (size_t row = 0; row < slots_.size(); ++row) {
            slots_[row] = slotAt(row);
            rows_[slots_[row]] = static_cast<int>(row);
        }
    }
    void Clear();

private:
    void Renumber(size_t from, size_t to);  // rows [from, to)

    std::vector<uint32_t> slots_;
    std::vector<int> rows_;  // by slot
};

}  // namespace talvane
