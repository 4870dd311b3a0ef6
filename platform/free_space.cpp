// GetDiskFreeSpaceExA and GetDiskFreeSpaceA over statvfs.
//
// The "root" may be any path on the volume: a directory, a file, or a file
// not yet created (then its nearest existing parent directory counts).
#include <sys/statvfs.h>

#include <cerrno>
#include <string>

#include "platform/fault_hooks.h"
#include "platform/last_error.h"
#include "platform/path_checks.h"

using platform::hooks::FreeSpaceMode;

namespace {

struct VolumeSpace {
    uint64_t total;
    uint64_t free;
    uint64_t available;  // to an unprivileged caller
    uint64_t clusterSize;
};

bool QueryVolume(const char* root, VolumeSpace* space) {
    std::string path = root == nullptr || *root == '\0' ? "." : root;
    struct statvfs info {};
    while (statvfs(path.c_str(), &info) != 0) {
        if (errno != ENOENT || path == "/" || path == ".") return platform::FailWithErrno(errno);
        path = platform::DirectoryOf(path);
    }
    space->clusterSize = info.f_frsize != 0 ? info.f_frsize : info.f_bsize;
    space->total = static_cast<uint64_t>(info.f_blocks) * space->clusterSize;
    space->free = static_cast<uint64_t>(info.f_bfree) * space->clusterSize;
    space->available = static_cast<uint64_t>(info.f_bavail) * space->clusterSize;
    return true;
}

// The test controls may replace the volume's answer: a fixed free byte count
// or a volume whose free space cannot be determined.
bool QuerySpace(const char* root, VolumeSpace* space) {
    uint64_t injected = 0;
    switch (platform::hooks::FreeSpaceSetting(&injected)) {
        case FreeSpaceMode::Real: return QueryVolume(root, space);
        case FreeSpaceMode::Unknown: return platform::FailWith(ERROR_PATH_NOT_FOUND);
        case FreeSpaceMode::Injected: break;
    }
    *space = VolumeSpace{injected, injected, injected, 4096};
    return true;
}

void Store(PULARGE_INTEGER out, uint64_t value) {
    if (out != nullptr) out->QuadPart = value;
}

DWORD Clamp32(uint64_t value) { return value > UINT32_MAX ? UINT32_MAX : static_cast<DWORD>(value); }

struct ClusterGeometry {
    DWORD sectorsPerCluster;
    DWORD bytesPerSector;
};

// Sectors of 512 bytes where the cluster allows it. An injected byte count
// that is no multiple of 4096 is given in 512- or 1-byte clusters where
// those still count it exactly in 32 bits.
ClusterGeometry GeometryFor(const VolumeSpace& space) {
    uint64_t cluster = space.clusterSize;
    if (space.free % cluster != 0 || space.free / cluster > UINT32_MAX) {
        for (uint64_t candidate : {uint64_t{512}, uint64_t{1}}) {
            if (space.free % candidate == 0 && space.free / candidate <= UINT32_MAX) {
                cluster = candidate;
                break;
            }
        }
    }
    if (cluster % 512 == 0) return {static_cast<DWORD>(cluster / 512), 512};
    return {1, static_cast<DWORD>(cluster)};
}

}  // namespace

BOOL GetDiskFreeSpaceExA(LPCSTR root, PULARGE_INTEGER availableToCaller, PULARGE_INTEGER total,
                         PULARGE_INTEGER totalFree) {
    VolumeSpace space{};
    if (!QuerySpace(root, &space)) return FALSE;
    Store(availableToCaller, space.available);
    Store(total, space.total);
    Store(totalFree, space.free);
    return TRUE;
}

BOOL GetDiskFreeSpaceA(LPCSTR root, LPDWORD sectorsPerCluster, LPDWORD bytesPerSector, LPDWORD freeClusters,
                       LPDWORD totalClusters) {
    VolumeSpace space{};
    if (!QuerySpace(root, &space)) return FALSE;
    ClusterGeometry geometry = GeometryFor(space);
    uint64_t clusterBytes = uint64_t{geometry.sectorsPerCluster} * geometry.bytesPerSector;
    if (sectorsPerCluster != nullptr) *sectorsPerCluster = geometry.sectorsPerCluster;
    if (bytesPerSector != nullptr) *bytesPerSector = geometry.bytesPerSector;
    if (freeClusters != nullptr) *freeClusters = Clamp32(space.free / clusterBytes);
    if (totalClusters != nullptr) *totalClusters = Clamp32(space.total / clusterBytes);
    return TRUE;
}
