#include "catalogue/BannerReadAhead.h"

#include <dirent.h>
#include <sys/resource.h>
#include <algorithm>
#include <chrono>
#include <cstring>
#include <string>
#include <thread>

#include "app/platform/LoadPicture.h"
#include "app/platform/Names.h"
#include "app/platform/RuntimeError.h"
#include "catalogue/ReaderThreads.h"

namespace talvane {

namespace {

// Names handed to the readers at a time.
constexpr size_t kBatch = 16;
// Descriptors left for everything else the program may open meanwhile.
constexpr int kSpareDescriptors = 8;
// A file looked at and read from memory takes a few microseconds; one that takes longer than
// this was, most likely, waiting on the disk. When many do, the disk is slow to answer, and
// more reads in flight shorten the wait. (Now and then a read is slow only because its thread
// had to give way to another, hence the count over several reads.)
constexpr auto kSlowRead = std::chrono::microseconds(40);
constexpr int kReadsJudged = 8;
constexpr int kSlowReadsForMore = 4;

// Readers while files come from memory: as many as there are processors, which they share
// with the lister and the user-interface thread.
int ReadersAtFirst() { return int(std::max(1u, std::thread::hardware_concurrency())); }

}  // namespace

struct BannerReadAhead::Slot {
    // Free -> Queued (by the lister) -> Reading (by whoever reads it) -> Done -> Free (by the
    // user-interface thread, once it has taken it); End marks where the listing ended.
    enum State : int { kFree, kQueued, kReading, kDone, kEnd };
    std::atomic<int> state{kFree};
    std::string name;  // written by the lister while the slot is free
    // Written by whoever reads the slot, before it is done.
    FileLook look{};
    bool decoded = false;
    QRgb pixels[kBannerWidth * kBannerHeight];
};

BannerReadAhead::BannerReadAhead(FsFolder& folder, bool (*wanted)(std::string_view name),
                                 uint64_t size)
    : folder_(folder), wanted_(wanted), size_(size), shared_(std::make_unique<Shared>()) {
    readers_ = ReadersFor(folder_.Fd());
    if (readers_ == 0) {
        shared_->ring =
            std::make_unique<Slot[]>(1);  // everything on this thread, one file at a time
        return;
    }
    shared_->ring = std::make_unique<Slot[]>(kWindow);
    shared_->active = std::min(readers_, ReadersAtFirst()) + 1;  // the lister is reader 0
    // Thread 0 lists the folder, then reads with the others.
    ReaderThreads::Instance().Run(
        [this](int index) {
            if (index == 0) List();
            ReadSlots(index);
        },
        readers_ + 1);
}

BannerReadAhead::~BannerReadAhead() {
    if (readers_ == 0) return;
    Shared& shared = *shared_;
    {
        std::lock_guard lock(shared.mutex);
        shared.stopping = true;
    }
    shared.more.notify_all();
    shared.called.notify_all();
    shared.taken.fetch_add(1);  // a lister waiting for room wakes to a changed value, and stops
    shared.taken.notify_all();
    ReaderThreads::Instance().Join();
}

int BannerReadAhead::ReadersFor(int folderFd) {
    // Each reader holds one file open at a time: never more readers than descriptors to spare.
    struct rlimit limit {};
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0) return 0;
    int open = 0;
    if (DIR* fds = ::opendir("/proc/self/fd")) {
        while (::readdir(fds)) ++open;
        ::closedir(fds);
    } else {
        open = folderFd + 1;  // descriptors are handed out lowest first
    }
    const long spare = long(std::min<rlim_t>(limit.rlim_cur, 1 << 20)) - open - kSpareDescriptors;
    return int(std::clamp<long>(spare, 0, kMaxReaders));
}

void BannerReadAhead::List() {
    Shared& shared = *shared_;
    std::string_view name;
    size_t filled = 0;
    auto publish = [&] {
        bool wake;
        {
            std::lock_guard lock(shared.mutex);
            shared.published = filled;
            wake = shared.waiting > 0;
        }
        if (wake) shared.more.notify_all();
    };
    for (;;) {
        // Never more than a window ahead of the scan.
        for (size_t taken;
             filled - (taken = shared.taken.load(std::memory_order_acquire)) >= kWindow;) {
            if (shared.stopping) return;
            shared.taken.wait(taken, std::memory_order_acquire);
        }
        if (shared.stopping) return;
        Slot& slot = shared.ring[filled % kWindow];
        if (!folder_.NextName(name)) {
            slot.state.store(Slot::kEnd, std::memory_order_release);
            slot.state.notify_one();
            break;
        }
        if (!wanted_(name)) continue;
        slot.name.assign(name);
        slot.state.store(Slot::kQueued, std::memory_order_release);
        slot.state.notify_one();
        if (++filled % kBatch == 0) publish();
    }
    publish();
}

void BannerReadAhead::ReadSlots(int reader) {
    Shared& shared = *shared_;
    int reads = 0, slow = 0;
    std::unique_lock lock(shared.mutex);
    for (;;) {
        if (reader >= shared.active)
            shared.called.wait(lock, [&] { return shared.stopping || reader < shared.active; });
        ++shared.waiting;
        shared.more.wait(lock,
                         [&] { return shared.stopping || shared.claimed < shared.published; });
        --shared.waiting;
        if (shared.stopping) return;
        Slot& slot = shared.ring[shared.claimed++ % kWindow];
        lock.unlock();
        // The user-interface thread may have read this one itself when it came to it first.
        int queued = Slot::kQueued;
        if (slot.state.compare_exchange_strong(queued, Slot::kReading, std::memory_order_acq_rel)) {
            const auto start = std::chrono::steady_clock::now();
            Read(slot);
            slow += std::chrono::steady_clock::now() - start > kSlowRead;
            if (++reads == kReadsJudged) {
                if (slow >= kSlowReadsForMore) CallMoreReaders();
                reads = slow = 0;
            }
        }
        lock.lock();
    }
}

void BannerReadAhead::CallMoreReaders() {
    {
        std::lock_guard lock(shared_->mutex);
        if (shared_->active == readers_ + 1) return;
        shared_->active = readers_ + 1;
    }
    shared_->called.notify_all();
}

void BannerReadAhead::Read(Slot& slot) {
    slot.look = LookAt(folder_.Fd(), slot.name.c_str());
    slot.decoded = slot.look.kind == FileLook::File && slot.look.size == size_ &&
                   ReadBannerPixels(folder_.Fd(), slot.name.c_str(), slot.pixels);
    slot.state.store(Slot::kDone, std::memory_order_release);
    slot.state.notify_one();
}

bool BannerReadAhead::NextSlot(Slot*& next) {
    if (readers_ == 0) {
        std::string_view name;
        do {
            if (!folder_.NextName(name)) return false;
        } while (!wanted_(name));
        Slot& slot = shared_->ring[0];
        slot.name.assign(name);
        Read(slot);
        next = &slot;
        return true;
    }
    // The slot taken last is given back to the lister.
    std::atomic<size_t>& taken = shared_->taken;
    size_t count = taken.load(std::memory_order_relaxed);
    if (next) {
        next->state.store(Slot::kFree, std::memory_order_relaxed);
        taken.store(++count, std::memory_order_release);
        taken.notify_one();
    }
    Slot& slot = shared_->ring[count % kWindow];
    int state;
    while ((state = slot.state.load(std::memory_order_acquire)) == Slot::kFree)
        slot.state.wait(state);
    if (state == Slot::kEnd) return false;
    if (state == Slot::kQueued &&
        slot.state.compare_exchange_strong(state, Slot::kReading, std::memory_order_acq_rel)) {
        Read(slot);  // no reader has come to it yet
    } else {
        while ((state = slot.state.load(std::memory_order_acquire)) != Slot::kDone)
            slot.state.wait(state);
    }
    next = &slot;
    return true;
}

bool BannerReadAhead::NextFile(FsFile& file) {
    Slot* slot = current_;
    for (;;) {
        if (!NextSlot(slot)) {
            if (folder_.ListingError() != 0)
                throw ErrorFromErrno(folder_.ListingError(), folder_.Path(), PathKind::Folder);
            return false;
        }
        if (slot->look.kind == FileLook::Failed)
            throw ErrorFromErrno(slot->look.error, JoinPath(folder_.Path(), slot->name));
        if (slot->look.kind == FileLook::File && slot->look.size == size_) break;
    }
    JoinPathInto(file.path_, folder_.Path(), slot->name);
    file.size_ = slot->look.size;
    file.folderFd_ = folder_.Fd();
    current_ = slot;  // its pixels stay as they are until the next call
    return true;
}

QImage BannerReadAhead::LoadPicture(const FsFile& file) {
    if (!current_ || !current_->decoded) return talvane::LoadPicture(file.Path(), file.FolderFd());
    // Two pictures take turns: the one the caller no longer holds is written over, rather
    // than a picture made for every banner.
    for (QImage& picture : pictures_) {
        if (!picture.isDetached()) continue;
        for (int y = 0; y < kBannerHeight; ++y)
            std::memcpy(picture.scanLine(y), current_->pixels + y * kBannerWidth,
                        sizeof(QRgb) * kBannerWidth);
        return picture;
    }
    QImage& spare = pictures_[0].isNull() ? pictures_[0] : pictures_[1];
    return spare = BannerImage(current_->pixels);
}

}  // namespace talvane
