#pragma once
// Threads that read files for the user-interface thread. They are started the first time
// they are needed and park between tasks, so a scan of a small folder pays nothing to start
// them and rescans never add threads. A thread still busy with an earlier task (a read that
// does not come back) is never waited for: another takes its place.

#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

namespace talvane {

class ReaderThreads {
public:
    // The program's reader threads. They live as long as the process: a thread may still be
    // in a read when the program ends.
    static ReaderThreads& Instance();

    // The threads that took one task.
    struct Crew {
        int started = 0;  // how many took it
        int out = 0;      // of them, not yet back from it (guarded by the threads' lock)
        std::condition_variable back;
    };

    // Runs `task` on up to `count` threads at once, each given its index from 0, and returns
    // without waiting: fewer threads, down to none, take it when no more can be started (too
    // little memory, too many processes). The task must own what it works on, as it may be
    // left to end on its own.
    std::shared_ptr<Crew> Run(const std::function<void(int index)>& task, int count);
    // Waits up to `timeout` for every thread of `crew` to come back from its task, and with
    // it everything the task held; how many are still out.
    int WaitBack(Crew& crew, std::chrono::milliseconds timeout);

private:
    ReaderThreads() = default;
    struct Worker;
    void Loop(const std::shared_ptr<Worker>& worker);

    std::mutex mutex_;
    std::vector<std::shared_ptr<Worker>> idle_;
    size_t kept_ = 0;  // idle threads kept: as many as a task has asked for
};

}  // namespace talvane
