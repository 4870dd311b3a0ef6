// Appending a whole file onto the open destination, in chunks, with a free-
// space test before each chunk is written, so that a full disk is caught
// before a chunk lands. A failure leaves the destination as it was before
// the append.
//
// On Windows each chunk goes through a global-memory buffer (ReadFile, then
// WriteFile). On Linux the kernel moves each chunk from file to file
// (CopyFileBytes), which the test controls count and fail as that same read
// and write.
#include "memory/global_block.h"
#include "output/file_handle.h"

namespace {

// One chunk: 65,535 bytes, the most one copy pass moves.
constexpr uint32_t kChunkBytes = 0xFFFF;

uint32_t NextChunk(uint64_t remaining) {
    return remaining > kChunkBytes ? kChunkBytes : static_cast<uint32_t>(remaining);
}

}  // namespace

PluginStatus FileHandle::AppendFile(const char* sourcePath, const char* destinationPath) {
    FileHandle source;
    if (source.OpenForUpdate(sourcePath) != StatusOk) return StatusOpenFailed;
    PluginStatus status = AppendFrom(source, destinationPath);
    // Closed here and, should that fail, once more by the destructor: a
    // handle left open would keep the page file from being deleted.
    source.Close();
    return status;
}

PluginStatus FileHandle::AppendFrom(FileHandle& source, const char* destinationPath) {
    uint64_t remaining = source.Size64();
    if (remaining == UINT64_MAX) return StatusReadFailed;
    PluginStatus status = source.Seek(0, nullptr, FILE_BEGIN);
    if (status != StatusOk) return status;

    uint64_t originalSize = Size64();
    if (originalSize == UINT64_MAX || remaining > kLargestFileSize - originalSize) {
        return StatusWriteFailed;
    }
    return AppendChunks(source, remaining, originalSize, destinationPath);
}

#ifdef _WIN32

PluginStatus FileHandle::AppendChunks(FileHandle& source, uint64_t remaining, uint64_t originalSize,
                                      const char* destinationPath) {
    uint8_t* buffer = AllocateBlock(kChunkBytes);
    if (buffer == nullptr) return StatusDiskFull;

    PluginStatus status = SeekToEnd();
    while (status == StatusOk && remaining > 0) {
        uint32_t chunk = NextChunk(remaining);
        status = source.Read(chunk, buffer);
        if (status == StatusOk && !RoomOrUnknown(FreeSpace(destinationPath), chunk)) {
            status = StatusDiskFull;
        }
        if (status == StatusOk) status = Write(chunk, buffer);
        remaining -= chunk;
    }
    // Whatever part of the source landed is cut off again: a half-appended
    // page would be unreadable data at the end of a file that is still valid.
    if (status != StatusOk) Truncate(originalSize);

    ReleaseBlock(buffer);
    return status;
}

#else

namespace {

// A source that ends early is a short read, as ReadFile would report it.
PluginStatus CopyStatus(BOOL succeeded, DWORD copied, uint32_t chunk) {
    if (!succeeded) return GetLastError() == ERROR_READ_FAULT ? StatusReadFailed : StatusWriteFailed;
    return copied == chunk ? StatusOk : StatusReadFailed;
}

}  // namespace

PluginStatus FileHandle::AppendChunks(FileHandle& source, uint64_t remaining, uint64_t originalSize,
                                      const char* destinationPath) {
    PluginStatus status = SeekToEnd();
    while (status == StatusOk && remaining > 0) {
        uint32_t chunk = NextChunk(remaining);
        if (!RoomOrUnknown(FreeSpace(destinationPath), chunk)) {
            status = StatusDiskFull;
        } else {
            DWORD copied = 0;
            BOOL succeeded = CopyFileBytes(source.handle_, handle_, chunk, &copied);
            status = CopyStatus(succeeded, copied, chunk);
        }
        remaining -= chunk;
    }
    // Whatever part of the source landed is cut off again: a half-appended
    // page would be unreadable data at the end of a file that is still valid.
    if (status != StatusOk) Truncate(originalSize);
    return status;
}

#endif
