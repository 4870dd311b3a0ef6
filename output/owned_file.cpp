// Files the plug-in creates itself: made where no name was, and opened again
// (or deleted) only when they prove to be the very file made. No symbolic
// link or other reparse point is followed, and a file with a second link, or
// another identity than the one recorded at its creation, is refused: a
// name swapped between two commands never gets the plug-in's bytes, and
// never gives its own bytes to the output file.
#include <cstring>

#include "output/file_handle.h"

namespace {

constexpr DWORD kNotOrdinary = FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE | FILE_ATTRIBUTE_REPARSE_POINT;

bool IdentityOf(HANDLE handle, FileIdentity* identity, BY_HANDLE_FILE_INFORMATION* information) {
    if (!GetFileInformationByHandle(handle, information)) return false;
    identity->volume = information->dwVolumeSerialNumber;
    identity->indexHigh = information->nFileIndexHigh;
    identity->indexLow = information->nFileIndexLow;
    identity->known = true;
    return true;
}

// A regular file with no other name, and the one recorded.
bool IsTheFileMade(HANDLE handle, const FileIdentity& expected) {
    BY_HANDLE_FILE_INFORMATION information{};
    FileIdentity found;
    if (!IdentityOf(handle, &found, &information)) return false;
    return (information.dwFileAttributes & kNotOrdinary) == 0 && information.nNumberOfLinks == 1 && found == expected;
}

// The numbers of fresh names: they differ between processes, and within one
// they run on from call to call.
UINT NextUniqueNumber() {
    static UINT next = 0;
    if (next == 0) next = (GetCurrentProcessId() * 40503u) & 0xFFFFu;
    next = next % 0xFFFFu + 1;
    return next;
}

}  // namespace

bool FileHandle::Identity(FileIdentity* identity) const {
    BY_HANDLE_FILE_INFORMATION information{};
    return IsOpen() && IdentityOf(handle_, identity, &information);
}

PluginStatus FileHandle::CreateNew(const char* path, bool temporary, FileIdentity* identity) {
    if (IsOpen()) Close();
    if (path == nullptr) return StatusCreateFailed;
    const DWORD attributes =
        (temporary ? FILE_ATTRIBUTE_TEMPORARY : FILE_ATTRIBUTE_NORMAL) | FILE_FLAG_OPEN_REPARSE_POINT;
    HANDLE handle =
        CreateFileA(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_NEW, attributes, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        handle_ = nullptr;
        return StatusCreateFailed;
    }
    handle_ = handle;
    BY_HANDLE_FILE_INFORMATION information{};
    if (!IdentityOf(handle_, identity, &information)) {
        DiscardNew(path);
        return StatusCreateFailed;
    }
    return StatusOk;
}

PluginStatus FileHandle::CreateUnique(const char* directory, const char* prefix, bool temporary, CreationRecord& record,
                                      char (&path)[260], FileIdentity* identity) {
    // As many tries as there are names: a taken one is passed over.
    for (UINT attempt = 0; attempt < 0xFFFFu; ++attempt) {
        if (GetTempFileNameA(directory, prefix, NextUniqueNumber(), path) == 0) break;
        if (!record.Named(path)) return StatusStateUnavailable;
        PluginStatus status = CreateNew(path, temporary, identity);
        if (status == StatusOk) {
            if (record.Made(*identity)) return StatusOk;
            DiscardNew(path);
            record.Gone();
            return StatusStateUnavailable;
        }
        if (GetLastError() != ERROR_FILE_EXISTS && GetLastError() != ERROR_ALREADY_EXISTS) break;
    }
    record.Gone();
    path[0] = '\0';
    return StatusCreateFailed;
}

void FileHandle::DiscardNew(const char* path) {
    CloseForDeletion();
    DeleteFileA(path);
}

PluginStatus FileHandle::OpenOwned(const char* path, const FileIdentity& identity, bool forUpdate) {
    const DWORD access = forUpdate ? GENERIC_READ | GENERIC_WRITE : GENERIC_READ;
    return OpenOwnedWith(path, identity, access, FILE_SHARE_READ);
}

PluginStatus FileHandle::OpenOwnedWith(const char* path, const FileIdentity& identity, DWORD access, DWORD share) {
    if (IsOpen()) Close();
    if (path == nullptr || !identity.known) return StatusOpenFailed;
    HANDLE handle = CreateFileA(path, access, share, nullptr, OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        handle_ = nullptr;
        return StatusOpenFailed;
    }
    if (!IsTheFileMade(handle, identity)) {
        CloseHandle(handle);
        handle_ = nullptr;
        SetLastError(ERROR_ACCESS_DENIED);
        return StatusOpenFailed;
    }
    handle_ = handle;
    return StatusOk;
}

// The file is proved ours through a handle that asks for no access, so
// that it conflicts with no other opener (a file another handle holds is
// deleted once that lets go, where it shares deletion), and that is closed
// before the file is deleted; what could change in between is the name
// alone, and deleting a name loses no other file's bytes.
PluginStatus FileHandle::RemoveOwned(const char* path, const FileIdentity& identity) {
    FileHandle file;
    if (file.OpenOwnedWith(path, identity, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE) != StatusOk)
        return StatusDeleteFailed;
    file.CloseForDeletion();
    return RemoveFile(path);
}
