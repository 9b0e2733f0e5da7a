#pragma once
// Reading a folder's banners ahead of the scan. A scan spends its time waiting on the disk,
// one file after the other; here reader threads look at the files and read and decode the
// banners many at a time, ahead of the scan, while the scan takes them one by one in the
// folder's own order. Only plain data (names, sizes, pixels) passes between the threads: the
// user-interface thread alone builds pictures and touches controls.

#include <QImage>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "catalogue/FileSystemObject.h"

namespace talvane {

class RuntimeError;

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

    // How many files are read ahead at most; how many reader threads a scan may use when
    // the disk is slow to answer.
    static constexpr size_t kWindow = 1024;
    static constexpr int kMaxThreads = 16;

private:
    struct Slot;
    void Refill();
    void Publish();
    void ReadSlots(int index);
    void Read(Slot& slot);
    void CallMoreReaders();
    static int ThreadsFor(int folderFd);

    FsFolder& folder_;
    bool (*wanted_)(std::string_view);
    uint64_t size_;
    std::unique_ptr<Slot[]> slots_;
    bool listed_ = false;   // the listing has ended (or failed)
    size_t queued_ = 0;     // slots handed to the readers so far (user-interface thread)
    size_t taken_ = 0;      // slots NextFile has taken (user-interface thread)
    std::mutex mutex_;
    std::condition_variable more_;    // for readers at work: more slots to read
    std::condition_variable called_;  // for readers held back: their turn has come
    size_t published_ = 0;            // slots the readers may take: [claimed_, published_)
    size_t claimed_ = 0;
    int waiting_ = 0;                 // readers at work waiting for slots
    bool stopping_ = false;
    int threads_ = 0;                 // reader threads taking part in this scan
    int active_ = 0;                  // of which those reading; the others wait to be called
    bool startTried_ = false;
    std::unique_ptr<RuntimeError> listingError_;  // where the listing failed, after every slot
    Slot* current_ = nullptr;  // the slot of the file NextFile gave last, when it was decoded
    QImage pictures_[2];
};

}  // namespace talvane
