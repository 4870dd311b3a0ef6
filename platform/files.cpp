// File handles: CreateFileA, ReadFile, WriteFile, SetFilePointer,
// GetFileSize, GetFileInformationByHandle, FlushFileBuffers, SetEndOfFile,
// CloseHandle (a thread's or process's handle goes on to threads.cpp or
// processes.cpp), and CopyFileBytes, the kernel copy between two
// handles that Linux adds.
//
// A handle points to a FileObject known to the live-handle list, so a stale,
// foreign or doubly closed handle is refused with ERROR_INVALID_HANDLE instead
// of touching freed memory.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/call_log.h"
#include "platform/fault_hooks.h"
#include "platform/file_sharing.h"
#include "platform/kernel_copy.h"
#include "platform/last_error.h"
#include "platform/live_list.h"
#include "platform/path_checks.h"
#include "platform/processes.h"
#include "platform/threads.h"

using platform::FailWith;
using platform::FailWithErrno;
using platform::hooks::Service;
using platform::hooks::ShouldFail;

namespace {

struct FileObject : platform::LiveLinks<FileObject> {
    FileObject(int descriptor, bool readable, bool writable, bool link)
        : fd(descriptor), canRead(readable), canWrite(writable), isLink(link) {}
    int fd;
    bool canRead;
    bool canWrite;
    bool isLink;  // a symbolic link opened itself: only its information can be asked for
};

platform::LiveList<FileObject> liveFiles;
static_assert(std::is_trivially_destructible_v<platform::LiveList<FileObject>>);

FileObject* Lookup(HANDLE handle) {
    if (!liveFiles.Contains(handle)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    return static_cast<FileObject*>(handle);
}

HANDLE Register(FileObject* object) {
    liveFiles.Add(object);
    return object;
}

bool Unregister(FileObject* object) { return liveFiles.Remove(object); }

// What a file is opened as, from the Windows access, disposition and flags.
struct OpenRequest {
    DWORD access;
    DWORD disposition;
    DWORD flags;

    // No reparse point followed: the last component is opened as it is,
    // never through a symbolic link, and a FIFO does not block the open.
    bool OpensLinkItself() const { return (flags & FILE_FLAG_OPEN_REPARSE_POINT) != 0; }
    // A new temporary file is private to its creator, as a Windows user's
    // temp folder makes it; any other new file gets the usual mode.
    mode_t NewFileMode() const {
        return disposition == CREATE_NEW && (flags & FILE_ATTRIBUTE_TEMPORARY) != 0 ? 0600 : 0666;
    }
};

int OpenFlags(const OpenRequest& request) {
    int flags = O_CLOEXEC;
    // Read access too when writing: the sharing records need a readable
    // descriptor; the handle still refuses ReadFile without GENERIC_READ.
    flags |= (request.access & GENERIC_WRITE) || request.disposition == CREATE_ALWAYS ? O_RDWR : O_RDONLY;
    if (request.disposition == CREATE_NEW) flags |= O_CREAT | O_EXCL;
    if (request.disposition == CREATE_ALWAYS) flags |= O_CREAT;
    if (request.OpensLinkItself()) flags |= O_NOFOLLOW | O_NONBLOCK;
    return flags;
}

// A symbolic link met where no reparse point is to be followed: the link
// itself, as Windows opens it; -1 when the path is no link after all.
int OpenLinkItself(LPCSTR path) {
    struct stat info {};
    if (lstat(path, &info) != 0 || !S_ISLNK(info.st_mode)) return -1;
    return open(path, O_PATH | O_NOFOLLOW | O_CLOEXEC);
}

// What OpenDescriptor found out on the way.
struct OpenedAs {
    bool existed = false;    // asked only where it is reported: CREATE_ALWAYS
    bool isLink = false;     // a symbolic link opened itself
    bool writeOnly = false;  // a write-only file, which cannot carry sharing records
};

// Opens the file for the disposition; the existing contents are kept until
// the sharing check has passed. -1 with the last error set on failure.
int OpenDescriptor(LPCSTR path, const OpenRequest& request, OpenedAs* opened) {
    struct stat before {};
    opened->existed = request.disposition == CREATE_ALWAYS && stat(path, &before) == 0;
    int fd = open(path, OpenFlags(request), request.NewFileMode());
    if (fd < 0 && errno == EACCES && (request.access & GENERIC_READ) == 0 && (request.access & GENERIC_WRITE)) {
        fd = open(path, (OpenFlags(request) & ~O_RDWR) | O_WRONLY, request.NewFileMode());
        opened->writeOnly = fd >= 0;
    }
    if (fd < 0 && errno == ELOOP && request.OpensLinkItself() && request.disposition == OPEN_EXISTING) {
        fd = OpenLinkItself(path);
        if (fd >= 0) {
            opened->isLink = true;
            return fd;
        }
        errno = ELOOP;
    }
    if (fd < 0) {
        SetLastError(platform::PathError(path, errno));
        return -1;
    }
    // O_NONBLOCK kept the open of a FIFO from waiting; it changes nothing
    // for a regular file, and is cleared for anything else.
    struct stat info {};
    if (fstat(fd, &info) != 0 || S_ISDIR(info.st_mode) ||
        (request.OpensLinkItself() && !S_ISREG(info.st_mode) &&
         fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK) != 0)) {
        close(fd);
        SetLastError(ERROR_ACCESS_DENIED);
        return -1;
    }
    return fd;
}

bool IsKnownDisposition(DWORD disposition) {
    return disposition == CREATE_NEW || disposition == CREATE_ALWAYS || disposition == OPEN_EXISTING;
}

bool WriteAll(int fd, const BYTE* data, DWORD count, DWORD* written) {
    while (*written < count) {
        ssize_t done = write(fd, data + *written, count - *written);
        if (done < 0 && errno == EINTR) continue;
        if (done <= 0) return FailWithErrno(done < 0 ? errno : ENOSPC);
        *written += static_cast<DWORD>(done);
    }
    return true;
}

}  // namespace

HANDLE CreateFileA(LPCSTR path, DWORD access, DWORD shareMode, void* security, DWORD disposition, DWORD flags,
                   HANDLE templateFile) {
    if (!platform::CheckPath(path)) return INVALID_HANDLE_VALUE;
    if (!IsKnownDisposition(disposition)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    Service service = disposition == OPEN_EXISTING ? Service::Open : Service::Create;
    if (ShouldFail(service)) {
        SetLastError(ERROR_ACCESS_DENIED);
        return INVALID_HANDLE_VALUE;
    }
    OpenedAs opened;
    int fd = OpenDescriptor(path, {access, disposition, flags}, &opened);
    if (fd < 0) return INVALID_HANDLE_VALUE;
    if (opened.isLink) {
        SetLastError(ERROR_SUCCESS);
        return Register(new FileObject(fd, false, false, true));
    }
    if (!opened.writeOnly && !platform::ClaimSharing(fd, access, shareMode)) {
        close(fd);
        return INVALID_HANDLE_VALUE;
    }
    if (disposition == CREATE_ALWAYS && ftruncate(fd, 0) != 0) {
        int error = errno;
        close(fd);
        FailWithErrno(error);
        return INVALID_HANDLE_VALUE;
    }
    auto* object = new FileObject(fd, (access & GENERIC_READ) != 0, (access & GENERIC_WRITE) != 0, false);
    // As on Windows: success over an existing file says so in the last error.
    SetLastError(opened.existed ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS);
    return Register(object);
}

BOOL ReadFile(HANDLE file, LPVOID buffer, DWORD count, LPDWORD read, void* overlapped) {
    if (read != nullptr) *read = 0;
    FileObject* object = Lookup(file);
    if (object == nullptr) return FALSE;
    if (!object->canRead) return FailWith(ERROR_ACCESS_DENIED);
    if (buffer == nullptr && count > 0) return FailWith(ERROR_INVALID_PARAMETER);
    if (ShouldFail(Service::Read)) return FailWith(ERROR_READ_FAULT);
    DWORD total = 0;
    auto* bytes = static_cast<BYTE*>(buffer);
    while (total < count) {
        ssize_t done = ::read(object->fd, bytes + total, count - total);
        if (done < 0 && errno == EINTR) continue;
        if (done < 0) return FailWith(errno == EIO ? ERROR_READ_FAULT : platform::WindowsErrorFromErrno(errno));
        if (done == 0) break;  // end of file: a short read, not a failure
        total += static_cast<DWORD>(done);
    }
    if (read != nullptr) *read = total;
    SetLastError(ERROR_SUCCESS);
    return TRUE;
}

BOOL WriteFile(HANDLE file, LPCVOID buffer, DWORD count, LPDWORD written, void* overlapped) {
    if (written != nullptr) *written = 0;
    FileObject* object = Lookup(file);
    if (object == nullptr) return FALSE;
    if (!object->canWrite) return FailWith(ERROR_ACCESS_DENIED);
    if (buffer == nullptr && count > 0) return FailWith(ERROR_INVALID_PARAMETER);
    if (ShouldFail(Service::Write)) return FailWith(ERROR_WRITE_FAULT);
    if (!platform::hooks::ChargeWrite(count)) return FailWith(ERROR_DISK_FULL);
    DWORD total = 0;
    BOOL ok = WriteAll(object->fd, static_cast<const BYTE*>(buffer), count, &total);
    if (written != nullptr) *written = total;
    if (ok) SetLastError(ERROR_SUCCESS);
    return ok;
}

// Stands for a ReadFile on the source followed by a WriteFile of what it
// read on the destination, and is counted, failed and charged as those two.
BOOL CopyFileBytes(HANDLE source, HANDLE destination, DWORD count, LPDWORD copied) {
    if (copied != nullptr) *copied = 0;
    FileObject* from = Lookup(source);
    FileObject* to = from != nullptr ? Lookup(destination) : nullptr;
    if (to == nullptr) return FALSE;
    if (!from->canRead || !to->canWrite) return FailWith(ERROR_ACCESS_DENIED);
    if (ShouldFail(Service::Read)) return FailWith(ERROR_READ_FAULT);
    if (ShouldFail(Service::Write)) return FailWith(ERROR_WRITE_FAULT);
    if (!platform::hooks::ChargeWrite(count)) return FailWith(ERROR_DISK_FULL);
    uint64_t done = 0;
    platform::CopyFailure failure;
    bool ok = platform::CopyBytes(from->fd, to->fd, count, &done, &failure);
    if (copied != nullptr) *copied = static_cast<DWORD>(done);
    if (!ok) return failure.reading ? FailWith(ERROR_READ_FAULT) : FailWithErrno(failure.error);
    SetLastError(ERROR_SUCCESS);
    return TRUE;
}

DWORD SetFilePointer(HANDLE file, LONG distance, LONG* distanceHigh, DWORD method) {
    FileObject* object = Lookup(file);
    if (object == nullptr) return INVALID_SET_FILE_POINTER;
    if (ShouldFail(Service::Seek)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_SET_FILE_POINTER;
    }
    // With a high part the two form one signed 64-bit distance; without it
    // the low part alone is a signed 32-bit distance.
    int64_t move = distanceHigh != nullptr
                       ? static_cast<int64_t>((static_cast<uint64_t>(static_cast<uint32_t>(*distanceHigh)) << 32) |
                                              static_cast<uint32_t>(distance))
                       : static_cast<int64_t>(distance);
    int whence = method == FILE_BEGIN     ? SEEK_SET
                 : method == FILE_CURRENT ? SEEK_CUR
                 : method == FILE_END     ? SEEK_END
                                          : -1;
    if (whence < 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_SET_FILE_POINTER;
    }
    off_t base = whence == SEEK_SET ? 0 : lseek(object->fd, 0, whence);
    if (base < 0 || (move < 0 && base + move < 0)) {
        SetLastError(base < 0 ? platform::WindowsErrorFromErrno(errno) : ERROR_NEGATIVE_SEEK);
        return INVALID_SET_FILE_POINTER;
    }
    if (move > 0 && base > INT64_MAX - move) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_SET_FILE_POINTER;
    }
    int64_t target = base + move;
    if (distanceHigh == nullptr && target > static_cast<int64_t>(UINT32_MAX)) {
        // Without a high part the new position must fit in 32 bits.
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_SET_FILE_POINTER;
    }
    // A move of 0 from the end or the current position is where the first
    // lseek left the descriptor already.
    if ((whence == SEEK_SET || move != 0) && lseek(object->fd, target, SEEK_SET) < 0) {
        SetLastError(platform::WindowsErrorFromErrno(errno));
        return INVALID_SET_FILE_POINTER;
    }
    if (distanceHigh != nullptr) *distanceHigh = static_cast<LONG>(static_cast<uint64_t>(target) >> 32);
    SetLastError(ERROR_SUCCESS);  // tells a position of 0xFFFFFFFF from a failure
    return static_cast<DWORD>(target);
}

namespace {

FILETIME FileTimeOf(const struct timespec& time) {
    // 100-nanosecond intervals since 1601, as Windows counts them.
    constexpr uint64_t kEpochDifference = 11644473600ull;
    uint64_t ticks = (static_cast<uint64_t>(time.tv_sec) + kEpochDifference) * 10000000ull +
                     static_cast<uint64_t>(time.tv_nsec) / 100;
    return {static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
}

DWORD AttributesOf(const struct stat& info, bool isLink) {
    if (isLink) return FILE_ATTRIBUTE_REPARSE_POINT;
    if (S_ISDIR(info.st_mode)) return FILE_ATTRIBUTE_DIRECTORY;
    if (!S_ISREG(info.st_mode)) return FILE_ATTRIBUTE_DEVICE;
    return FILE_ATTRIBUTE_NORMAL;
}

}  // namespace

BOOL GetFileInformationByHandle(HANDLE file, LPBY_HANDLE_FILE_INFORMATION information) {
    platform::testing::LogCall("GetFileInformationByHandle");
    FileObject* object = Lookup(file);
    if (object == nullptr) return FALSE;
    if (information == nullptr) return FailWith(ERROR_INVALID_PARAMETER);
    struct stat info {};
    if (fstat(object->fd, &info) != 0) return FailWithErrno(errno);
    const uint64_t device = static_cast<uint64_t>(info.st_dev);
    const uint64_t index = static_cast<uint64_t>(info.st_ino);
    const uint64_t size = static_cast<uint64_t>(info.st_size);
    *information = {};
    information->dwFileAttributes = AttributesOf(info, object->isLink);
    information->ftCreationTime = FileTimeOf(info.st_ctim);
    information->ftLastAccessTime = FileTimeOf(info.st_atim);
    information->ftLastWriteTime = FileTimeOf(info.st_mtim);
    information->dwVolumeSerialNumber = static_cast<DWORD>(device ^ (device >> 32));
    information->nFileSizeHigh = static_cast<DWORD>(size >> 32);
    information->nFileSizeLow = static_cast<DWORD>(size);
    information->nNumberOfLinks = static_cast<DWORD>(info.st_nlink);
    information->nFileIndexHigh = static_cast<DWORD>(index >> 32);
    information->nFileIndexLow = static_cast<DWORD>(index);
    SetLastError(ERROR_SUCCESS);
    return TRUE;
}

DWORD GetFileSize(HANDLE file, LPDWORD sizeHigh) {
    platform::testing::LogCall("GetFileSize");
    FileObject* object = Lookup(file);
    if (object == nullptr) return INVALID_FILE_SIZE;
    struct stat info {};
    if (fstat(object->fd, &info) != 0) {
        SetLastError(platform::WindowsErrorFromErrno(errno));
        return INVALID_FILE_SIZE;
    }
    uint64_t size = static_cast<uint64_t>(info.st_size);
    if (sizeHigh != nullptr) *sizeHigh = static_cast<DWORD>(size >> 32);
    SetLastError(ERROR_SUCCESS);
    return static_cast<DWORD>(size);
}

BOOL FlushFileBuffers(HANDLE file) {
    platform::testing::LogCall("FlushFileBuffers");
    FileObject* object = Lookup(file);
    if (object == nullptr) return FALSE;
    if (!object->canWrite) return FailWith(ERROR_ACCESS_DENIED);
    if (fsync(object->fd) != 0) return FailWithErrno(errno);
    return TRUE;
}

BOOL CloseHandle(HANDLE handle) {
    if (platform::IsThreadHandle(handle)) return platform::CloseThreadHandle(handle);
    if (platform::IsProcessHandle(handle)) return platform::CloseProcessHandle(handle);
    FileObject* object = Lookup(handle);
    if (object == nullptr) return FALSE;
    // An injected failure leaves the handle open and usable, as the callers
    // of a failed close must assume.
    if (ShouldFail(Service::Close)) return FailWith(ERROR_INVALID_HANDLE);
    if (!Unregister(object)) return FailWith(ERROR_INVALID_HANDLE);
    int result = close(object->fd);
    delete object;
    // The descriptor is released even when close reports a late write error.
    if (result != 0 && errno != EINTR) return FailWithErrno(errno);
    return TRUE;
}

// The end of the file moves to the current position: the file is cut there,
// or grows with zeros up to it.
BOOL SetEndOfFile(HANDLE file) {
    FileObject* object = Lookup(file);
    if (object == nullptr) return FALSE;
    if (!object->canWrite) return FailWith(ERROR_ACCESS_DENIED);
    if (ShouldFail(Service::Write)) return FailWith(ERROR_WRITE_FAULT);
    off_t position = lseek(object->fd, 0, SEEK_CUR);
    if (position < 0 || ftruncate(object->fd, position) != 0) return FailWithErrno(errno);
    return TRUE;
}
