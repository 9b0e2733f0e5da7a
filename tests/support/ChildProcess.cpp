#include "support/ChildProcess.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>
#include <cstdlib>
#include <cstring>

#include "app/platform/Desktop.h"

extern char** environ;

namespace talvane::test {

namespace {

std::vector<char*> Pointers(std::vector<std::string>& words) {
    std::vector<char*> pointers;
    for (std::string& word : words) pointers.push_back(word.data());
    pointers.push_back(nullptr);
    return pointers;
}

}  // namespace

ChildProcess::~ChildProcess() {
    if (Running()) {
        Kill(SIGKILL);
        Wait(std::chrono::seconds(10));
    }
    if (pipe_ >= 0) ::close(pipe_);
}

bool ChildProcess::Start(const std::vector<std::string>& argv,
                         const std::vector<std::string>& extraEnvironment, Output output) {
    std::vector<std::string> words = argv;
    // Looked up before the fork, so the child does nothing but exec.
    std::string program = FindOnPath(argv.at(0));
    if (program.empty()) program = argv.at(0);
    std::vector<std::string> environment;
    for (char** entry = environ; *entry; ++entry) {
        const std::string text = *entry;
        const std::string name = text.substr(0, text.find('='));
        bool replaced = false;
        for (const std::string& extra : extraEnvironment)
            replaced = replaced || extra.substr(0, extra.find('=')) == name;
        if (!replaced) environment.push_back(text);
    }
    environment.insert(environment.end(), extraEnvironment.begin(), extraEnvironment.end());
    std::vector<char*> args = Pointers(words), env = Pointers(environment);

    int ends[2] = {-1, -1};
    if (output != Forwarded && ::pipe2(ends, O_CLOEXEC) != 0) return false;
    pid_ = ::fork();
    if (pid_ == 0) {
        if (output != Forwarded) {
            ::dup2(ends[1], STDERR_FILENO);
            if (output == AllCaptured) ::dup2(ends[1], STDOUT_FILENO);
        }
        ::execve(program.c_str(), args.data(), env.data());
        ::_exit(127);
    }
    if (output != Forwarded) {
        ::close(ends[1]);
        pipe_ = ends[0];
    }
    return pid_ > 0;
}

void ChildProcess::Drain(bool block) {
    if (pipe_ < 0) return;
    for (;;) {
        // Once the program ended, what it left in the pipe; not what a program it started,
        // and that still holds the pipe, may write later.
        pollfd ready{pipe_, POLLIN, 0};
        if (::poll(&ready, 1, block ? 200 : 0) <= 0) return;
        char buffer[4096];
        const ssize_t n = ::read(pipe_, buffer, sizeof buffer);
        if (n <= 0) {
            ::close(pipe_);
            pipe_ = -1;
            return;
        }
        captured_.append(buffer, size_t(n));
    }
}

bool ChildProcess::Running() {
    if (pid_ <= 0 || ended_) return false;
    Drain(false);
    ended_ = ::waitpid(pid_, &status_, WNOHANG) == pid_;
    return !ended_;
}

int ChildProcess::Wait(std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (Running()) {
        if (std::chrono::steady_clock::now() > deadline) return -1;
        ::usleep(10000);
    }
    if (pid_ <= 0) return -1;
    Drain(true);
    return WIFEXITED(status_) ? WEXITSTATUS(status_) : -1;
}

void ChildProcess::Kill(int signal) {
    if (Running()) ::kill(pid_, signal);
}

int RunToEnd(const std::vector<std::string>& argv, std::string* output,
             std::chrono::milliseconds timeout) {
    ChildProcess child;
    if (!child.Start(argv, {}, output ? ChildProcess::AllCaptured : ChildProcess::Forwarded))
        return -1;
    const int code = child.Wait(timeout);
    if (output) *output = child.Captured();
    return code;
}

}  // namespace talvane::test
