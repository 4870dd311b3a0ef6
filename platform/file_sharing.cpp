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

using MarkerSet = unsigned;
constexpr MarkerSet Bit(Marker marker) { return 1u << marker; }

struct flock MarkerLock(short type, off_t first, off_t count) {
    struct flock lock {};
    lock.l_type = type;
    lock.l_whence = SEEK_SET;
    lock.l_start = kMarkerBase + first;
    lock.l_len = count;
    return lock;
}

// Calls `use(first, count)` for each run of adjacent markers in the set, so
// that neighbouring markers cost one lock call, not one each; false as soon
// as a call returns false.
template <typename Use>
bool ForEachRun(MarkerSet markers, Use use) {
    for (off_t first = 0; markers >> first != 0;) {
        if ((markers & (1u << first)) == 0) {
            ++first;
            continue;
        }
        off_t count = 1;
        while ((markers & (1u << (first + count))) != 0) ++count;
        if (!use(first, count)) return false;
        first += count;
    }
    return true;
}

// Whether an open description other than `fd`'s holds any of the markers.
bool SomeoneHoldsAny(int fd, MarkerSet markers) {
    return !ForEachRun(markers, [fd](off_t first, off_t count) {
        struct flock lock = MarkerLock(F_WRLCK, first, count);
        return fcntl(fd, F_OFD_GETLK, &lock) != 0 || lock.l_type == F_UNLCK;
    });
}

bool HoldAll(int fd, MarkerSet markers) {
    return ForEachRun(markers, [fd](off_t first, off_t count) {
        struct flock lock = MarkerLock(F_RDLCK, first, count);
        return fcntl(fd, F_OFD_SETLK, &lock) == 0;
    });
}

bool IsMarkerHeldAt(const char* path, Marker marker) {
    int fd = open(path, O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0) return false;
    bool held = SomeoneHoldsAny(fd, Bit(marker));
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

    // What this opener records, and what it must find nobody else holding.
    const MarkerSet claims = (wantsRead ? Bit(kHoldsRead) : 0) | (wantsWrite ? Bit(kHoldsWrite) : 0) |
                             (deniesRead ? Bit(kDeniesRead) : 0) | (deniesWrite ? Bit(kDeniesWrite) : 0) |
                             (deniesDelete ? Bit(kDeniesDelete) : 0);
    const MarkerSet conflicts = (wantsRead ? Bit(kDeniesRead) : 0) | (wantsWrite ? Bit(kDeniesWrite) : 0) |
                                (deniesRead ? Bit(kHoldsRead) : 0) | (deniesWrite ? Bit(kHoldsWrite) : 0);

    // Claim first, check afterwards: of two openers racing for conflicting
    // modes, each then sees the other, so at worst both fail, never both pass.
    // Every record is a shared lock, so claiming conflicts with nobody; it
    // fails only where the file system keeps no such locks (some network
    // file systems). Such files are opened without share-mode checks rather
    // than not at all.
    if (!HoldAll(fd, claims)) return true;
    bool conflict = SomeoneHoldsAny(fd, conflicts);
    if (conflict) {
        FailWith(ERROR_SHARING_VIOLATION);
        return false;
    }
    return true;
}

bool IsDeletionDenied(const char* path) { return IsMarkerHeldAt(path, kDeniesDelete); }

bool IsWritingDenied(const char* path) { return IsMarkerHeldAt(path, kDeniesWrite); }

}  // namespace platform
