#pragma once

// Runs a piece of a test in a child process: another process holding a lock, a process with a
// file size limit, or one without root's rights. The child's result is its exit code.

#include <csignal>
#include <functional>
#include <stdexcept>
#include <sys/wait.h>
#include <unistd.h>

// Runs `body` in a forked child and returns its exit code (or 128 + signal).
inline int RunInChild(const std::function<int()>& body)
{
    const pid_t pid = fork();
    if (pid < 0)
        throw std::runtime_error("fork failed");
    if (pid == 0) {
        int code = 125;
        try {
            code = body();
        } catch (...) {
            code = 126;
        }
        _exit(code);
    }
    int status = 0;
    while (waitpid(pid, &status, 0) < 0) {
    }
    if (WIFEXITED(status))
        return WEXITSTATUS(status);
    return 128 + WTERMSIG(status);
}

// A child that holds an exclusive flock on a file until the object is destroyed.
class TLockingChild {
public:
    explicit TLockingChild(const std::string& path);
    ~TLockingChild();
    TLockingChild(const TLockingChild&) = delete;
    TLockingChild& operator=(const TLockingChild&) = delete;

private:
    pid_t FPid = -1;
};
