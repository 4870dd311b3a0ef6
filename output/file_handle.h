// The owner of one open file and the file primitives of the plug-in.
//
// Every primitive turns its failure into one fixed status. Files are opened
// shared for reading only: other processes may read, never write or delete,
// while the plug-in holds them.
#pragma once

#include <cstdint>

#include "base/status.h"
#include "output/file_identity.h"
#include "platform/win32.h"

// Where the name and then the identity of a file the plug-in creates are
// recorded while the file exists (the job's registry key), so that a job
// killed meanwhile leaves a file that the next one can prove its own.
class CreationRecord {
public:
    virtual ~CreationRecord() = default;
    // Before the file is made; false: the name could not be recorded.
    virtual bool Named(const char* path) = 0;
    // Once it is made; false: the identity could not be recorded.
    virtual bool Made(const FileIdentity& identity) = 0;
    // The file is gone (renamed into place or deleted).
    virtual void Gone() = 0;
};

// Largest size a classic TIFF file may reach: every offset in it must fit 32
// bits, and 0xFFFFFFFF itself is refused. A BigTIFF file's callers name
// their own.
inline constexpr uint64_t kLargestFileSize = 0xFFFFFFFEu;

class FileHandle {
public:
    FileHandle() = default;
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;
    virtual ~FileHandle();

    // Primitives on the held handle.
    PluginStatus CreateForWrite(const char* path);  // StatusCreateFailed
    PluginStatus OpenForUpdate(const char* path);   // StatusOpenFailed
    PluginStatus OpenForRead(const char* path);     // StatusOpenFailed
    // Files the plug-in creates itself and opens again only when they prove
    // to be those very files; see owned_file.cpp.
    //
    // A new file where no name was (never through a link), with its identity;
    // `temporary`: a page file, private to the user. StatusCreateFailed, with
    // ERROR_FILE_EXISTS when the name was taken.
    PluginStatus CreateNew(const char* path, bool temporary, FileIdentity* identity);
    // CreateNew on a fresh "<directory><prefix>XXXX.TMP" name, recorded in
    // `record` before the file is made and with its identity once it is.
    // StatusCreateFailed; StatusStateUnavailable when the record failed (no
    // file is then left behind unrecorded).
    PluginStatus CreateUnique(const char* directory, const char* prefix, bool temporary, CreationRecord& record,
                              char (&path)[260], FileIdentity* identity);
    // Opens the file created as `identity`, never through a link: it must be
    // a regular file with one link and that identity, else StatusOpenFailed
    // and nothing is read or written.
    PluginStatus OpenOwned(const char* path, const FileIdentity& identity, bool forUpdate);
    PluginStatus Write(uint32_t count, const void* buffer);                       // StatusWriteFailed
    PluginStatus Seek(int32_t distance, int32_t* distanceHigh, uint32_t method);  // StatusSeekFailed
    uint32_t Size();                                                              // low 32 bits; 0xFFFFFFFF on failure
    uint64_t Size64();                                                            // UINT64_MAX on failure
    PluginStatus Read(uint32_t count, void* buffer);  // StatusReadFailed unless all bytes came
    // Seek from the start, then Read or Write: the first failing step's status.
    PluginStatus ReadAt(uint64_t position, uint32_t count, void* buffer);
    PluginStatus WriteAt(uint64_t position, uint32_t count, const void* buffer);
    PluginStatus SeekToEnd();  // StatusSeekFailed
    PluginStatus Flush();      // StatusWriteFailed
    // Cuts the file to `size` bytes and leaves the position there.
    PluginStatus Truncate(uint64_t size);  // StatusSeekFailed, StatusWriteFailed
    PluginStatus Close();                  // StatusCloseFailed, handle kept
    // The held file's identity (volume and file index), the same for every
    // name and handle of the file; false when it cannot be told.
    bool Identity(FileIdentity* identity) const;
    // Closes, trying once more when the close fails: a handle kept open
    // would keep the file from being deleted.
    void CloseForDeletion();
    bool IsOpen() const { return handle_ != nullptr && handle_ != INVALID_HANDLE_VALUE; }
    // Takes over the file `other` holds (closing its own first); `other` is
    // left holding none.
    void TakeOver(FileHandle& other);

    // Compound operation through the held handle (the open destination):
    // appends the whole source in 65,535-byte chunks with a free-space test
    // before each (the first spared where the caller has just checked the
    // whole; on Linux the kernel copies each chunk); on any failure the
    // destination is cut back to its old size.
    PluginStatus AppendFile(const char* sourcePath, const char* destinationPath);
    // The same from an open source, read from its start to its end. With
    // `roomChecked` the caller has just found room for the whole source, and
    // the first chunk is not asked about again. StatusWriteFailed when the
    // file would pass `largest`.
    PluginStatus AppendFrom(FileHandle& source, const char* destinationPath, bool roomChecked = false,
                            uint64_t largest = kLargestFileSize);

    // Operations on paths; they open and close what they need themselves.
    static PluginStatus RemoveFile(const char* path);  // StatusDeleteFailed
    // Deletes the file only when it proves to be the one created as
    // `identity` (see OpenOwned); StatusDeleteFailed otherwise.
    static PluginStatus RemoveOwned(const char* path, const FileIdentity& identity);
    // Replaces the destination with a complete copy of the source, or leaves
    // it as it was; the source is deleted in every case.
    static PluginStatus MoveToDestination(const char* sourcePath, const char* destinationPath);
    // The same from a source just opened, which is left as it is; the staged copy
    // beside the destination is recorded in `record` while it exists.
    // `roomChecked`: the caller has just found room for the whole source.
    static PluginStatus CopyToDestination(FileHandle& source, const char* destinationPath, CreationRecord& record,
                                          bool roomChecked = false);
    // StatusWriteFailed when the two files together pass `largest`
    // (kLargestFileSize for a classic TIFF file).
    static PluginStatus CheckCombinedSize(const char* firstPath, const char* secondPath,
                                          uint64_t largest = kLargestFileSize);
    // The same for a first file of `firstSize` bytes.
    static PluginStatus CheckCombinedSize(uint64_t firstSize, const char* secondPath,
                                          uint64_t largest = kLargestFileSize);
    // The same for two sizes already measured.
    static PluginStatus CheckCombinedSize(uint64_t firstSize, uint64_t secondSize, uint64_t largest = kLargestFileSize);

private:
    PluginStatus OpenOwnedWith(const char* path, const FileIdentity& identity, DWORD access, DWORD share);
    // Closes and deletes the file just made at `path`.
    void DiscardNew(const char* path);
    // The chunk loop of AppendFile, from the end of the held file on; cuts
    // the file back to `originalSize` when a chunk fails.
    PluginStatus AppendChunks(FileHandle& source, uint64_t remaining, uint64_t originalSize,
                              const char* destinationPath, bool roomChecked);
    // One chunk from the source's position to this file's: through `buffer`
    // (ReadFile, WriteFile) on Windows, by the kernel on Linux.
    PluginStatus CopyChunkFrom(FileHandle& source, uint32_t chunk, uint8_t* buffer);

    HANDLE handle_ = nullptr;
};

// Free bytes on the volume that holds `path`; kFreeSpaceUnknown when that
// cannot be determined.
inline constexpr uint64_t kFreeSpaceUnknown = UINT64_MAX;
uint64_t FreeSpace(const char* path);

// The room test before every write that may fill a volume: free space, read
// as signed, at least `needed`, or free space unknown (a share that does not
// report it), in which case the write's own failure is what tells a full
// volume.
bool RoomOrUnknown(uint64_t freeSpace, uint64_t needed);
