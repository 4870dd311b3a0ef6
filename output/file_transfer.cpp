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

// An existing destination is replaced keeping its permissions and owner (the
// user chose them, not the plug-in); a new one is the staged file renamed.
bool MoveIntoPlace(const char* staged, const char* destination) {
    if (ReplaceFileA(destination, staged, nullptr, REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr)) return true;
    return GetLastError() == ERROR_FILE_NOT_FOUND &&
           MoveFileExA(staged, destination, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
}

// Copies `source` over `destination` so that the destination is either the
// old file or the complete new one: the copy goes to a fresh file of the
// plug-in's own beside the destination, on the same volume, is flushed to
// the disk and then renamed over it, once it has proved to be still that
// file. The staged copy is recorded while it exists. A failed copy keeps
// its own status; a failed flush, close or rename is StatusCreateFailed.
PluginStatus ReplaceWithCopy(FileHandle& source, const char* destination, CreationRecord& record) {
    std::string directory = DirectoryOf(destination);
    char staged[MAX_PATH] = {};
    FileIdentity identity;
    FileHandle copy;
    PluginStatus status = copy.CreateUnique(directory.c_str(), "~TF", false, record, staged, &identity);
    if (status != StatusOk) return status;
    status = copy.AppendFrom(source, destination, true);  // room for it all was found before
    bool copied = status == StatusOk && copy.Flush() == StatusOk;
    bool closed = copy.Close() == StatusOk;
    // Renamed into place only as the file made: the name may have been
    // swapped meanwhile.
    bool replaced = copied && closed && copy.OpenOwned(staged, identity, false) == StatusOk &&
                    copy.Close() == StatusOk && MoveIntoPlace(staged, destination);
    if (!replaced) {
        copy.CloseForDeletion();
        FileHandle::RemoveOwned(staged, identity);
    }
    record.Gone();
    if (replaced) return StatusOk;
    return status != StatusOk ? status : PluginStatus{StatusCreateFailed};
}

PluginStatus CopyIfRoom(FileHandle& source, const char* destination, CreationRecord& record, bool roomChecked) {
    uint64_t size = source.Size64();
    if (size == UINT64_MAX) return StatusReadFailed;
    if (size > kLargestFileSize) return StatusWriteFailed;
    if (!roomChecked && !RoomOrUnknown(FreeSpace(destination), size)) return StatusDiskFull;
    if (destination == nullptr) return StatusCreateFailed;
    return ReplaceWithCopy(source, destination, record);
}

// Records nothing: for a copy whose staged file no later job looks for.
class NoRecord : public CreationRecord {
public:
    bool Named(const char*) override { return true; }
    bool Made(const FileIdentity&) override { return true; }
    void Gone() override {}
};

}  // namespace

// The source is gone after every outcome.
PluginStatus FileHandle::MoveToDestination(const char* sourcePath, const char* destinationPath) {
    PluginStatus status = StatusOpenFailed;
    {
        FileHandle source;
        NoRecord record;
        if (source.OpenForRead(sourcePath) == StatusOk) status = CopyToDestination(source, destinationPath, record);
    }
    RemoveFile(sourcePath);
    return status;
}

PluginStatus FileHandle::CopyToDestination(FileHandle& source, const char* destinationPath, CreationRecord& record,
                                           bool roomChecked) {
    try {
        return CopyIfRoom(source, destinationPath, record, roomChecked);
    } catch (const std::bad_alloc&) {
        return StatusNoMemory;
    }
}

// Refuses a pair of files whose sum would pass `largest`. A file that
// cannot be measured is refused as too big.
PluginStatus FileHandle::CheckCombinedSize(const char* firstPath, const char* secondPath, uint64_t largest) {
    PluginStatus openStatus = StatusOk;
    uint64_t first = SizeOfFile(firstPath, openStatus);
    return openStatus != StatusOk ? openStatus : CheckCombinedSize(first, secondPath, largest);
}

PluginStatus FileHandle::CheckCombinedSize(uint64_t first, const char* secondPath, uint64_t largest) {
    PluginStatus openStatus = StatusOk;
    uint64_t second = SizeOfFile(secondPath, openStatus);
    return openStatus != StatusOk ? openStatus : CheckCombinedSize(first, second, largest);
}

PluginStatus FileHandle::CheckCombinedSize(uint64_t first, uint64_t second, uint64_t largest) {
    if (first > largest || second > largest || first + second > largest) {
        return StatusWriteFailed;
    }
    return StatusOk;
}
