#pragma once
// The names a folder's listing has given so far, so that each is given once: a file system
// may list a name twice while the folder changes. The names lie one after the other in one
// block, found through an open-addressed index of where each starts: a few bytes a name
// beyond the name itself, and no allocation per name.

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace talvane {

class NameSet {
public:
    // Adds `name`; false when it is there already.
    bool Insert(std::string_view name) {
        if ((count_ + 1) * 2 > index_.size()) Grow();
        const uint64_t hash = std::hash<std::string_view>{}(name);
        const size_t mask = index_.size() - 1;
        for (size_t at = size_t(hash) & mask;; at = (at + 1) & mask) {
            const uint64_t entry = index_[at];
            if (entry == 0) {
                index_[at] = (hash & kHashBits) | (bytes_.size() + 1);
                bytes_.append(name);
                bytes_.push_back('\0');  // no name holds NUL
                ++count_;
                return true;
            }
            if ((entry & kHashBits) == (hash & kHashBits) && Name(entry) == name) return false;
        }
    }

private:
    // An entry: the top bits of the name's hash, and 1 + where the name starts (0: empty).
    static constexpr uint64_t kHashBits = ~uint64_t(0) << 40;

    std::string_view Name(uint64_t entry) const {
        return std::string_view(bytes_.c_str() + ((entry & ~kHashBits) - 1));
    }

    void Grow() {
        std::vector<uint64_t> old(index_.empty() ? 64 : index_.size() * 2, 0);
        old.swap(index_);
        const size_t mask = index_.size() - 1;
        for (uint64_t entry : old) {
            if (entry == 0) continue;
            size_t at = size_t(std::hash<std::string_view>{}(Name(entry))) & mask;
            while (index_[at] != 0) at = (at + 1) & mask;
            index_[at] = entry;
        }
    }

    std::string bytes_;
    std::vector<uint64_t> index_;
    size_t count_ = 0;
};

}  // namespace talvane
