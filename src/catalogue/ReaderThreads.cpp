#include "catalogue/ReaderThreads.h"

namespace talvane {

ReaderThreads& ReaderThreads::Instance() {
    static ReaderThreads threads;
    return threads;
}

ReaderThreads::~ReaderThreads() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    for (std::thread& thread : threads_) thread.join();
}

void ReaderThreads::Run(std::function<void(int)> task, int count) {
    std::lock_guard lock(mutex_);
    task_ = std::move(task);
    wanted_ = count;
    running_ = count;
    ++generation_;
    while (int(threads_.size()) < count) {
        const int index = int(threads_.size());
        threads_.emplace_back([this, index] { Loop(index); });
    }
    wake_.notify_all();
}

void ReaderThreads::Join() {
    std::unique_lock lock(mutex_);
    done_.wait(lock, [this] { return running_ == 0; });
    task_ = nullptr;
}

void ReaderThreads::Loop(int index) {
    unsigned long seen = 0;
    std::unique_lock lock(mutex_);
    for (;;) {
        wake_.wait(lock, [&] { return stopping_ || (generation_ != seen && index < wanted_); });
        if (stopping_) return;
        seen = generation_;
        std::function<void(int)>& task = task_;
        lock.unlock();
        task(index);
        lock.lock();
        if (--running_ == 0) done_.notify_all();
    }
}

}  // namespace talvane
