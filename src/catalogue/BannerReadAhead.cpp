#include "catalogue/BannerReadAhead.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>

#include "app/platform/LoadPicture.h"
#include "app/platform/Names.h"
#include "app/platform/RuntimeError.h"
#include "catalogue/ReaderPolicy.h"

namespace talvane {

namespace {

// Names handed to the readers at a time.
constexpr size_t kBatch = 16;
// Descriptors left for everything else the program may open meanwhile.
constexpr int kSpareDescriptors = 8;
// At a scan's end, how often to see whether the readers still out are all in calls to the file
// system, and how long to wait for those before they are left to come back on their own.
constexpr auto kPoll = std::chrono::milliseconds(1);
constexpr auto kCallsWaitedFor = std::chrono::milliseconds(50);
constexpr int kListingFlags = O_RDONLY | O_DIRECTORY | O_CLOEXEC;

}  // namespace

struct BannerReadAhead::Slot {
    // Free -> Queued (by the lister) -> Reading (by whoever reads it) -> Done -> Free (by the
    // user-interface thread, once it has taken it); End marks where the listing ended.
    enum State : int { kFree, kQueued, kReading, kDone, kEnd };
    std::atomic<int> state{kFree};
    std::string name;    // written by the lister while the slot is free
    bool plain = false;  // listed as a regular file, not a link
    // Written by whoever reads the slot, before it is done.
    BannerRead read;
    QRgb pixels[kBannerWidth * kBannerHeight];
};

struct BannerReadAhead::Shared {
    bool (*wanted)(std::string_view);
    uint64_t size;
    int fd = -1;                        // the folder names are looked up in
    std::unique_ptr<FsFolder> listing;  // the lister's own listing of it
    std::unique_ptr<Slot[]>
        ring;  // kWindow slots, each file at its place in the order modulo kWindow
    // Written by the user-interface thread, read by the lister.
    std::atomic<size_t> taken{0};  // slots NextFile has taken
    std::atomic<bool> stopping{false};
    // Threads in a call to the file system, which may never come back; the lister counts as
    // one while it lists.
    std::atomic<int> inCalls{1};
    int listingError = 0;  // written by the lister before it marks the end
    std::mutex mutex;
    std::condition_variable more;    // for readers at work: more slots to read
    std::condition_variable called;  // for readers held back: their turn has come
    size_t published = 0;            // slots the readers may take: [claimed, published)
    size_t claimed = 0;
    int waiting = 0;  // readers at work waiting for slots
    int active = 0;   // readers at work; the others wait to be called

    void List();
    void ReadSlots(int reader);
    void Read(Slot& slot) {
        ReadBanner(fd, slot.name.c_str(), slot.plain, size, slot.pixels, slot.read);
        slot.state.store(Slot::kDone, std::memory_order_release);
        slot.state.notify_one();
    }
    void CallMoreReaders();
};

BannerReadAhead::BannerReadAhead(FsFolder& folder, bool (*wanted)(std::string_view name),
                                 uint64_t size)
    : folder_(folder), shared_(std::make_shared<Shared>()) {
    Shared& shared = *shared_;
    shared.wanted = wanted;
    shared.size = size;
    shared.fd = folder.Fd();
    const int readers = ReadersFor(folder.Fd());
    // The lister lists on a descriptor of its own, which stays open as long as a reader may
    // look names up in it.
    const int own = readers == 0 ? -1 : ::openat(folder.Fd(), ".", kListingFlags);
    if (DIR* dir = own < 0 ? nullptr : ::fdopendir(own)) {
        shared.listing.reset(new FsFolder(folder.Path(), dir));
        shared.fd = own;
        shared.ring = std::make_unique<Slot[]>(kWindow);
        shared.active = ReaderPolicy::ReadersAtFirst(readers) + 1;  // the lister is reader 0
        // Thread 0 lists the folder, then reads with the others.
        crew_ = ReaderThreads::Instance().Run(
            [shared = shared_](int index) {
                if (index == 0) shared->List();
                shared->ReadSlots(index);
            },
            readers + 1);
        if (crew_->started > 0) return;
        crew_.reset();  // not one thread to be had
    } else if (own >= 0) {
        ::close(own);
    }
    shared.listing.reset();
    shared.fd = folder.Fd();
    shared.ring = std::make_unique<Slot[]>(1);  // everything on this thread, one file at a time
}

BannerReadAhead::~BannerReadAhead() {
    if (!crew_) return;
    Shared& shared = *shared_;
    {
        std::lock_guard lock(shared.mutex);
        shared.stopping = true;
    }
    shared.more.notify_all();
    shared.called.notify_all();
    shared.taken.fetch_add(1);  // a lister waiting for room wakes to a changed value, and stops
    shared.taken.notify_all();
    // Each reader comes back at once but from a call to the file system; those are waited
    // for a moment, and then left to come back on their own.
    ReaderThreads& threads = ReaderThreads::Instance();
    for (int out; (out = threads.WaitBack(*crew_, kPoll)) > 0;) {
        if (out <= shared.inCalls.load()) {
            threads.WaitBack(*crew_, kCallsWaitedFor);
            break;
        }
    }
}

int BannerReadAhead::ReadersFor(int folderFd) {
    // Each reader holds two descriptors at a time: never more readers than descriptors to
    // spare.
    struct rlimit limit {};
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0) return 0;
    int open = 0;
    if (DIR* fds = ::opendir("/proc/self/fd")) {
        while (::readdir(fds)) ++open;
        ::closedir(fds);
    } else {
        open = folderFd + 1;  // descriptors are handed out lowest first
    }
    const long spare =
        (long(std::min<rlim_t>(limit.rlim_cur, 1 << 20)) - open - kSpareDescriptors) / 2;
    return int(std::clamp<long>(spare, 0, kMaxReaders));
}

void BannerReadAhead::Shared::List() {
    std::string_view name;
    size_t filled = 0;
    auto publish = [&] {
        bool wake;
        {
            std::lock_guard lock(mutex);
            published = filled;
            wake = waiting > 0;
        }
        if (wake) more.notify_all();
    };
    for (;;) {
        // Never more than a window ahead of the scan.
        for (size_t seen; filled - (seen = taken.load(std::memory_order_acquire)) >= kWindow;) {
            if (stopping) break;
            taken.wait(seen, std::memory_order_acquire);
        }
        if (stopping) break;
        Slot& slot = ring[filled % kWindow];
        if (!listing->NextName(name)) {
            listingError = listing->ListingError();
            slot.state.store(Slot::kEnd, std::memory_order_release);
            slot.state.notify_one();
            break;
        }
        if (!wanted(name)) continue;
        slot.name.assign(name);
        slot.plain = listing->ListedAsRegular();
        slot.state.store(Slot::kQueued, std::memory_order_release);
        slot.state.notify_one();
        if (++filled % kBatch == 0) publish();
    }
    publish();
    inCalls.fetch_sub(1);
}

void BannerReadAhead::Shared::ReadSlots(int reader) {
    ReaderPolicy policy;
    std::unique_lock lock(mutex);
    for (;;) {
        if (reader >= active) called.wait(lock, [&] { return stopping || reader < active; });
        ++waiting;
        more.wait(lock, [&] { return stopping || claimed < published; });
        --waiting;
        if (stopping) return;
        Slot& slot = ring[claimed++ % kWindow];
        lock.unlock();
        // The user-interface thread may have read this one itself when it came to it first.
        int queued = Slot::kQueued;
        if (slot.state.compare_exchange_strong(queued, Slot::kReading, std::memory_order_acq_rel)) {
            const auto start = std::chrono::steady_clock::now();
            inCalls.fetch_add(1);
            Read(slot);
            inCalls.fetch_sub(1);
            if (policy.Read(std::chrono::steady_clock::now() - start)) CallMoreReaders();
        }
        lock.lock();
    }
}

void BannerReadAhead::Shared::CallMoreReaders() {
    {
        std::lock_guard lock(mutex);
        if (active == kMaxReaders + 1) return;
        active = kMaxReaders + 1;
    }
    called.notify_all();
}

bool BannerReadAhead::NextSlot(Slot*& next) {
    Shared& shared = *shared_;
    if (!crew_) {
        std::string_view name;
        do {
            if (!folder_.NextName(name)) {
                shared.listingError = folder_.ListingError();
                return false;
            }
        } while (!shared.wanted(name));
        Slot& slot = shared.ring[0];
        slot.name.assign(name);
        slot.plain = folder_.ListedAsRegular();
        shared.Read(slot);
        next = &slot;
        return true;
    }
    // The slot taken last is given back to the lister.
    std::atomic<size_t>& taken = shared.taken;
    size_t count = taken.load(std::memory_order_relaxed);
    if (next) {
        next->state.store(Slot::kFree, std::memory_order_relaxed);
        taken.store(++count, std::memory_order_release);
        taken.notify_one();
    }
    Slot& slot = shared.ring[count % kWindow];
    int state;
    while ((state = slot.state.load(std::memory_order_acquire)) == Slot::kFree)
        slot.state.wait(state);
    if (state == Slot::kEnd) return false;
    if (state == Slot::kQueued &&
        slot.state.compare_exchange_strong(state, Slot::kReading, std::memory_order_acq_rel)) {
        shared.Read(slot);  // no reader has come to it yet
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
            current_ = nullptr;
            if (shared_->listingError != 0)
                throw ErrorFromErrno(shared_->listingError, folder_.Path(), PathKind::Folder);
            return false;
        }
        current_ = slot;  // taken: given back at the next call
        if (slot->read.kind == BannerRead::Failed)
            throw ErrorFromErrno(slot->read.error, JoinPath(folder_.Path(), slot->name));
        if (slot->read.kind != BannerRead::NotABanner) break;
    }
    file.Fill(folder_.Path(), slot->name, shared_->size, folder_.Shared());
    return true;  // its pixels stay as they are until the next call
}

QImage BannerReadAhead::LoadPicture(const FsFile& file) {
    if (!current_) return talvane::LoadPicture(file.Path(), file.FolderFd());
    if (current_->read.kind != BannerRead::Decoded) {
        // Not a plain banner: a picture loader may still read it.
        const std::string& bytes = current_->read.bytes;
        QImage picture = DecodePicture(QByteArray(bytes.data(), qsizetype(bytes.size())));
        if (picture.isNull()) throw InvalidPicture(file.Path());
        return picture;
    }
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
