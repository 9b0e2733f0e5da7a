#include "catalogue/ReaderThreads.h"

#include <algorithm>
#include <thread>

namespace talvane {

struct ReaderThreads::Worker {
    std::condition_variable wake;
    std::function<void(int)> task;  // set while the thread has work
    int index = 0;
    std::shared_ptr<Crew> crew;
};

ReaderThreads& ReaderThreads::Instance() {
    static ReaderThreads* threads = new ReaderThreads;  // never destroyed: see the header
    return *threads;
}

std::shared_ptr<ReaderThreads::Crew> ReaderThreads::Run(const std::function<void(int)>& task,
                                                        int count) {
    auto crew = std::make_shared<Crew>();
    std::lock_guard lock(mutex_);
    kept_ = std::max(kept_, size_t(count));
    int& started = crew->started;
    try {
        while (started < count) {
            const bool parked = !idle_.empty();
            std::shared_ptr<Worker> worker = parked ? idle_.back() : std::make_shared<Worker>();
            worker->task = task;
            worker->index = started;
            worker->crew = crew;
            if (parked)
                idle_.pop_back();
            else
                std::thread([this, worker] { Loop(worker); }).detach();
            worker->wake.notify_one();
            ++started;
        }
    } catch (...) {
        // No more threads to be had (std::system_error, std::bad_alloc): the task runs on
        // those there are. A worker that got no thread goes, and its copy of the task with it.
    }
    crew->out = started;
    return crew;
}

int ReaderThreads::WaitBack(Crew& crew, std::chrono::milliseconds timeout) {
    std::unique_lock lock(mutex_);
    crew.back.wait_for(lock, timeout, [&] { return crew.out == 0; });
    return crew.out;
}

void ReaderThreads::Loop(const std::shared_ptr<Worker>& worker) {
    std::unique_lock lock(mutex_);
    for (;;) {
        worker->wake.wait(lock, [&] { return bool(worker->task); });
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
