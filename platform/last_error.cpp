// GetLastError / SetLastError: one value per thread, as on Windows.
#include "platform/last_error.h"

#include <cerrno>

namespace {

thread_local DWORD lastError = ERROR_SUCCESS;

}  // namespace

DWORD GetLastError() { return lastError; }

void SetLastError(DWORD error) { lastError = error; }

namespace platform {

DWORD WindowsErrorFromErrno(int error) {
    switch (error) {
        case 0: return ERROR_SUCCESS;
        case ENOENT: return ERROR_FILE_NOT_FOUND;
        case ENOTDIR: return ERROR_PATH_NOT_FOUND;
        case EACCES:
        case EPERM:
        case EISDIR:
        case EROFS:
        case ETXTBSY: return ERROR_ACCESS_DENIED;
        case EEXIST: return ERROR_FILE_EXISTS;
        case ENOSPC:
        case EDQUOT:
        case EFBIG: return ERROR_DISK_FULL;
        case ENAMETOOLONG: return ERROR_FILENAME_EXCED_RANGE;
        case EBADF: return ERROR_INVALID_HANDLE;
        case ENOMEM: return ERROR_NOT_ENOUGH_MEMORY;
        case EMFILE:
        case ENFILE: return ERROR_TOO_MANY_OPEN_FILES;
        case EINVAL: return ERROR_INVALID_PARAMETER;
        case EWOULDBLOCK: return ERROR_SHARING_VIOLATION;
        default: return ERROR_WRITE_FAULT;
    }
}

BOOL FailWithErrno(int error) { return FailWith(WindowsErrorFromErrno(error)); }

BOOL FailWith(DWORD error) {
    SetLastError(error);
    return FALSE;
}

}  // namespace platform
