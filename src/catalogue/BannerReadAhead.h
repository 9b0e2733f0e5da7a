#pragma once
// Reading a folder's banners ahead of the scan. A scan spends its time waiting on the disk,
// one file after the other; here a reader thread lists the folder while others look at the
// files and read and decode the banners many at a time, ahead of the scan, which takes them
// one by one in the folder's own order. Only plain data (names, sizes, pixels, error numbers)
// passes between the threads: the user-interface thread alone builds pictures, texts and
// errors and touches controls.

#include <QImage>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string_view>

#include "catalogue/FileSystemObject.h"

namespace talvane {

class BannerReadAhead {
public:
    // Reads ahead in `folder`, from where its listing stands, the files whose names pass
    // `wanted` and whose size is `size`. Files whose names fail are never looked at, files
    // of another size never opened.
    BannerReadAhead(FsFolder& folder, bool (*wanted)(std::string_view name), uint64_t size);
    // Stops the reading and waits for the reader threads to let go of the folder; what was
    // read past the last file taken is dropped.
    ~BannerReadAhead();
    BannerReadAhead(const BannerReadAhead&) = delete;
    BannerReadAhead& operator=(const BannerReadAhead&) = delete;

    // The next file in the folder's order that is wanted, of the size asked for, as the
    // folder's NextFile gives it. Fails as NextFile does: a file that cannot be looked at,
    // or a listing that fails, fails here, in its place in the order. False at the end.
    bool NextFile(FsFile& file);
    // The picture of the file NextFile gave last: the one read ahead, or, when reading
    // ahead could not decode it, the file loaded now with every check (LoadPicture).
    QImage LoadPicture(const FsFile& file);

    // How many files are read ahead at most; how many threads a scan may read with when the
    // disk is slow to answer.
    static constexpr size_t kWindow = 1024;
    static constexpr int kMaxReaders = 32;

private:
    struct Slot;
    void List();
    void ReadSlots(int reader);
    void Read(Slot& slot);
    void CallMoreReaders();
    bool NextSlot(Slot*& slot);
    static int ReadersFor(int folderFd);

    FsFolder& folder_;
    bool (*wanted_)(std::string_view);
    uint64_t size_;
    int readers_ = 0;  // reader threads taking part, besides the one that lists

    // What the threads share, in a block of its own made for each scan.
    struct Shared {
        std::unique_ptr<Slot[]>
            ring;  // kWindow slots, each file at its place in the order modulo kWindow
        // Written by the user-interface thread, read by the lister.
        std::atomic<size_t> taken{0};  // slots NextFile has taken
        std::atomic<bool> stopping{false};
        std::mutex mutex;
        std::condition_variable more;    // for readers at work: more slots to read
        std::condition_variable called;  // for readers held back: their turn has come
        size_t published = 0;            // slots the readers may take: [claimed, published)
        size_t claimed = 0;
        int waiting = 0;  // readers at work waiting for slots
        int active = 0;   // readers at work; the others wait to be called
    };
    std::unique_ptr<Shared> shared_;

    Slot* current_ = nullptr;  // the slot of the file NextFile gave last, when it was decoded
    QImage pictures_[2];
};

}  // namespace talvane
