#pragma once
// Threads that read files for the user-interface thread. They are started the first time
// they are needed and park between tasks, so a scan of a small folder pays nothing to start
// them and rescans never add threads.

#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace talvane {

class ReaderThreads {
public:
    // The program's reader threads.
    static ReaderThreads& Instance();
    ~ReaderThreads();

    // Runs `task` on `count` threads at once (starting threads up to that number), each
    // given its index from 0, and returns without waiting. One task at a time: Join it
    // before the next Run.
    void Run(std::function<void(int index)> task, int count);
    // Waits until every thread has come back from the task.
    void Join();

private:
    ReaderThreads() = default;
    void Loop(int index);

    mutable std::mutex mutex_;
    std::condition_variable wake_;
    std::condition_variable done_;
    std::vector<std::thread> threads_;
    std::function<void(int)> task_;
    unsigned long generation_ = 0;  // one per task
    int wanted_ = 0;                // threads 0 .. wanted_-1 take part in the current task
    int running_ = 0;
    bool stopping_ = false;
};

}  // namespace talvane
