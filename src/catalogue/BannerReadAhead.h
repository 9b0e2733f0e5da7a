#pragma once
// Reading a folder's banners ahead of the scan. A scan spends its time waiting on the disk,
// one file after the other; here a reader thread lists the folder while others look at the
// files and read and decode the banners many at a time, ahead of the scan, which takes them
// one by one in the folder's own order. Only plain data (names, sizes, pixels, error numbers)
// passes between the threads: the user-interface thread alone builds pictures, texts and
// errors and touches controls.

#include <QImage>
#include <cstdint>
#include <memory>
#include <string_view>

#include "catalogue/FileSystemObject.h"
#include "catalogue/ReaderThreads.h"

namespace talvane {

class BannerReadAhead {
public:
    // Reads ahead in `folder` the files whose names pass `wanted` and whose size is `size`
    // (below 4096): on a listing of its own from the folder's start, or, when no reader
    // thread can be had, on the folder's listing from where it stands, one file at a time.
    // Files whose names fail are never looked at, files of another size never opened.
    BannerReadAhead(FsFolder& folder, bool (*wanted)(std::string_view name), uint64_t size);
    // Stops the reading and waits for the reader threads to come back; what was read past
    // the last file taken is dropped. A reader in a call to the file system that does not
    // come back (a hung network or FUSE file system) is left to end on its own: it holds
    // nothing of this scan's but what it shares with it.
    ~BannerReadAhead();
    BannerReadAhead(const BannerReadAhead&) = delete;
    BannerReadAhead& operator=(const BannerReadAhead&) = delete;

    // The next file in the folder's order that is wanted, of the size asked for, as the
    // folder's NextFile gives it. Fails as NextFile does: a file that cannot be looked at or
    // read, or a listing that fails, fails here, in its place in the order; a file gone or
    // changed meanwhile is judged by what it is when read. False at the end.
    bool NextFile(FsFile& file);
    // The picture of the file NextFile gave last, as it was read: decoded ahead, or decoded
    // now by a picture loader (errInvalidPicture when it is no picture).
    QImage LoadPicture(const FsFile& file);

    // How many files are read ahead at most; how many threads a scan may read with when the
    // disk is slow to answer.
    static constexpr size_t kWindow = 1024;
    static constexpr int kMaxReaders = 32;

private:
    struct Slot;
    class Window;
    static int ReadersFor(int folderFd);

    FsFolder& folder_;
    // The files read ahead, made for each scan, shared with its threads and kept by whoever
    // still uses it.
    std::shared_ptr<Window> window_;
    ReaderThreads::Task task_;  // ended before the window goes; no threads: read on this one

    Slot* current_ = nullptr;  // the slot of the file NextFile gave last
    QImage pictures_[2];
};

}  // namespace talvane
