// One job at a time on one output file: the lock is held for the whole job,
// and a second job on the same file waits for it, then goes on (and so
// appends after the first job's pages). Linux: flock on a lock file in the
// temp folder named from the user and the output's hash; Windows: a named
// mutex from the hash. The lock file goes at the end of the job.
#pragma once

#include <string>

class OutputLock {
public:
    OutputLock() = default;
    ~OutputLock();
    OutputLock(const OutputLock&) = delete;
    OutputLock& operator=(const OutputLock&) = delete;

    // Waits until no other job holds the lock of `canonicalOutput`; while
    // it waits, one line on stderr says so when stderr is a terminal. False
    // with `error` set when the lock cannot be made.
    bool Acquire(const std::string& canonicalOutput, const std::string& shownPath, std::string& error);

private:
#ifdef _WIN32
    void* mutex_ = nullptr;
#else
    int descriptor_ = -1;
    std::string path_;  // of the lock file, removed at the end of the job
#endif
};
