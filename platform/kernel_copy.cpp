// copy_file_range(2) with a read()/write() fallback.
#include "platform/kernel_copy.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstddef>

namespace platform {
namespace {

// The most one copy_file_range call is asked for; the kernel caps a request
// near 2 GiB anyway.
constexpr uint64_t kLargestRequest = uint64_t{1} << 30;

// Errors that say the kernel will not copy between these two files, not that
// the copy failed; the same bytes can still go through a buffer.
bool KernelWillNotCopy(int error) {
    return error == EXDEV || error == ENOSYS || error == EOPNOTSUPP || error == EINVAL;
}

bool Failed(int error, bool reading, CopyFailure* failure) {
    failure->error = error;
    failure->reading = reading;
    return false;
}

// The fallback: read() and write() through a buffer on the stack, from
// wherever the positions of both files stand.
bool CopyThroughBuffer(int from, int to, uint64_t count, uint64_t* copied, CopyFailure* failure) {
    char buffer[65536];
    while (*copied < count) {
        size_t wanted = static_cast<size_t>(std::min<uint64_t>(sizeof(buffer), count - *copied));
        ssize_t got = read(from, buffer, wanted);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) return Failed(errno, true, failure);
        if (got == 0) return true;  // end of the source
        for (ssize_t done = 0; done < got;) {
            ssize_t put = write(to, buffer + done, static_cast<size_t>(got - done));
            if (put < 0 && errno == EINTR) continue;
            if (put <= 0) return Failed(put < 0 ? errno : ENOSPC, false, failure);
            done += put;
        }
        *copied += static_cast<uint64_t>(got);
    }
    return true;
}

}  // namespace

bool CopyBytes(int from, int to, uint64_t count, uint64_t* copied, CopyFailure* failure) {
    *copied = 0;
    while (*copied < count) {
        size_t wanted = static_cast<size_t>(std::min(count - *copied, kLargestRequest));
        ssize_t done = copy_file_range(from, nullptr, to, nullptr, wanted, 0);
        if (done < 0 && errno == EINTR) continue;
        if (done < 0 && KernelWillNotCopy(errno)) return CopyThroughBuffer(from, to, count, copied, failure);
        // The kernel does not say which side failed; the destination is the
        // side that fails in practice (a full or failing volume).
        if (done < 0) return Failed(errno, false, failure);
        if (done == 0) return true;  // end of the source
        *copied += static_cast<uint64_t>(done);
    }
    return true;
}

}  // namespace platform
