#pragma once
// When a scan calls in more readers: no threads here, only the judgement.
//
// A file looked at and read from memory takes a few microseconds; one that takes longer than
// kSlowRead was, most likely, waiting on the disk. When many do, the disk is slow to answer,
// and more reads in flight shorten the wait. Now and then a read is slow only because its
// thread had to give way to another, hence the count over several reads.

#include <algorithm>
#include <chrono>
#include <thread>

namespace talvane {

class ReaderPolicy {
public:
    static constexpr auto kSlowRead = std::chrono::microseconds(40);
    static constexpr int kReadsJudged = 8;
    static constexpr int kSlowReadsForMore = 4;

    // Readers while files come from memory: as many as there are processors, which they
    // share with the lister and the user-interface thread; at most `most`.
    static int ReadersAtFirst(int most) {
        return std::min(most, int(std::max(1u, std::thread::hardware_concurrency())));
    }

    // Counts one read of one reader, which took `took`: true when all the readers there may
    // be should now read.
    bool Read(std::chrono::steady_clock::duration took) {
        slow_ += took > kSlowRead;
        if (++reads_ < kReadsJudged) return false;
        const bool more = slow_ >= kSlowReadsForMore;
        reads_ = slow_ = 0;
        return more;
    }

private:
    int reads_ = 0;
    int slow_ = 0;
};

}  // namespace talvane
