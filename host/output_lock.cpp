#include "host/output_lock.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "host/job_key.h"

#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <io.h>
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/win32.h"
#endif

namespace {

bool StderrIsTerminal() {
#ifdef _WIN32
    return _isatty(_fileno(stderr)) != 0;
#else
    return isatty(STDERR_FILENO) != 0;
#endif
}

void SayWaiting(const std::string& shownPath) {
    if (StderrIsTerminal()) {
        std::fprintf(stderr, "zeduz-tiff: waiting for another job on %s to finish\n", shownPath.c_str());
        std::fflush(stderr);
    }
}

#ifndef _WIN32
std::string LockFilePath(const std::string& canonicalOutput) {
    char folder[MAX_PATH] = {};
    const DWORD length = GetTempPathA(sizeof folder, folder);
    std::string path = length == 0 || length >= sizeof folder ? std::string("/tmp/") : std::string(folder, length);
    if (path.back() != '/') {
        path += '/';
    }
    return path + "zeduz-tiff-" + std::to_string(geteuid()) + "-" + OutputHashText(canonicalOutput) + ".lock";
}

// The lock file is opened without following a link, and must be a regular
// file of ours: in a shared temp folder another user may have put anything
// under its name.
int OpenLockFile(const std::string& path, std::string& error) {
    const int descriptor = open(path.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (descriptor < 0) {
        error = "cannot open the lock file " + path + ": " + std::strerror(errno);
        return -1;
    }
    struct stat info {};
    if (fstat(descriptor, &info) != 0 || !S_ISREG(info.st_mode) || info.st_uid != geteuid()) {
        close(descriptor);
        error = "the lock file " + path + " is not a file of this user; remove it";
        return -1;
    }
    return descriptor;
}

int LockWaiting(int descriptor) {
    int result = 0;
    do {
        result = flock(descriptor, LOCK_EX);
    } while (result != 0 && errno == EINTR);
    return result;
}

// Whether the lock held on `descriptor` is still that of `path`: the job
// before removes its lock file while it holds it, and a job that waited on
// the removed file locks the new one instead.
bool StillNamed(int descriptor, const std::string& path) {
    struct stat held {};
    struct stat named {};
    return fstat(descriptor, &held) == 0 && stat(path.c_str(), &named) == 0 && held.st_dev == named.st_dev &&
           held.st_ino == named.st_ino;
}
#endif

}  // namespace

bool OutputLock::Acquire(const std::string& canonicalOutput, const std::string& shownPath, std::string& error) {
#ifdef _WIN32
    const std::string name = "Local\\zeduz-tiff-" + OutputHashText(canonicalOutput);
    const HANDLE mutex = CreateMutexA(nullptr, FALSE, name.c_str());
    if (mutex == nullptr) {
        error = "cannot make the lock " + name + " (error " + std::to_string(GetLastError()) + ")";
        return false;
    }
    DWORD waited = WaitForSingleObject(mutex, 0);
    if (waited == WAIT_TIMEOUT) {
        SayWaiting(shownPath);
        waited = WaitForSingleObject(mutex, INFINITE);
    }
    // An abandoned mutex is ours now: the job that held it died.
    if (waited != WAIT_OBJECT_0 && waited != WAIT_ABANDONED) {
        CloseHandle(mutex);
        error = "cannot take the lock " + name + " (error " + std::to_string(GetLastError()) + ")";
        return false;
    }
    mutex_ = mutex;
    return true;
#else
    const std::string path = LockFilePath(canonicalOutput);
    bool said = false;
    for (;;) {
        const int descriptor = OpenLockFile(path, error);
        if (descriptor < 0) {
            return false;
        }
        int result = flock(descriptor, LOCK_EX | LOCK_NB);
        if (result != 0 && errno == EWOULDBLOCK) {
            if (!said) {
                SayWaiting(shownPath);
                said = true;
            }
            result = LockWaiting(descriptor);
        }
        if (result != 0) {
            error = "cannot lock " + path + ": " + std::strerror(errno);
            close(descriptor);
            return false;
        }
        if (StillNamed(descriptor, path)) {
            descriptor_ = descriptor;
            path_ = path;
            return true;
        }
        close(descriptor);
    }
#endif
}

OutputLock::~OutputLock() {
#ifdef _WIN32
    if (mutex_ != nullptr) {
        ReleaseMutex(static_cast<HANDLE>(mutex_));
        CloseHandle(static_cast<HANDLE>(mutex_));
    }
#else
    // The lock file goes while it is still locked, so that no job can hold
    // it unnoticed once it has no name (see StillNamed).
    if (descriptor_ >= 0) {
        unlink(path_.c_str());
        close(descriptor_);
    }
#endif
}
