#pragma once
// Threads that read files for the user-interface thread. They are started the first time
// they are needed and park between runs, so a scan of a small folder pays nothing to start
// them and rescans never add threads. A thread still busy with an earlier run (a read that
// does not come back) is never waited for: another takes its place.

#include <memory>
#include <mutex>
#include <utility>
#include <vector>

namespace talvane {

class ReaderThreads {
    struct Crew;

public:
    // The program's reader threads. They live as long as the process: a thread may still be
    // in a read when the program ends.
    static ReaderThreads& Instance();

    // What the threads of one run do, each given its index from 0. It must own what it works
    // on, as a thread may be left to end on its own.
    class Work {
    public:
        virtual ~Work() = default;
        virtual void Do(int index) = 0;
        // Asks every thread in Do to come back: at once, except from a call to the file system.
        virtual void Stop() = 0;
        // How many threads are in calls to the file system now, which may never come back.
        virtual int InCalls() = 0;
    };

    // One run of a work. Ending it stops the work and waits for its threads to come back, and
    // with them everything the work held; threads in calls to the file system that do not
    // come back (a hung network or FUSE file system) are waited for a moment, and then left
    // to come back on their own.
    class Task {
    public:
        Task() = default;
        Task(Task&& other) noexcept { *this = std::move(other); }
        Task& operator=(Task&& other) noexcept;
        ~Task() { End(); }

        // How many threads took the work: none when not one could be had.
        int Threads() const;

    private:
        friend class ReaderThreads;
        void End();
        ReaderThreads* threads_ = nullptr;
        std::shared_ptr<Work> work_;
        std::shared_ptr<Crew> crew_;
    };

    // Runs `work` on up to `count` threads at once and returns without waiting: fewer
    // threads, down to none, take it when no more can be started (too little memory, too many
    // processes). One run at a time: the task of the one before must have ended.
    Task Run(std::shared_ptr<Work> work, int count);

private:
    ReaderThreads() = default;
    struct Worker;
    void Loop(const std::shared_ptr<Worker>& worker);

    std::mutex mutex_;
    std::vector<std::shared_ptr<Worker>> idle_;
    size_t kept_ = 0;       // idle threads kept: as many as a run has asked for
    bool running_ = false;  // a task not yet ended
};

}  // namespace talvane
