// Free bytes on the volume of a path, and the room tests built on it.
//
// The extended query is looked up by name at every call, so that the plug-in
// runs on systems without it; there the cluster geometry gives the answer.
#include <new>
#include <string>

#include "output/file_handle.h"
#include "output/volume_root.h"

namespace {

typedef BOOL(WINAPI* ExtendedFreeSpaceQuery)(LPCSTR, PULARGE_INTEGER, PULARGE_INTEGER, PULARGE_INTEGER);

ExtendedFreeSpaceQuery FindExtendedQuery() {
    HMODULE kernel = GetModuleHandleA("KERNEL32.DLL");
    if (kernel == nullptr) return nullptr;
    FARPROC procedure = GetProcAddress(kernel, "GetDiskFreeSpaceExA");
    // Through the generic function type, which converts to any other.
    return reinterpret_cast<ExtendedFreeSpaceQuery>(reinterpret_cast<void (*)()>(procedure));
}

uint64_t QueryFreeSpace(const char* root) {
    if (ExtendedFreeSpaceQuery query = FindExtendedQuery()) {
        ULARGE_INTEGER available{}, total{}, totalFree{};
        if (!query(root, &available, &total, &totalFree)) return kFreeSpaceUnknown;
        return totalFree.QuadPart;
    }
    DWORD sectorsPerCluster = 0, bytesPerSector = 0, freeClusters = 0, totalClusters = 0;
    if (!GetDiskFreeSpaceA(root, &sectorsPerCluster, &bytesPerSector, &freeClusters, &totalClusters)) {
        return kFreeSpaceUnknown;
    }
    return static_cast<uint64_t>(sectorsPerCluster) * bytesPerSector * freeClusters;
}

}  // namespace

uint64_t FreeSpace(const char* path) {
    try {
        std::string root;
        if (!VolumeRoot(path, root)) return kFreeSpaceUnknown;
        return QueryFreeSpace(root.c_str());
    } catch (const std::bad_alloc&) {
        return kFreeSpaceUnknown;
    }
}

bool RoomOrUnknown(uint64_t freeSpace, uint64_t needed) {
    if (freeSpace == kFreeSpaceUnknown) return true;
    return static_cast<int64_t>(freeSpace) >= 0 && freeSpace >= needed;
}
