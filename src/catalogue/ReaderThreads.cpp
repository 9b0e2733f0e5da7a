#include "catalogue/ReaderThreads.h"

#include <pthread.h>

#include <algorithm>
#include <thread>

namespace talvane {

struct ReaderThreads::Worker {
    std::condition_variable wake;
    std::function<void(int)> task;  // set while the thread has work
    int index = 0;
    std::shared_ptr<Crew> crew;
    bool leave = false;  // the thread ends
};

namespace {
// Threads given back for the rest of the program once no more can be started.
constexpr int kLeftToOthers = 4;
}  // namespace

ReaderThreads& ReaderThreads::Instance() {
    static ReaderThreads* threads = new ReaderThreads;  // never destroyed: see the header
    return *threads;
}

std::shared_ptr<ReaderThreads::Crew> ReaderThreads::Run(const std::function<void(int)>& task,
                                                        int count) {
    auto crew = std::make_shared<Crew>();
    std::lock_guard lock(mutex_);
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
    try {
        for (const std::shared_ptr<Worker>& worker : workers) {
            worker->task = task;
            worker->index = crew->started;
            worker->crew = crew;
            worker->wake.notify_one();
            ++crew->started;
        }
    } catch (...) {
        // Not even the memory to hand the task on: the task runs on those that have it.
        for (size_t i = size_t(crew->started); i < workers.size(); ++i) idle_.push_back(workers[i]);
    }
    crew->out = crew->started;
    return crew;
}

int ReaderThreads::WaitBack(Crew& crew, std::chrono::milliseconds timeout) {
    std::unique_lock lock(mutex_);
    crew.back.wait_for(lock, timeout, [&] { return crew.out == 0; });
    return crew.out;
}

void ReaderThreads::Loop(const std::shared_ptr<Worker>& worker) {
    // Named, so that they can be told apart in a debugger, in top, and by the tests.
    ::pthread_setname_np(::pthread_self(), "talvane-reader");
    std::unique_lock lock(mutex_);
    for (;;) {
        worker->wake.wait(lock, [&] { return worker->leave || bool(worker->task); });
        if (worker->leave) return;
        std::function<void(int)> task = std::move(worker->task);
        worker->task = nullptr;
        lock.unlock();
        task(worker->index);
        task = nullptr;  // what the task owns goes before the thread is back
        lock.lock();
        if (--worker->crew->out == 0) worker->crew->back.notify_all();
        worker->crew = nullptr;
        if (idle_.size() >= kept_) return;  // others took its place while it was busy
        idle_.push_back(worker);
    }
}

}  // namespace talvane
