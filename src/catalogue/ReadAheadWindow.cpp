#include "catalogue/ReadAheadWindow.h"

#include <algorithm>
#include <cassert>
#include <chrono>

#include "catalogue/ReaderPolicy.h"

namespace talvane {

BannerReadAhead::Window::Window(bool (*wanted)(std::string_view), uint64_t size, int fd,
                                std::unique_ptr<FsFolder> listing, uint32_t count, int readers)
    : wanted_(wanted),
      size_(size),
      fd_(fd),
      listing_(std::move(listing)),
      slots_(count),
      ring_(std::make_unique<Slot[]>(count)),
      active_(uint32_t(readers)),
      inCalls_(listing_ ? 1 : 0) {
    for (uint32_t place = 0; place < count; ++place)
        ring_[place].step.store(Step(place, kFree), std::memory_order_relaxed);
}

bool BannerReadAhead::Window::Await(const std::atomic<uint32_t>& counter, uint32_t target,
                                    uint32_t& value) const {
    for (;;) {
        value = counter.load(std::memory_order_acquire);
        // Stop moves the counters waited on after it sets this: whoever wakes to that sees it.
        if (stopping_.load()) return false;
        if (Reached(value, target)) return true;
        counter.wait(value, std::memory_order_acquire);
    }
}

bool BannerReadAhead::Window::Move(Slot& slot, uint32_t from, uint32_t to) {
    if (!slot.step.compare_exchange_strong(from, to, std::memory_order_acq_rel)) return false;
    slot.step.notify_all();
    return true;
}

void BannerReadAhead::Window::Stop() {
    stopping_.store(true);
    // Any change wakes whoever waits on a counter; each then sees the window stopping, and
    // every step someone meant to make there fails from here on. Only the scan's next
    // places can have someone waiting: the lister within a batch of it, readers up to the
    // last place come to. A reader coming to a place after this sees the window stopping:
    // the flag, the places come to and this look at them are in one order (sequentially
    // consistent, and must stay so).
    const uint32_t claimed = claimed_.load();
    const uint32_t ahead = Reached(claimed, next_) ? claimed - next_ : 0;
    const uint32_t count = std::min(slots_, std::max(ahead, kBatch));
    for (uint32_t place = next_; place != next_ + count; ++place) {
        Slot& slot = ring_[place % slots_];
        slot.step.fetch_add(1, std::memory_order_acq_rel);
        slot.step.notify_all();
    }
    active_.fetch_add(1, std::memory_order_acq_rel);
    active_.notify_all();
}

void BannerReadAhead::Window::Do(int index) {
    if (index == 0) {
        while (List(*listing_)) {
        }
        inCalls_.fetch_sub(1);
    }
    ReadSlots(index);
}

bool BannerReadAhead::Window::List(FsFolder& listing) {
    if (stopping_.load()) return false;
    const uint32_t place = filled_;
    Slot& slot = ring_[place % slots_];
    uint32_t value = slot.step.load(std::memory_order_acquire);
    if (!Reached(value, Step(place, kFree))) {
        // The scan gives slots back in order: with the last of the batch, all are back.
        // Waiting here is no call to the file system: a lister that was never woken would be
        // a scan that never ends, not one quietly left behind.
        const uint32_t last = place + std::min(kBatch, slots_) - 1;
        inCalls_.fetch_sub(1);
        const bool room = Await(ring_[last % slots_].step, Step(last, kFree), value);
        inCalls_.fetch_add(1);
        if (!room) return false;
        value = slot.step.load(std::memory_order_acquire);
    }
    if (value != Step(place, kFree)) return false;  // the listing ended, or the window stops
    std::string_view name;
    do {
        if (!listing.NextName(name)) {
            listingError_ = listing.ListingError();
            Move(slot, Step(place, kFree), Step(place, kEnd));
            return false;
        }
    } while (!wanted_(name));
    slot.name.assign(name);
    slot.plain = listing.ListedAsRegular();
    ++filled_;
    return Move(slot, Step(place, kFree), Step(place, kListed));
}

void BannerReadAhead::Window::Read(Slot& slot, uint32_t place) {
    ReadBanner(fd_, slot.name.c_str(), slot.plain, size_, slot.pixels, slot.read);
    Move(slot, Step(place, kReading), Step(place, kRead));
}

void BannerReadAhead::Window::ReadSlots(int reader) {
    ReaderPolicy policy;
    for (uint32_t value;;) {
        if (!Await(active_, uint32_t(reader) + 1, value)) return;
        // Each place is come to by one reader, which reads it unless the scan came first. In
        // one order with Stop (sequentially consistent, and must stay so), which wakes the
        // places come to before it and no others.
        const uint32_t place = claimed_.fetch_add(1);
        Slot& slot = ring_[place % slots_];
        if (!Await(slot.step, Step(place, kListed), value)) return;
        if (value == Step(place, kEnd)) return;
        if (value != Step(place, kListed) ||
            !Move(slot, Step(place, kListed), Step(place, kReading)))
            continue;
        const auto start = std::chrono::steady_clock::now();
        inCalls_.fetch_add(1);
        Read(slot, place);
        inCalls_.fetch_sub(1);
        if (policy.Read(std::chrono::steady_clock::now() - start)) CallMoreReaders();
    }
}

void BannerReadAhead::Window::CallMoreReaders() {
    constexpr uint32_t kAll = kMaxReaders + 1;  // and the lister
    if (active_.load(std::memory_order_relaxed) >= kAll) return;
    active_.store(kAll, std::memory_order_release);
    active_.notify_all();
}

BannerReadAhead::Slot* BannerReadAhead::Window::Next(Slot* last, FsFolder* lister) {
    if (last) {
        last->step.store(Step(next_ + slots_, kFree), std::memory_order_release);
        last->step.notify_all();
        ++next_;
    }
    if (lister) List(*lister);
    const uint32_t place = next_;
    Slot& slot = ring_[place % slots_];
    uint32_t value;
    // The window stops only once the scan is over.
    [[maybe_unused]] bool going = Await(slot.step, Step(place, kListed), value);
    assert(going);
    if (value == Step(place, kEnd)) return nullptr;
    if (Move(slot, Step(place, kListed), Step(place, kReading))) {
        Read(slot, place);  // no reader has come to it yet
    } else {
        going = Await(slot.step, Step(place, kRead), value);
        assert(going);
    }
    return &slot;
}

}  // namespace talvane
