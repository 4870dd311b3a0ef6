// Copying bytes from one open file to another inside the kernel, so that a
// page file reaches the output without passing through user memory.
#pragma once

#include <cstdint>

namespace platform {

// Why a copy stopped: the errno of the failing call, and whether that call
// was reading the source (a read fault) or writing the destination.
struct CopyFailure {
    int error = 0;
    bool reading = false;
};

// Copies up to `count` bytes from the position of `from` to the position of
// `to` and advances both, as read() followed by write() would. Uses
// copy_file_range(2); where the kernel will not copy between these two files
// (another file system, an old kernel, no support: EXDEV, ENOSYS,
// EOPNOTSUPP, EINVAL) the rest goes through a buffer instead. `*copied`
// falls short of `count` only at the end of the source. False, with
// `*failure` set, when a call fails.
bool CopyBytes(int from, int to, uint64_t count, uint64_t* copied, CopyFailure* failure);

}  // namespace platform
