#include "catalogue/ReaderThreads.h"

#include <pthread.h>

#include <algorithm>
#include <cassert>
#include <chrono>
#include <condition_variable>
#include <thread>

namespace talvane {

// The threads that took one run.
struct ReaderThreads::Crew {
    int started = 0;  // how many took it
    int out = 0;      // of them, not yet back from it (guarded by the threads' lock)
    std::condition_variable back;
};

struct ReaderThreads::Worker {
    std::condition_variable wake;
    std::shared_ptr<Work> work;  // set while the thread has work
    int index = 0;
    std::shared_ptr<Crew> crew;
    bool leave = false;  // the thread ends
};

namespace {
// Threads given back for the rest of the program once no more can be started.
constexpr int kLeftToOthers = 4;
// At a run's end, how often to see whether the threads still out are all in calls to the file
// system, and how long to wait for those before they are left to come back on their own.
constexpr auto kPoll = std::chrono::milliseconds(1);
constexpr auto kCallsWaitedFor = std::chrono::milliseconds(50);
}  // namespace

ReaderThreads& ReaderThreads::Instance() {
    static ReaderThreads* threads = new ReaderThreads;  // never destroyed: see the header
    return *threads;
}

ReaderThreads::Task ReaderThreads::Run(std::shared_ptr<Work> work, int count) {
    auto crew = std::make_shared<Crew>();
    std::lock_guard lock(mutex_);
    assert(!running_ && "a run's task ends before the next run");
    kept_ = std::max(kept_, size_t(count));
    std::vector<std::shared_ptr<Worker>> workers;
    bool starved = false;
    try {
        workers.reserve(size_t(count));
        while (int(workers.size()) < count) {
            if (!idle_.empty()) {
                workers.push_back(std::move(idle_.back()));
                idle_.pop_back();
                continue;
            }
            auto worker = std::make_shared<Worker>();
            std::thread([this, worker] { Loop(worker); }).detach();
            workers.push_back(std::move(worker));
        }
    } catch (...) {
        starved = true;  // no more threads to be had (std::system_error, std::bad_alloc)
    }
    if (starved) {
        // The rest of the program needs threads too (Qt paints with threads of its own, and
        // waits for ever for one it cannot start): a few go, and no more are kept.
        for (int i = 0; i < kLeftToOthers && !workers.empty(); ++i) {
            workers.back()->leave = true;
            workers.back()->wake.notify_one();
            workers.pop_back();
        }
        kept_ = workers.size();
    }
    for (const std::shared_ptr<Worker>& worker : workers) {
        worker->work = work;
        worker->index = crew->started++;
        worker->crew = crew;
        worker->wake.notify_one();
    }
    crew->out = crew->started;
    running_ = true;
    Task task;
    task.threads_ = this;
    task.work_ = std::move(work);
    task.crew_ = std::move(crew);
    return task;
}

ReaderThreads::Task& ReaderThreads::Task::operator=(Task&& other) noexcept {
    if (this == &other) return *this;
    End();
    threads_ = std::exchange(other.threads_, nullptr);
    work_ = std::move(other.work_);
    crew_ = std::move(other.crew_);
    return *this;
}

int ReaderThreads::Task::Threads() const { return crew_ ? crew_->started : 0; }

void ReaderThreads::Task::End() {
    if (!threads_) return;
    work_->Stop();
    // Each thread comes back at once, except from a call to the file system; those are waited for
    // a moment, and then left to come back on their own.
    std::unique_lock lock(threads_->mutex_);
    auto waitBack = [&](std::chrono::milliseconds timeout) {
        crew_->back.wait_for(lock, timeout, [&] { return crew_->out == 0; });
        return crew_->out;
    };
    for (int out; (out = waitBack(kPoll)) > 0;) {
        lock.unlock();
        const int inCalls = work_->InCalls();
        lock.lock();
        if (out <= inCalls) {
            waitBack(kCallsWaitedFor);
            break;
        }
    }
    threads_->running_ = false;
    lock.unlock();
    threads_ = nullptr;
    work_.reset();
    crew_.reset();
}

void ReaderThreads::Loop(const std::shared_ptr<Worker>& worker) {
    // Named, so that they can be told apart in a debugger, in top, and by the tests.
    ::pthread_setname_np(::pthread_self(), "talvane-reader");
    std::unique_lock lock(mutex_);
    for (;;) {
        worker->wake.wait(lock, [&] { return worker->leave || bool(worker->work); });
        if (worker->leave) return;
        std::shared_ptr<Work> work = std::move(worker->work);
        lock.unlock();
        work->Do(worker->index);
        work.reset();  // what the work owns goes before the thread is back
        lock.lock();
        if (--worker->crew->out == 0) worker->crew->back.notify_all();
        worker->crew = nullptr;
        if (idle_.size() >= kept_) return;  // others took its place while it was busy
        idle_.push_back(worker);
    }
}

}  // namespace talvane
