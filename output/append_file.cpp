// Appending a whole file onto the open destination, in chunks, with a free-
// space test before each chunk is written, so that a full disk is caught
// before a chunk lands (the first chunk's test is spared when the caller
// has just found room for the whole). A failure leaves the destination as
// it was before the append.
//
// The chunk loop is the same on both platforms. On Windows each chunk goes
// through a global-memory buffer (ReadFile, then WriteFile); on Linux the
// kernel moves it from file to file (CopyFileBytes), which the test
// controls count and fail as that same read and write.
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

PluginStatus FileHandle::AppendFrom(FileHandle& source, const char* destinationPath, bool roomChecked,
                                    uint64_t largest) {
    uint64_t remaining = source.Size64();
    if (remaining == UINT64_MAX) return StatusReadFailed;
    PluginStatus status = source.Seek(0, nullptr, FILE_BEGIN);
    if (status != StatusOk) return status;

    uint64_t originalSize = Size64();
    if (originalSize == UINT64_MAX || originalSize > largest || remaining > largest - originalSize) {
        return StatusWriteFailed;
    }
    return AppendChunks(source, remaining, originalSize, destinationPath, roomChecked);
}

namespace {

// The buffer a chunk passes through on Windows; the kernel copy of Linux
// needs none.
class ChunkBuffer {
public:
#ifdef _WIN32
    ChunkBuffer() : bytes_(AllocateBlock(kChunkBytes)) {}
    ~ChunkBuffer() { ReleaseBlock(bytes_); }
    bool Ready() const { return bytes_ != nullptr; }
#else
    ChunkBuffer() = default;
    bool Ready() const { return true; }
#endif
    ChunkBuffer(const ChunkBuffer&) = delete;
    ChunkBuffer& operator=(const ChunkBuffer&) = delete;
    uint8_t* get() const { return bytes_; }

private:
    uint8_t* bytes_ = nullptr;
};

}  // namespace

PluginStatus FileHandle::CopyChunkFrom(FileHandle& source, uint32_t chunk, uint8_t* buffer) {
#ifdef _WIN32
    PluginStatus status = source.Read(chunk, buffer);
    return status == StatusOk ? Write(chunk, buffer) : status;
#else
    (void)buffer;
    DWORD copied = 0;
    if (!CopyFileBytes(source.handle_, handle_, chunk, &copied))
        return GetLastError() == ERROR_READ_FAULT ? StatusReadFailed : StatusWriteFailed;
    // A source that ends early is a short read, as ReadFile would report it.
    return copied == chunk ? StatusOk : StatusReadFailed;
#endif
}

// The same loop on both platforms; only the copy of one chunk differs.
PluginStatus FileHandle::AppendChunks(FileHandle& source, uint64_t remaining, uint64_t originalSize,
                                      const char* destinationPath, bool roomChecked) {
    ChunkBuffer buffer;
    if (!buffer.Ready()) return StatusDiskFull;
    PluginStatus status = SeekToEnd();
    for (bool first = true; status == StatusOk && remaining > 0; first = false) {
        uint32_t chunk = NextChunk(remaining);
        const bool room = (first && roomChecked) || RoomOrUnknown(FreeSpace(destinationPath), chunk);
        status = room ? CopyChunkFrom(source, chunk, buffer.get()) : PluginStatus{StatusDiskFull};
        remaining -= chunk;
    }
    // Whatever part of the source landed is cut off again: a half-appended
    // page would be unreadable data at the end of a file that is still valid.
    if (status != StatusOk) Truncate(originalSize);
    return status;
}
