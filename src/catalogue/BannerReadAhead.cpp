#include "catalogue/BannerReadAhead.h"

#include <algorithm>
#include <chrono>
#include <thread>
#include <cstring>
#include <dirent.h>
#include <sys/resource.h>

#include "app/platform/LoadPicture.h"
#include "app/platform/Names.h"
#include "app/platform/RuntimeError.h"
#include "catalogue/ReaderThreads.h"

namespace talvane {

namespace {

// Names handed to the readers at a time, so they start before the listing is through.
constexpr size_t kBatch = 64;
// A folder with no more wanted names than this is read on the user-interface thread alone.
constexpr size_t kFewFiles = 32;
// Descriptors left for everything else the program may open meanwhile.
constexpr int kSpareDescriptors = 8;
// A file that takes longer than this to look at and read was not in memory: the disk is
// being waited on, and more reads in flight shorten the wait.
constexpr auto kSlowRead = std::chrono::microseconds(500);

// Readers while files come from memory: as many as there are processors, which they share
// with the user-interface thread.
int ReadersAtFirst() { return int(std::max(1u, std::thread::hardware_concurrency())); }

}  // namespace

struct BannerReadAhead::Slot {
    enum State : int { kQueued, kReading, kDone };
    std::atomic<int> state{kDone};
    std::string name;  // written by the user-interface thread before the slot is queued
    // Written by whoever reads the slot, before it is done.
    FileLook look{};
    bool decoded = false;
    QRgb pixels[kBannerWidth * kBannerHeight];
};

BannerReadAhead::BannerReadAhead(FsFolder& folder, bool (*wanted)(std::string_view name), uint64_t size)
    : folder_(folder), wanted_(wanted), size_(size), slots_(std::make_unique<Slot[]>(kWindow)) {}

BannerReadAhead::~BannerReadAhead() {
    if (threads_ == 0) return;
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    more_.notify_all();
    called_.notify_all();
    ReaderThreads::Instance().Join();
}

int BannerReadAhead::ThreadsFor(int folderFd) {
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
    return int(std::clamp<long>(spare, 0, kMaxThreads));
}

void BannerReadAhead::Refill() {
    // Keeps the window full, handing the readers names as they come.
    size_t handed = queued_;
    std::string_view name;
    while (!listed_ && queued_ - taken_ < kWindow) {
        bool more;
        try {
            more = folder_.NextName(name);
        } catch (const RuntimeError& error) {
            listingError_ = std::make_unique<RuntimeError>(error);
            more = false;
        }
        if (!more) {
            listed_ = true;
            break;
        }
        if (!wanted_(name)) continue;
        Slot& slot = slots_[queued_ % kWindow];
        slot.name.assign(name);
        slot.state.store(Slot::kQueued, std::memory_order_release);
        ++queued_;
        if (queued_ - handed >= kBatch) {
            Publish();
            handed = queued_;
        }
    }
    Publish();
}

void BannerReadAhead::Publish() {
    if (threads_ == 0) {
        // Readers are started once there is enough to read.
        if (queued_ <= kFewFiles || startTried_) return;
        startTried_ = true;
        threads_ = ThreadsFor(folder_.Fd());
        if (threads_ == 0) return;
        active_ = std::min(threads_, ReadersAtFirst());
        ReaderThreads::Instance().Run([this](int index) { ReadSlots(index); }, threads_);
    }
    bool wake;
    {
        std::lock_guard lock(mutex_);
        if (published_ == queued_) return;
        published_ = queued_;
        wake = waiting_ > 0;
    }
    if (wake) more_.notify_all();
}

void BannerReadAhead::CallMoreReaders() {
    {
        std::lock_guard lock(mutex_);
        if (active_ == threads_) return;
        active_ = threads_;
    }
    called_.notify_all();
}

void BannerReadAhead::ReadSlots(int index) {
    std::unique_lock lock(mutex_);
    for (;;) {
        if (index >= active_) called_.wait(lock, [&] { return stopping_ || index < active_; });
        ++waiting_;
        more_.wait(lock, [this] { return stopping_ || claimed_ < published_; });
        --waiting_;
        if (stopping_) return;
        Slot& slot = slots_[claimed_++ % kWindow];
        lock.unlock();
        // The user-interface thread may have read this one itself when it came to it first.
        int queued = Slot::kQueued;
        if (slot.state.compare_exchange_strong(queued, Slot::kReading, std::memory_order_acq_rel)) {
            const auto start = std::chrono::steady_clock::now();
            Read(slot);
            if (std::chrono::steady_clock::now() - start > kSlowRead) CallMoreReaders();
        }
        lock.lock();
    }
}

void BannerReadAhead::Read(Slot& slot) {
    slot.look = LookAt(folder_.Fd(), slot.name.c_str());
    slot.decoded = slot.look.kind == FileLook::File && slot.look.size == size_ &&
                   ReadBannerPixels(folder_.Fd(), slot.name.c_str(), slot.pixels);
    slot.state.store(Slot::kDone, std::memory_order_release);
    slot.state.notify_one();
}

bool BannerReadAhead::NextFile(FsFile& file) {
    for (;;) {
        if (queued_ - taken_ <= kWindow / 2) Refill();
        if (taken_ == queued_) {
            if (listingError_) throw *listingError_;
            return false;
        }
        Slot& slot = slots_[taken_ % kWindow];
        int state = Slot::kQueued;
        if (slot.state.compare_exchange_strong(state, Slot::kReading, std::memory_order_acq_rel)) {
            Read(slot);  // no reader has come to it yet
        } else {
            while ((state = slot.state.load(std::memory_order_acquire)) != Slot::kDone) slot.state.wait(state);
        }
        ++taken_;
        JoinPathInto(file.path_, folder_.Path(), slot.name);
        if (slot.look.kind == FileLook::Failed) throw ErrorFromErrno(slot.look.error, file.path_);
        if (slot.look.kind == FileLook::NotAFile || slot.look.size != size_) continue;
        file.size_ = slot.look.size;
        file.folderFd_ = folder_.Fd();
        current_ = slot.decoded ? &slot : nullptr;  // untouched until the next call
        return true;
    }
}

QImage BannerReadAhead::LoadPicture(const FsFile& file) {
    if (!current_) return talvane::LoadPicture(file.Path(), file.FolderFd());
    // Two pictures take turns: the one the caller no longer holds is written over, rather
    // than a picture made for every banner.
    for (QImage& picture : pictures_) {
        if (!picture.isDetached()) continue;
        for (int y = 0; y < kBannerHeight; ++y)
            std::memcpy(picture.scanLine(y), current_->pixels + y * kBannerWidth, sizeof(QRgb) * kBannerWidth);
        return picture;
    }
    QImage& spare = pictures_[0].isNull() ? pictures_[0] : pictures_[1];
    return spare = BannerImage(current_->pixels);
}

}  // namespace talvane
