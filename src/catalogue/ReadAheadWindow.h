#pragma once
// The files between a scan and its listing, each in a slot (its place in the order) modulo
// the window's size. Thread 0 lists the folder, then reads with the others; the scan takes
// the files in order, and reads one itself when no reader has come to it yet. With no threads
// the scan lists and reads one file at a time, in a window of one.

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>

#include "app/platform/LoadPicture.h"
#include "catalogue/BannerReadAhead.h"

namespace talvane {

struct BannerReadAhead::Slot {
    std::string name;    // written by the lister before the slot is listed
    bool plain = false;  // listed as a regular file, not a link
    // Read by a reader thread: set under the window's lock, and seen by the scan without it.
    std::atomic<bool> done{false};
    // Written by whoever reads the slot, before it is done.
    BannerRead read;
    QRgb pixels[kBannerWidth * kBannerHeight];
};

class BannerReadAhead::Window final : public ReaderThreads::Work {
public:
    Window(bool (*wanted)(std::string_view), uint64_t size, int fd,
           std::unique_ptr<FsFolder> listing, size_t count, int readers)
        : wanted_(wanted),
          size_(size),
          fd_(fd),
          listing_(std::move(listing)),
          slots_(count),
          ring_(std::make_unique<Slot[]>(count)),
          active_(readers) {}

    void Do(int index) override;
    void Stop() override {
        {
            std::lock_guard lock(mutex_);
            stopping_ = true;
        }
        room_.notify_all();
        names_.notify_all();
        called_.notify_all();
    }
    int InCalls() override {
        std::lock_guard lock(mutex_);
        return inCalls_;
    }

    // Gives back the slot taken last, if any, and takes the next file's, read; null at the
    // end. `lister`: where the scan lists itself when the file is not listed yet, if it must.
    Slot* Next(Slot* last, FsFolder* lister);
    uint64_t Size() const { return size_; }
    int ListingError() {
        std::lock_guard lock(mutex_);
        return listingError_;
    }

private:
    bool List(FsFolder& listing);
    void Read(Slot& slot) {
        ReadBanner(fd_, slot.name.c_str(), slot.plain, size_, slot.pixels, slot.read);
    }
    // Names listed at a time before readers waiting for more are woken, and the room the
    // lister waits for once the window is full.
    static constexpr size_t kBatch = 16;
    size_t Room() const { return slots_ - std::min(kBatch, slots_); }

    bool (*const wanted_)(std::string_view);
    const uint64_t size_;
    const int fd_;                       // the folder names are looked up in
    std::unique_ptr<FsFolder> listing_;  // the lister's own listing of it
    const size_t slots_;
    const std::unique_ptr<Slot[]> ring_;

    // Everything below is guarded by the one lock. Files [taken, filled) are listed and not
    // yet given back by the scan; of them, [taken, claimed) are read or being read: taken <=
    // claimed <= filled <= taken + slots. Each who waits has a condition of its own, so that
    // a wake-up goes only to a thread that can go on.
    std::mutex mutex_;
    std::condition_variable room_;    // the lister: for room in the window
    std::condition_variable names_;   // readers at work: for names to read
    std::condition_variable called_;  // readers held back: for their call
    std::condition_variable scan_;    // the scan: for its file
    size_t taken_ = 0, claimed_ = 0, filled_ = 0;
    size_t next_ = 0;     // the scan's own, not guarded: the file it takes next (taken <= next)
    bool ended_ = false;  // the listing ended after `filled`
    int listingError_ = 0;
    bool stopping_ = false;
    int active_;  // readers at work; the others wait to be called
    // Threads in a call to the file system, which may never come back; the lister counts as
    // one while it lists.
    int inCalls_ = 1;
    bool listerWaits_ = false, scanWaits_ = false;
    int readersWait_ = 0;
};

}  // namespace talvane
