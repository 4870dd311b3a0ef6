// GetTempPathA and GetTempFileNameA: the temp directory and unique
// "<dir><prefix>XXXX.TMP" files, created atomically so two processes never
// get the same name.
#include <fcntl.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/fault_hooks.h"
#include "platform/last_error.h"

namespace {

std::string TempDirectory() {
    const char* fromEnvironment = getenv("TMPDIR");
    std::string directory = fromEnvironment != nullptr && *fromEnvironment != '\0' ? fromEnvironment : "/tmp";
    if (directory.back() != '/') directory += '/';
    return directory;
}

// "<directory>[/]<up to 3 prefix chars><hex>.TMP"
std::string FormName(const char* directory, const char* prefix, unsigned unique) {
    std::string name = directory;
    if (!name.empty() && name.back() != '/') name += '/';
    if (prefix != nullptr) name.append(prefix, strnlen(prefix, 3));
    char number[16];
    snprintf(number, sizeof(number), "%04X.TMP", unique & 0xFFFFu);
    return name + number;
}

// A starting number that differs between processes and calls, so that
// concurrent callers rarely collide before the exclusive create sorts it out.
unsigned StartingNumber() {
    struct timespec now {};
    clock_gettime(CLOCK_MONOTONIC, &now);
    unsigned seed = static_cast<unsigned>(now.tv_nsec) ^ (static_cast<unsigned>(getpid()) << 7);
    unsigned start = (seed ^ (seed >> 16)) & 0xFFFFu;
    return start == 0 ? 1 : start;
}

bool CopyOut(const std::string& name, LPSTR out) {
    if (name.size() >= MAX_PATH) return platform::FailWith(ERROR_BUFFER_OVERFLOW);
    memcpy(out, name.c_str(), name.size() + 1);
    return true;
}

}  // namespace

DWORD GetTempPathA(DWORD size, LPSTR buffer) {
    std::string directory = TempDirectory();
    // Too small a buffer: the size needed, terminator included, as on Windows.
    if (buffer == nullptr || size <= directory.size()) return static_cast<DWORD>(directory.size() + 1);
    memcpy(buffer, directory.c_str(), directory.size() + 1);
    return static_cast<DWORD>(directory.size());
}

UINT GetTempFileNameA(LPCSTR directory, LPCSTR prefix, UINT unique, LPSTR name) {
    if (directory == nullptr || name == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    if (unique != 0) {
        // Only forms the name; the caller creates the file.
        if (!CopyOut(FormName(directory, prefix, unique), name)) return 0;
        return unique;
    }
    if (platform::hooks::ShouldFail(platform::hooks::Service::Create)) {
        SetLastError(ERROR_ACCESS_DENIED);
        return 0;
    }
    unsigned number = StartingNumber();
    for (unsigned attempt = 0; attempt < 0xFFFFu; ++attempt) {
        std::string candidate = FormName(directory, prefix, number);
        if (candidate.size() >= MAX_PATH) {
            SetLastError(ERROR_BUFFER_OVERFLOW);
            return 0;
        }
        int fd = open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd >= 0) {
            close(fd);
            CopyOut(candidate, name);
            SetLastError(ERROR_SUCCESS);
            return number;
        }
        if (errno != EEXIST) {
            platform::FailWithErrno(errno == ENOENT ? ENOTDIR : errno);
            return 0;
        }
        number = number == 0xFFFFu ? 1 : number + 1;
    }
    SetLastError(ERROR_FILE_EXISTS);
    return 0;
}
