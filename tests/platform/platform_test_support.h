// Helpers of the platform tests: child processes. Scratch directories,
// file reads and the fixture come from the shared test support.
#pragma once

#include <sys/wait.h>
#include <unistd.h>

#include <functional>

#include "support/files.h"
#include "support/platform_test.h"

namespace platform_tests {

// Runs `body` in a child process; the child's exit status is 0 when the body
// returns true.
inline pid_t StartChild(const std::function<bool()>& body) {
    pid_t pid = fork();
    if (pid == 0) _exit(body() ? 0 : 1);
    return pid;
}

inline int WaitForChild(pid_t pid) {
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

}  // namespace platform_tests
