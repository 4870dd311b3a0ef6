// The file primitives: thin wrappers over the Windows file calls, each
// turning its failure into one fixed status.
#include "output/file_handle.h"

#include <cstdio>

namespace {

// Every file is shared for reading only, with normal attributes.
HANDLE OpenFile(const char* path, DWORD access, DWORD disposition) {
    if (path == nullptr) return INVALID_HANDLE_VALUE;
    return CreateFileA(path, access, FILE_SHARE_READ, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
}

}  // namespace

FileHandle::~FileHandle() {
    if (IsOpen()) CloseHandle(handle_);
    handle_ = nullptr;
}

void FileHandle::TakeOver(FileHandle& other) {
    if (&other == this) return;
    if (IsOpen()) Close();
    handle_ = other.handle_;
    other.handle_ = nullptr;
}

PluginStatus FileHandle::CreateForWrite(const char* path) {
    if (IsOpen()) Close();
    HANDLE handle = OpenFile(path, GENERIC_WRITE, CREATE_ALWAYS);
    if (handle == INVALID_HANDLE_VALUE) {
        handle_ = nullptr;
        return StatusCreateFailed;
    }
    handle_ = handle;
    return StatusOk;
}

PluginStatus FileHandle::OpenForUpdate(const char* path) {
    if (IsOpen()) Close();
    HANDLE handle = OpenFile(path, GENERIC_READ | GENERIC_WRITE, OPEN_EXISTING);
    if (handle == INVALID_HANDLE_VALUE) {
        handle_ = nullptr;
        return StatusOpenFailed;
    }
    handle_ = handle;
    return StatusOk;
}

PluginStatus FileHandle::OpenForRead(const char* path) {
    if (IsOpen()) Close();
    HANDLE handle = OpenFile(path, GENERIC_READ, OPEN_EXISTING);
    if (handle == INVALID_HANDLE_VALUE) {
        handle_ = nullptr;
        return StatusOpenFailed;
    }
    handle_ = handle;
    return StatusOk;
}

// A short write is a failure too: the bytes that did not land are lost.
PluginStatus FileHandle::Write(uint32_t count, const void* buffer) {
    if (!IsOpen() || (buffer == nullptr && count != 0)) return StatusWriteFailed;
    DWORD written = 0;
    if (!WriteFile(handle_, buffer, count, &written, nullptr) || written != count) {
        return StatusWriteFailed;
    }
    return StatusOk;
}

PluginStatus FileHandle::Read(uint32_t count, void* buffer) {
    if (!IsOpen() || (buffer == nullptr && count != 0)) return StatusReadFailed;
    DWORD read = 0;
    if (!ReadFile(handle_, buffer, count, &read, nullptr) || read != count) return StatusReadFailed;
    return StatusOk;
}

// Without a high part, a low part of 0xFFFFFFFF is always a failure; with
// one, it may be a real position, and the last error tells them apart.
PluginStatus FileHandle::Seek(int32_t distance, int32_t* distanceHigh, uint32_t method) {
    if (!IsOpen()) return StatusSeekFailed;
    LONG high = distanceHigh != nullptr ? *distanceHigh : 0;
    SetLastError(NO_ERROR);
    DWORD low = SetFilePointer(handle_, distance, distanceHigh != nullptr ? &high : nullptr, method);
    if (low == INVALID_SET_FILE_POINTER && (distanceHigh == nullptr || GetLastError() != NO_ERROR)) {
        return StatusSeekFailed;
    }
    if (distanceHigh != nullptr) *distanceHigh = high;
    return StatusOk;
}

uint32_t FileHandle::Size() {
    if (!IsOpen()) return INVALID_FILE_SIZE;
    return GetFileSize(handle_, nullptr);
}

uint64_t FileHandle::Size64() {
    if (!IsOpen()) return UINT64_MAX;
    DWORD high = 0;
    SetLastError(NO_ERROR);
    DWORD low = GetFileSize(handle_, &high);
    if (low == INVALID_FILE_SIZE && GetLastError() != NO_ERROR) return UINT64_MAX;
    return (static_cast<uint64_t>(high) << 32) | low;
}

PluginStatus FileHandle::Flush() {
    if (!IsOpen() || !FlushFileBuffers(handle_)) return StatusWriteFailed;
    return StatusOk;
}

PluginStatus FileHandle::Truncate(uint64_t size) {
    if (size > INT64_MAX) return StatusSeekFailed;
    int32_t high = static_cast<int32_t>(size >> 32);
    PluginStatus status = Seek(static_cast<int32_t>(static_cast<uint32_t>(size)), &high, FILE_BEGIN);
    if (status != StatusOk) return status;
    if (!SetEndOfFile(handle_)) return StatusWriteFailed;
    return StatusOk;
}

PluginStatus FileHandle::Close() {
    if (!IsOpen() || !CloseHandle(handle_)) return StatusCloseFailed;
    handle_ = nullptr;
    return StatusOk;
}

void FileHandle::CloseForDeletion() {
    if (IsOpen() && Close() != StatusOk) Close();
}

PluginStatus FileHandle::RemoveFile(const char* path) {
    if (path == nullptr || !DeleteFileA(path)) return StatusDeleteFailed;
    return StatusOk;
}

PluginStatus FileHandle::ReadAt(uint64_t position, uint32_t count, void* buffer) {
    int32_t high = static_cast<int32_t>(position >> 32);
    PluginStatus status = Seek(static_cast<int32_t>(position & 0xFFFFFFFFu), &high, FILE_BEGIN);
    return status != StatusOk ? status : Read(count, buffer);
}

PluginStatus FileHandle::WriteAt(uint64_t position, uint32_t count, const void* buffer) {
    int32_t high = static_cast<int32_t>(position >> 32);
    PluginStatus status = Seek(static_cast<int32_t>(position & 0xFFFFFFFFu), &high, FILE_BEGIN);
    return status != StatusOk ? status : Write(count, buffer);
}

PluginStatus FileHandle::SeekToEnd() {
    int32_t high = 0;
    return Seek(0, &high, FILE_END);
}
