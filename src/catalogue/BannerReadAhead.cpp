#include "catalogue/BannerReadAhead.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>
#include <algorithm>
#include <cstring>
#include <string>
#include <utility>

#include "app/platform/LoadPicture.h"
#include "app/platform/Names.h"
#include "app/platform/RuntimeError.h"
#include "catalogue/ReadAheadWindow.h"
#include "catalogue/ReaderPolicy.h"

namespace talvane {

namespace {

// Descriptors left for everything else the program may open meanwhile.
constexpr int kSpareDescriptors = 8;
constexpr int kListingFlags = O_RDONLY | O_DIRECTORY | O_CLOEXEC;

}  // namespace

BannerReadAhead::BannerReadAhead(FsFolder& folder, bool (*wanted)(std::string_view name),
                                 uint64_t size)
    : folder_(folder) {
    const int readers = ReadersFor(folder.Fd());
    // The lister lists on a descriptor of its own, which stays open as long as a reader may
    // look names up in it.
    const int own = readers == 0 ? -1 : ::openat(folder.Fd(), ".", kListingFlags);
    DIR* dir = own < 0 ? nullptr : ::fdopendir(own);
    if (dir) {
        auto listing = std::unique_ptr<FsFolder>(new FsFolder(folder.Path(), dir));
        window_ = std::make_shared<Window>(wanted, size, own, std::move(listing), kWindow,
                                           ReaderPolicy::ReadersAtFirst(readers) + 1);
        task_ = ReaderThreads::Instance().Run(window_, readers + 1);
        if (task_.Threads() > 0) return;
        task_ = {};  // not one thread to be had
    } else if (own >= 0) {
        ::close(own);
    }
    window_ = std::make_shared<Window>(wanted, size, folder.Fd(), nullptr, 1, 0);
}

BannerReadAhead::~BannerReadAhead() = default;

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

bool BannerReadAhead::NextFile(FsFile& file) {
    for (;;) {
        // The slot taken last is given back, and only once, should the listing throw; this one
        // is, at the next call.
        Slot* slot = current_ = window_->Next(std::exchange(current_, nullptr),
                                              task_.Threads() > 0 ? nullptr : &folder_);
        if (!slot) {
            if (const int error = window_->ListingError())
                throw ErrorFromErrno(error, folder_.Path(), PathKind::Folder);
            return false;
        }
        if (slot->read.kind == BannerRead::Failed)
            throw ErrorFromErrno(slot->read.error, JoinPath(folder_.Path(), slot->name));
        if (slot->read.kind != BannerRead::NotABanner) break;
    }
    file.Fill(folder_.Path(), current_->name, window_->Size(), folder_.Shared());
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
