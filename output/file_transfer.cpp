// Moving a finished page file to its destination, and the size tests that
// come before a page is committed.
#include <new>
#include <string>

#include "output/file_handle.h"
#include "output/volume_root.h"

namespace {

// Size of the file at `path`, or UINT64_MAX when it cannot be opened or
// measured.
uint64_t SizeOfFile(const char* path, PluginStatus& openStatus) {
    FileHandle file;
    openStatus = file.OpenForRead(path);
    if (openStatus != StatusOk) return UINT64_MAX;
    uint64_t size = file.Size64();
    file.Close();
    return size;
}

// Flushes a file to the disk before it is renamed into place, so that the
// destination never names a file whose contents are still in the cache.
bool MakeDurable(const char* path) {
    FileHandle file;
    if (file.OpenForUpdate(path) != StatusOk) return false;
    bool flushed = file.Flush() == StatusOk;
    return file.Close() == StatusOk && flushed;
}

// An existing destination is replaced keeping its permissions and owner (the
// user chose them, not the plug-in); a new one is the staged file renamed.
bool MoveIntoPlace(const char* staged, const char* destination) {
    if (ReplaceFileA(destination, staged, nullptr, REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr)) return true;
    return GetLastError() == ERROR_FILE_NOT_FOUND &&
           MoveFileExA(staged, destination, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
}

// Copies `source` over `destination` so that the destination is either the
// old file or the complete new one: the copy goes to a fresh name beside the
// destination, on the same volume, and is then renamed over it.
PluginStatus ReplaceWithCopy(const char* source, const char* destination) {
    std::string directory = DirectoryOf(destination);
    char staged[MAX_PATH] = {};
    if (GetTempFileNameA(directory.c_str(), "~TF", 0, staged) == 0) return StatusCreateFailed;
    bool replaced = CopyFileA(source, staged, FALSE) && MakeDurable(staged) && MoveIntoPlace(staged, destination);
    if (!replaced) {
        FileHandle::RemoveFile(staged);
        return StatusCreateFailed;
    }
    return StatusOk;
}

PluginStatus CopyIfRoom(const char* source, const char* destination) {
    PluginStatus openStatus = StatusOk;
    uint64_t size = SizeOfFile(source, openStatus);
    if (openStatus != StatusOk) return openStatus;
    if (size > kLargestFileSize) return StatusWriteFailed;
    if (!RoomOrUnknown(FreeSpace(destination), size)) return StatusDiskFull;
    if (destination == nullptr) return StatusCreateFailed;
    return ReplaceWithCopy(source, destination);
}

}  // namespace

// The source, the page's temporary file, is gone after every outcome.
PluginStatus FileHandle::MoveToDestination(const char* sourcePath, const char* destinationPath) {
    PluginStatus status = StatusCreateFailed;
    try {
        status = CopyIfRoom(sourcePath, destinationPath);
    } catch (const std::bad_alloc&) {
        status = StatusNoMemory;
    }
    RemoveFile(sourcePath);
    return status;
}

bool FileHandle::HasRoomFor(const char* destinationPath, const char* sourcePath) {
    PluginStatus openStatus = StatusOk;
    uint64_t size = SizeOfFile(sourcePath, openStatus);
    if (openStatus != StatusOk || size == UINT64_MAX) return false;
    return RoomOrUnknown(FreeSpace(destinationPath), size);
}

// Refuses a pair of files whose sum would not fit 32-bit offsets. A file
// that cannot be measured is refused as too big.
PluginStatus FileHandle::CheckCombinedSize(const char* firstPath, const char* secondPath) {
    PluginStatus openStatus = StatusOk;
    uint64_t first = SizeOfFile(firstPath, openStatus);
    if (openStatus != StatusOk) return openStatus;
    uint64_t second = SizeOfFile(secondPath, openStatus);
    if (openStatus != StatusOk) return openStatus;
    if (first > kLargestFileSize || second > kLargestFileSize || first + second > kLargestFileSize) {
        return StatusWriteFailed;
    }
    return StatusOk;
}
