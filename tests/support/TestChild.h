#pragma once

// Runs the current test once more in a fresh start of the test program, for the part of a test
// that must happen in a process of its own: under a resource limit, or without root's rights,
// after the application object exists (a program with windows cannot fork safely). The new
// process runs only this test; ChildRole() tells it which part is its own.
//
// Errors: std::runtime_error when the child cannot be started.

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <gtest/gtest.h>
#include <stdexcept>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

inline constexpr const char* ChildRoleVariable = "WORDMILL_TEST_CHILD";
inline constexpr const char* ChildFolderVariable = "WORDMILL_TEST_FOLDER";

// The role RunTestInChild gave this process; empty in the test program as ctest starts it.
inline std::string ChildRole()
{
    const char* role = std::getenv(ChildRoleVariable);
    return role ? role : "";
}

// The folder RunTestInChild handed to this process.
inline std::string ChildFolder()
{
    const char* folder = std::getenv(ChildFolderVariable);
    return folder ? folder : "";
}

// Starts the test program again on the current test, with `role` and `folder` in its
// environment; returns its exit code (0 when the test passed there), 128 + the signal that ended
// it, or 124 when it did not end within `limit`.
inline int RunTestInChild(const std::string& role, const std::string& folder,
                          std::chrono::seconds limit = std::chrono::seconds(120))
{
    const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
    const std::string filter =
        std::string("--gtest_filter=") + test->test_suite_name() + "." + test->name();
    const pid_t pid = fork();
    if (pid < 0)
        throw std::runtime_error("fork failed");
    if (pid == 0) {
        setenv(ChildRoleVariable, role.c_str(), 1);
        setenv(ChildFolderVariable, folder.c_str(), 1);
        char program[] = "/proc/self/exe";
        char* const argv[] = {program, const_cast<char*>(filter.c_str()), nullptr};
        execv(program, argv);
        _exit(127);
    }
    const auto deadline = std::chrono::steady_clock::now() + limit;
    int status = 0;
    for (;;) {
        const pid_t done = waitpid(pid, &status, WNOHANG);
        if (done == pid)
            break;
        if (done < 0 && errno != EINTR)
            throw std::runtime_error("waitpid failed");
        if (std::chrono::steady_clock::now() > deadline) {
            kill(pid, SIGKILL);
            waitpid(pid, &status, 0);
            return 124;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    if (WIFEXITED(status))
        return WEXITSTATUS(status);
    return 128 + WTERMSIG(status);
}
