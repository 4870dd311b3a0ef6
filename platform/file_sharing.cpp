// Share-mode checks with open-file-description locks (see file_sharing.h).
#include "platform/file_sharing.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "platform/last_error.h"

namespace {

// Marker bytes, far beyond any offset a 32-bit file format reaches.
enum Marker : off_t {
    kHoldsRead = 0,
    kHoldsWrite,
    kDeniesRead,
    kDeniesWrite,
    kDeniesDelete,
};
constexpr off_t kMarkerBase = 0x7FFFFFFFFFFF0000LL;

struct flock MarkerLock(short type, Marker marker) {
    struct flock lock {};
    lock.l_type = type;
    lock.l_whence = SEEK_SET;
    lock.l_start = kMarkerBase + marker;
    lock.l_len = 1;
    return lock;
}

// Whether an open description other than `fd`'s holds the marker.
bool SomeoneHolds(int fd, Marker marker) {
    struct flock lock = MarkerLock(F_WRLCK, marker);
    if (fcntl(fd, F_OFD_GETLK, &lock) != 0) return false;
    return lock.l_type != F_UNLCK;
}

bool Hold(int fd, Marker marker) {
    struct flock lock = MarkerLock(F_RDLCK, marker);
    return fcntl(fd, F_OFD_SETLK, &lock) == 0;
}

bool IsMarkerHeldAt(const char* path, Marker marker) {
    int fd = open(path, O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0) return false;
    bool held = SomeoneHolds(fd, marker);
    close(fd);
    return held;
}

}  // namespace

namespace platform {

bool ClaimSharing(int fd, DWORD access, DWORD shareMode) {
    const bool wantsRead = (access & GENERIC_READ) != 0;
    const bool wantsWrite = (access & GENERIC_WRITE) != 0;
    const bool deniesRead = (shareMode & FILE_SHARE_READ) == 0;
    const bool deniesWrite = (shareMode & FILE_SHARE_WRITE) == 0;
    const bool deniesDelete = (shareMode & FILE_SHARE_DELETE) == 0;

    // Claim first, check afterwards: of two openers racing for conflicting
    // modes, each then sees the other, so at worst both fail, never both pass.
    bool claimed = (!wantsRead || Hold(fd, kHoldsRead)) && (!wantsWrite || Hold(fd, kHoldsWrite)) &&
                   (!deniesRead || Hold(fd, kDeniesRead)) && (!deniesWrite || Hold(fd, kDeniesWrite)) &&
                   (!deniesDelete || Hold(fd, kDeniesDelete));
    // Every record is a shared lock, so claiming conflicts with nobody; it
    // fails only where the file system keeps no such locks (some network
    // file systems). Such files are opened without share-mode checks rather
    // than not at all.
    if (!claimed) return true;
    bool conflict = (wantsRead && SomeoneHolds(fd, kDeniesRead)) || (wantsWrite && SomeoneHolds(fd, kDeniesWrite)) ||
                    (deniesRead && SomeoneHolds(fd, kHoldsRead)) || (deniesWrite && SomeoneHolds(fd, kHoldsWrite));
    if (conflict) {
        FailWith(ERROR_SHARING_VIOLATION);
        return false;
    }
    return true;
}

bool IsDeletionDenied(const char* path) { return IsMarkerHeldAt(path, kDeniesDelete); }

bool IsWritingDenied(const char* path) { return IsMarkerHeldAt(path, kDeniesWrite); }

}  // namespace platform
