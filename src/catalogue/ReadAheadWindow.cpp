#include "catalogue/ReadAheadWindow.h"

#include <cassert>
#include <chrono>

#include "catalogue/ReaderPolicy.h"

namespace talvane {

// Lists the next wanted names into the window, a batch at a time and never more than the
// window ahead of the scan; false at the end of the listing, or when stopped.
bool BannerReadAhead::Window::List(FsFolder& listing) {
    size_t at, room;
    {
        std::unique_lock lock(mutex_);
        if (filled_ - taken_ == slots_) {
            listerWaits_ = true;
            room_.wait(lock, [&] { return stopping_ || filled_ - taken_ <= Room(); });
            listerWaits_ = false;
        }
        if (stopping_) return false;
        at = filled_;
        room = std::min(kBatch, slots_ - (filled_ - taken_));
    }
    // The slots past `filled` are the lister's own, until it has listed them.
    size_t count = 0;
    bool listed = true;
    for (std::string_view name; count < room; ++count) {
        while ((listed = listing.NextName(name)) && !wanted_(name)) {
        }
        if (!listed) break;
        Slot& slot = ring_[(at + count) % slots_];
        slot.name.assign(name);
        slot.plain = listing.ListedAsRegular();
    }
    std::lock_guard lock(mutex_);
    filled_ += count;
    if (!listed) {
        ended_ = true;
        listingError_ = listing.ListingError();
    }
    if (scanWaits_) scan_.notify_one();
    if (readersWait_ > 0) names_.notify_all();
    return listed;
}

void BannerReadAhead::Window::Do(int index) {
    if (index == 0) {
        while (List(*listing_)) {
        }
        std::lock_guard lock(mutex_);
        --inCalls_;
    }
    ReaderPolicy policy;
    Slot* slot = nullptr;
    bool more = false;
    std::unique_lock lock(mutex_);
    for (;;) {
        if (slot) {
            slot->done.store(true, std::memory_order_release);
            --inCalls_;
            if (scanWaits_ && slot == &ring_[taken_ % slots_]) scan_.notify_one();
        }
        if (more && active_ != kMaxReaders + 1) {
            active_ = kMaxReaders + 1;
            called_.notify_all();
        }
        if (index >= active_) called_.wait(lock, [&] { return stopping_ || index < active_; });
        ++readersWait_;
        names_.wait(lock, [&] { return stopping_ || claimed_ < filled_; });
        --readersWait_;
        if (stopping_) return;
        slot = &ring_[claimed_++ % slots_];
        ++inCalls_;
        lock.unlock();
        const auto start = std::chrono::steady_clock::now();
        Read(*slot);
        more = policy.Read(std::chrono::steady_clock::now() - start);
        lock.lock();
    }
}

BannerReadAhead::Slot* BannerReadAhead::Window::Next(Slot* last, FsFolder* lister) {
    if (last) {
        last->done.store(false, std::memory_order_relaxed);
        ++next_;
    }
    Slot& slot = ring_[next_ % slots_];
    // A file read meanwhile is taken without the lock; the slots taken are given back to the
    // lister a batch at a time.
    if (next_ - taken_ < kBatch && slot.done.load(std::memory_order_acquire)) return &slot;
    std::unique_lock lock(mutex_);
    taken_ = next_;
    assert(taken_ <= claimed_ && claimed_ <= filled_ && filled_ - taken_ <= slots_);
    if (listerWaits_ && filled_ - taken_ <= Room()) room_.notify_one();
    for (;;) {
        if (taken_ < filled_) {
            if (claimed_ == taken_) {  // no reader has come to it yet
                ++claimed_;
                lock.unlock();
                Read(slot);
                return &slot;
            }
            if (slot.done.load(std::memory_order_relaxed)) return &slot;
        } else if (ended_) {
            return nullptr;
        } else if (lister) {
            lock.unlock();
            List(*lister);
            lock.lock();
            continue;
        }
        scanWaits_ = true;
        scan_.wait(lock);
        scanWaits_ = false;
    }
}

}  // namespace talvane
