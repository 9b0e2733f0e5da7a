#pragma once
// The files between a scan and its listing, each in a slot (its place in the order) modulo
// the window's size. Thread 0 lists the folder, then reads with the others; the scan takes
// the files in order, and reads one itself when no reader has come to it yet. With no threads
// the scan lists and reads one file at a time, in a window of one.
//
// There is no lock. Each slot holds one counter that tells, for the file at place i in the
// order, how far it has come: listed, being read, read; then, given back by the scan, free
// for the file at i + size. It only ever moves forward, and each step is made by whoever
// finds the slot where it should be (the lister and the scan have theirs alone; a reader and
// the scan may both try to start a read, and one of them does). Everyone who waits here waits
// the same way: for a counter to reach a value.

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

#include "app/platform/LoadPicture.h"
#include "catalogue/BannerReadAhead.h"

namespace talvane {

struct BannerReadAhead::Slot {
    std::atomic<uint32_t> step{0};
    std::string name;    // written by the lister while the slot is free
    bool plain = false;  // listed as a regular file, not a link
    // Written by whoever reads the slot, before its counter says read.
    BannerRead read;
    QRgb pixels[kBannerWidth * kBannerHeight];
};

class BannerReadAhead::Window final : public ReaderThreads::Work {
public:
    Window(bool (*wanted)(std::string_view), uint64_t size, int fd,
           std::unique_ptr<FsFolder> listing, uint32_t count, int readers);

    void Do(int index) override;
    void Stop() override;
    int InCalls() override { return inCalls_.load(); }

    // Gives back the slot taken last, if any, and takes the next file's, read; null at the
    // end. `lister`: the listing the scan lists from itself, when it has no lister thread.
    Slot* Next(Slot* last, FsFolder* lister);
    uint64_t Size() const { return size_; }
    // Why the listing ended early (0: it did not); known once Next gave null.
    int ListingError() const { return listingError_; }

private:
    // The steps of the file at place i, one counter value each.
    enum Phase : uint32_t { kFree, kListed, kReading, kRead, kEnd };
    static uint32_t Step(uint32_t place, Phase phase) { return place * 8 + phase; }
    // Stop moves a counter one on to wake whoever waits on it, onto a phase that may mean
    // something: everyone who loads a counter sees the window stopping, or compares exactly.
    static_assert(kEnd + 1 < 8, "a moved counter stays within its place");
    // Counters wrap around: a value is reached when the distance to it is not negative.
    static bool Reached(uint32_t value, uint32_t target) { return int32_t(value - target) >= 0; }
    // Waits for `counter` to reach `target`, and gives the value it has then; false when the
    // window stops first.
    bool Await(const std::atomic<uint32_t>& counter, uint32_t target, uint32_t& value) const;
    // Moves a slot one step on, if it stands where it should.
    static bool Move(Slot& slot, uint32_t from, uint32_t to);

    // Lists the next wanted name into its slot, once there is room: false at the listing's
    // end, and when the window stops.
    bool List(FsFolder& listing);
    void ReadSlots(int reader);
    void Read(Slot& slot, uint32_t place);
    void CallMoreReaders();

    // Room waited for once the window is full: a batch, rather than a slot at a time.
    static constexpr uint32_t kBatch = 16;

    bool (*const wanted_)(std::string_view);
    const uint64_t size_;
    const int fd_;                       // the folder names are looked up in
    std::unique_ptr<FsFolder> listing_;  // the lister's own listing of it
    const uint32_t slots_;
    const std::unique_ptr<Slot[]> ring_;

    uint32_t filled_ = 0;               // the lister's own: the place it lists next
    uint32_t next_ = 0;                 // the scan's own: the place it takes next
    int listingError_ = 0;              // written by the lister before it marks the end
    std::atomic<uint32_t> claimed_{0};  // the places readers have come to
    std::atomic<uint32_t> active_;      // readers at work; the others wait to be called
    std::atomic<bool> stopping_{false};
    // Threads in a call to the file system, which may never come back; the lister counts as
    // one while it lists.
    std::atomic<int> inCalls_;
};

}  // namespace talvane
