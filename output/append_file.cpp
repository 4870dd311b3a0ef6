// Appending a whole file onto the open destination, in chunks, with a free-
// space test before each chunk, so that a full disk is caught before a chunk
// is written. A failure leaves the destination as it was before the append.
#include "output/file_handle.h"
#include "output/global_block.h"

namespace {

// One chunk: 65,535 bytes, the most one copy pass moves.
constexpr uint32_t kChunkBytes = 0xFFFF;

}  // namespace

PluginStatus FileHandle::AppendFile(const char* sourcePath, const char* destinationPath) {
    FileHandle source;
    if (source.OpenForUpdate(sourcePath) != StatusOk) return StatusOpenFailed;
    uint64_t remaining = source.Size64();
    if (remaining == UINT64_MAX) return StatusReadFailed;

    uint64_t originalSize = Size64();
    if (originalSize == UINT64_MAX || remaining > kLargestFileSize - originalSize) {
        return StatusWriteFailed;
    }
    uint8_t* buffer = AllocateBlock(kChunkBytes);
    if (buffer == nullptr) return StatusDiskFull;

    int32_t high = 0;
    PluginStatus status = Seek(0, &high, FILE_END);
    while (status == StatusOk && remaining > 0) {
        uint32_t chunk = remaining > kChunkBytes ? kChunkBytes : static_cast<uint32_t>(remaining);
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
    // Closed here and, should that fail, once more by the destructor: a
    // handle left open would keep the page file from being deleted.
    source.Close();
    return status;
}
