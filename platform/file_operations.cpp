// Path operations: DeleteFileA, CopyFileA, MoveFileExA, ReplaceFileA.
//
// CopyFileA never leaves a partial destination: it copies into a new file
// beside the destination, syncs it and renames it into place, so the
// destination is either the old file (or absent) or the complete copy.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <string>

#include "platform/fault_hooks.h"
#include "platform/file_sharing.h"
#include "platform/kernel_copy.h"
#include "platform/last_error.h"
#include "platform/path_checks.h"

using platform::FailWith;
using platform::FailWithErrno;
using platform::hooks::Service;
using platform::hooks::ShouldFail;

namespace {

// How much of a copy one budget charge and one kernel request cover.
constexpr uint64_t kCopyRequestBytes = uint64_t{1} << 20;

// rename() that keeps an existing destination; falls back to a checked
// rename on file systems without RENAME_NOREPLACE.
int RenameNoReplace(const char* from, const char* to) {
    int result = renameat2(AT_FDCWD, from, AT_FDCWD, to, RENAME_NOREPLACE);
    if (result == 0 || errno != EINVAL) return result;
    struct stat info {};
    if (lstat(to, &info) == 0) {
        errno = EEXIST;
        return -1;
    }
    return rename(from, to);
}

bool FailWithPathError(const char* path, int error) { return FailWith(platform::PathError(path, error)); }

bool Exists(const char* path) {
    struct stat info {};
    return lstat(path, &info) == 0;
}

// A new, empty file in `directory` for the copy, created exclusively so no
// other writer shares it; the process umask applies as to any new file.
int CreateStagingFile(const std::string& directory, std::string* name) {
    static std::atomic<unsigned> counter{0};
    for (int attempt = 0; attempt < 100; ++attempt) {
        char leaf[64];
        snprintf(leaf, sizeof(leaf), "/.~copy-%d-%u.tmp", static_cast<int>(getpid()), counter++);
        *name = directory + leaf;
        int fd = open(name->c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST) return fd;
    }
    errno = EEXIST;
    return -1;
}

// Copies all of `from` into `to`, in the kernel where it can (see
// kernel_copy.h). Each request counts against the disk budget of the test
// controls before it is made, like any other write.
bool CopyContents(int from, int to) {
    struct stat info {};
    if (fstat(from, &info) != 0) return FailWith(ERROR_READ_FAULT);
    uint64_t remaining = static_cast<uint64_t>(info.st_size);
    while (remaining > 0) {
        uint64_t request = remaining < kCopyRequestBytes ? remaining : kCopyRequestBytes;
        if (!platform::hooks::ChargeWrite(request)) return FailWith(ERROR_DISK_FULL);
        uint64_t copied = 0;
        platform::CopyFailure failure;
        if (!platform::CopyBytes(from, to, request, &copied, &failure)) {
            return failure.reading ? FailWith(ERROR_READ_FAULT) : FailWithErrno(failure.error);
        }
        if (copied < request) return true;  // the source ended sooner than it said
        remaining -= copied;
    }
    return true;
}

// Renames the finished copy onto the destination; with `mayReplace` false an
// existing destination is kept and the rename fails.
bool CommitCopy(const std::string& staged, const char* destination, bool mayReplace) {
    if (mayReplace) {
        if (rename(staged.c_str(), destination) != 0) return FailWithPathError(destination, errno);
        return true;
    }
    if (RenameNoReplace(staged.c_str(), destination) != 0) {
        return FailWith(errno == EEXIST ? ERROR_FILE_EXISTS : platform::PathError(destination, errno));
    }
    return true;
}

// Whether `destination` may be replaced: not open somewhere without sharing
// write and delete access, as Windows requires of the file to be replaced.
bool MayReplace(const char* destination) {
    if (platform::IsWritingDenied(destination) || platform::IsDeletionDenied(destination)) {
        return FailWith(ERROR_SHARING_VIOLATION);
    }
    return true;
}

bool CopyThroughStagingFile(const char* source, const char* destination, bool mayReplace) {
    int from = open(source, O_RDONLY | O_CLOEXEC);
    if (from < 0) return FailWithPathError(source, errno);
    struct stat info {};
    if (fstat(from, &info) != 0 || S_ISDIR(info.st_mode)) {
        close(from);
        return FailWith(ERROR_ACCESS_DENIED);
    }
    const std::string directory = platform::DirectoryOf(destination);
    std::string staged;
    int to = CreateStagingFile(directory, &staged);
    if (to < 0) {
        int error = errno;
        close(from);
        return FailWithPathError(destination, error);
    }
    // The injected copy fault strikes after the data is written, where a
    // real failure would leave the most behind.
    const bool injectedFailure = ShouldFail(Service::Copy);
    bool ok = CopyContents(from, to);
    if (ok && fsync(to) != 0) ok = FailWithErrno(errno);
    if (ok && injectedFailure) ok = FailWith(ERROR_WRITE_FAULT);
    if (close(to) != 0 && ok) ok = FailWithErrno(errno);
    close(from);
    if (ok) ok = CommitCopy(staged, destination, mayReplace);
    if (!ok) {
        DWORD error = GetLastError();
        unlink(staged.c_str());
        SetLastError(error);
        return false;
    }
    platform::SyncDirectory(directory);
    return true;
}

}  // namespace

BOOL DeleteFileA(LPCSTR path) {
    if (!platform::CheckPath(path)) return FALSE;
    if (ShouldFail(Service::Delete)) return FailWith(ERROR_ACCESS_DENIED);
    struct stat info {};
    if (lstat(path, &info) != 0) return FailWithPathError(path, errno);
    if (S_ISDIR(info.st_mode)) return FailWith(ERROR_ACCESS_DENIED);
    if (platform::IsDeletionDenied(path)) return FailWith(ERROR_SHARING_VIOLATION);
    if (unlink(path) != 0) return FailWithPathError(path, errno);
    return TRUE;
}

BOOL CopyFileA(LPCSTR source, LPCSTR destination, BOOL failIfExists) {
    if (!platform::CheckPath(source) || !platform::CheckPath(destination)) return FALSE;
    if (!Exists(source)) return FailWithPathError(source, ENOENT);
    if (failIfExists && Exists(destination)) return FailWith(ERROR_FILE_EXISTS);
    if (!failIfExists && Exists(destination) && !MayReplace(destination)) return FALSE;
    if (!CopyThroughStagingFile(source, destination, !failIfExists)) return FALSE;
    SetLastError(ERROR_SUCCESS);
    return TRUE;
}

BOOL MoveFileExA(LPCSTR source, LPCSTR destination, DWORD flags) {
    if (!platform::CheckPath(source) || !platform::CheckPath(destination)) return FALSE;
    const bool mayReplace = (flags & MOVEFILE_REPLACE_EXISTING) != 0;
    if (!Exists(source)) return FailWithPathError(source, ENOENT);
    if (platform::IsDeletionDenied(source)) return FailWith(ERROR_SHARING_VIOLATION);
    if (Exists(destination)) {
        if (!mayReplace) return FailWith(ERROR_ALREADY_EXISTS);
        if (!MayReplace(destination)) return FALSE;
    }
    if (ShouldFail(Service::Copy)) return FailWith(ERROR_WRITE_FAULT);
    int result = mayReplace ? rename(source, destination) : RenameNoReplace(source, destination);
    if (result != 0 && errno == EEXIST) return FailWith(ERROR_ALREADY_EXISTS);
    if (result != 0 && errno == EXDEV) {
        // Another volume: copy (atomically, see above) and remove the source.
        if (!CopyThroughStagingFile(source, destination, mayReplace)) return FALSE;
        if (unlink(source) != 0) return FailWithPathError(source, errno);
        return TRUE;
    }
    if (result != 0) return FailWithPathError(destination, errno);
    platform::SyncDirectory(platform::DirectoryOf(destination));
    SetLastError(ERROR_SUCCESS);
    return TRUE;
}

BOOL ReplaceFileA(LPCSTR replaced, LPCSTR replacement, LPCSTR backup, DWORD flags, LPVOID exclude, LPVOID reserved) {
    if (!platform::CheckPath(replaced) || !platform::CheckPath(replacement)) return FALSE;
    if (backup != nullptr) return FailWith(ERROR_INVALID_PARAMETER);
    struct stat info {};
    if (stat(replaced, &info) != 0) return FailWithPathError(replaced, errno);
    if (chmod(replacement, info.st_mode & 07777) != 0) return FailWithPathError(replacement, errno);
    // Only a privileged process may give a file away; any other keeps its own.
    if (chown(replacement, info.st_uid, info.st_gid) != 0 && errno != EPERM) {
        return FailWithPathError(replacement, errno);
    }
    return MoveFileExA(replacement, replaced, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
}
