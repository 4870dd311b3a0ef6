// The reliability tests run thousands of small jobs, and every committed
// page is flushed to the disk before it is linked in; on a real disk those
// flushes cost far more than the jobs. Their scratch directories go to the
// memory file system when there is one.
#include <unistd.h>

#include <cstdlib>

namespace {

const bool kScratchInMemory = [] {
    if (std::getenv("ZEDUZ_SCRATCH_ON_DISK") == nullptr && access("/dev/shm", W_OK | X_OK) == 0) {
        setenv("TMPDIR", "/dev/shm", 1);
        return true;
    }
    return false;
}();

}  // namespace
