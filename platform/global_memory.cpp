// Global memory blocks: GlobalAlloc, GlobalLock, GlobalUnlock, GlobalHandle,
// GlobalFree.
//
// A block is a header followed by its data; the handle is the header and the
// locked address is the data, so GlobalHandle finds the header just before
// an address. Live blocks are kept in a list: a stale or foreign handle or
// address is refused with ERROR_INVALID_HANDLE rather than followed.
#include <cstdint>
#include <cstdlib>
#include <new>

#include "platform/fault_hooks.h"
#include "platform/last_error.h"
#include "platform/live_list.h"

namespace {

struct alignas(16) BlockHeader : platform::LiveLinks<BlockHeader> {
    BlockHeader(size_t size, bool isFixed) : bytes(size), fixed(isFixed) {}
    size_t bytes;
    unsigned lockCount = 0;
    bool fixed;
};

// A 32-bit process cannot hold a larger block; refusing it here keeps huge
// requests a clean failure instead of an exhausted machine.
constexpr size_t kLargestBlock = 0x7FFFFFFF;

platform::LiveList<BlockHeader> liveBlocks;
static_assert(std::is_trivially_destructible_v<platform::LiveList<BlockHeader>>);

void* DataOf(BlockHeader* header) { return header + 1; }

bool IsLive(const BlockHeader* header) { return liveBlocks.Contains(header); }

// The header that would precede `data`; compared with live headers only, so
// computing it for a foreign address is harmless.
const BlockHeader* HeaderBefore(const void* data) {
    return reinterpret_cast<const BlockHeader*>(reinterpret_cast<uintptr_t>(data) - sizeof(BlockHeader));
}

// The header of a handle: a moveable block's handle is its header; a fixed
// block's handle is its data address, as on Windows.
BlockHeader* HeaderOfHandle(HGLOBAL handle) {
    if (handle != nullptr) {
        auto* asHeader = static_cast<BlockHeader*>(handle);
        if (IsLive(asHeader) && !asHeader->fixed) return asHeader;
        const BlockHeader* beforeData = HeaderBefore(handle);
        if (IsLive(beforeData) && beforeData->fixed) return const_cast<BlockHeader*>(beforeData);
    }
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
}

HGLOBAL HandleOf(BlockHeader* header) { return header->fixed ? DataOf(header) : header; }

}  // namespace

HGLOBAL GlobalAlloc(UINT flags, size_t bytes) {
    if (platform::hooks::ShouldFail(platform::hooks::Service::Alloc) || bytes > kLargestBlock) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    size_t total = sizeof(BlockHeader) + bytes;
    void* memory = (flags & GMEM_ZEROINIT) ? calloc(1, total) : malloc(total);
    if (memory == nullptr) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    auto* header = new (memory) BlockHeader(bytes, (flags & GMEM_MOVEABLE) == 0);
    liveBlocks.Add(header);
    return HandleOf(header);
}

LPVOID GlobalLock(HGLOBAL block) {
    BlockHeader* header = HeaderOfHandle(block);
    if (header == nullptr) return nullptr;
    if (platform::hooks::ShouldFail(platform::hooks::Service::Alloc)) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    if (!header->fixed) ++header->lockCount;
    return DataOf(header);
}

BOOL GlobalUnlock(HGLOBAL block) {
    BlockHeader* header = HeaderOfHandle(block);
    if (header == nullptr) return FALSE;
    if (header->fixed || header->lockCount == 0) return platform::FailWith(ERROR_NOT_LOCKED);
    // TRUE while other locks remain; FALSE with no error once unlocked.
    if (--header->lockCount > 0) return TRUE;
    SetLastError(ERROR_SUCCESS);
    return FALSE;
}

HGLOBAL GlobalHandle(LPCVOID lockedAddress) {
    if (lockedAddress == nullptr) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    const BlockHeader* header = HeaderBefore(lockedAddress);
    if (!IsLive(header)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    return HandleOf(const_cast<BlockHeader*>(header));
}

HGLOBAL GlobalFree(HGLOBAL block) {
    BlockHeader* header = HeaderOfHandle(block);
    if (header == nullptr) return block;  // Windows: the handle back on failure
    if (!liveBlocks.Remove(header)) return block;
    header->~BlockHeader();
    free(header);
    return nullptr;
}
