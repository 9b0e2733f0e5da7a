#pragma once
// A program the tests start, by fork and exec. Not QProcess: Qt starts children through
// vfork, whose child runs in the parent's memory until it execs, and ThreadSanitizer cannot
// follow that; it then takes the parent's locks for lost and reports races under them.

#include <sys/types.h>
#include <chrono>
#include <string>
#include <vector>

namespace talvane::test {

class ChildProcess {
public:
    enum Output { Forwarded, ErrorCaptured, AllCaptured };

    ChildProcess() = default;
    // Kills the program if it still runs.
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // Starts `argv` (its first word a path, or a name looked up on PATH) with `extraEnvironment`
    // ("NAME=value") added to this process's. False when it cannot be started.
    bool Start(const std::vector<std::string>& argv,
               const std::vector<std::string>& extraEnvironment = {}, Output output = Forwarded);
    bool Running();
    // Waits at most `timeout`: the exit code, or -1 when it was ended by a signal or still runs.
    int Wait(std::chrono::milliseconds timeout);
    void Kill(int signal);
    pid_t Pid() const { return pid_; }
    // What it wrote to the captured channels, once it has ended.
    const std::string& Captured() const { return captured_; }

private:
    void Drain(bool block);

    pid_t pid_ = -1;
    int status_ = 0;
    bool ended_ = false;
    int pipe_ = -1;
    std::string captured_;
};

// Runs `argv` to its end (at most `timeout`): its exit code, or -1; what it printed, when asked
// for, in `output`.
int RunToEnd(const std::vector<std::string>& argv, std::string* output = nullptr,
             std::chrono::milliseconds timeout = std::chrono::seconds(30));

}  // namespace talvane::test
