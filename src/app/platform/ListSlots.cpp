#include "app/platform/ListSlots.h"

#include <algorithm>

namespace talvane {

void RowOrder::Append(uint32_t slot) {
    if (slot >= rows_.size()) rows_.resize(size_t(slot) + 1, -1);
    rows_[slot] = static_cast<int>(slots_.size());
    slots_.push_back(slot);
}

void RowOrder::Erase(size_t row) {
    rows_[slots_[row]] = -1;
    slots_.erase(slots_.begin() + static_cast<ptrdiff_t>(row));
    Renumber(row, slots_.size());
}

void RowOrder::Move(size_t from, size_t to) {
    const uint32_t slot = slots_[from];
    slots_.erase(slots_.begin() + static_cast<ptrdiff_t>(from));
    slots_.insert(slots_.begin() + static_cast<ptrdiff_t>(to), slot);
    Renumber(std::min(from, to), std::max(from, to) + 1);
}

void RowOrder::Clear() {
    for (uint32_t slot : slots_) rows_[slot] = -1;
    slots_.clear();
}

void RowOrder::Renumber(size_t from, size_t to) {
    for (size_t row = from; row < to; ++row) rows_[slots_[row]] = static_cast<int>(row);
}

}  // namespace talvane
