// Shared helpers of the platform tests: scratch directories, child processes
// and whole-file reads.
#pragma once

#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>

#include <gtest/gtest.h>

#include "platform/testing.h"

namespace platform_tests {

// A fresh directory, removed with its contents at the end of the test.
class ScratchDirectory {
public:
    ScratchDirectory() {
        char pattern[] = "/tmp/zeduz-platform-XXXXXX";
        path_ = mkdtemp(pattern);
    }
    ~ScratchDirectory() {
        std::string command = "rm -rf '" + path_ + "'";
        if (system(command.c_str()) != 0) ADD_FAILURE() << "could not remove " << path_;
    }
    const std::string& path() const { return path_; }
    std::string File(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

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

// Where the built libraries lie: $ZEDUZ_BIN_DIR, else beside this program.
inline std::string BinDirectory() {
    const char* fromEnvironment = getenv("ZEDUZ_BIN_DIR");
    if (fromEnvironment != nullptr && *fromEnvironment != '\0') return fromEnvironment;
    char program[4096];
    ssize_t length = readlink("/proc/self/exe", program, sizeof(program) - 1);
    std::string path(program, length > 0 ? static_cast<size_t>(length) : 0);
    size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? "." : path.substr(0, slash);
}

inline std::string ReadWholeFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

inline void WriteWholeFile(const std::string& path, const std::string& contents) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << contents;
}

// Every test starts and ends with the platform's test controls reset.
class PlatformTest : public ::testing::Test {
protected:
    void SetUp() override { platform::testing::Reset(); }
    void TearDown() override { platform::testing::Reset(); }
};

}  // namespace platform_tests
