#include "host/file_identity.h"

#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#else
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

#ifdef _WIN32
bool IdentityOfHandle(HANDLE handle, FileIdentity& identity) {
    BY_HANDLE_FILE_INFORMATION info{};
    if (handle == INVALID_HANDLE_VALUE || handle == nullptr || !GetFileInformationByHandle(handle, &info)) {
        return false;
    }
    identity.volume = info.dwVolumeSerialNumber;
    identity.file = (uint64_t{info.nFileIndexHigh} << 32) | info.nFileIndexLow;
    return true;
}
#else
FileIdentity IdentityOfStat(const struct stat& info) {
    FileIdentity identity;
    identity.volume = static_cast<uint64_t>(info.st_dev);
    identity.file = static_cast<uint64_t>(info.st_ino);
    return identity;
}
#endif

}  // namespace

bool IdentityOf(const std::string& path, FileIdentity& identity) {
#ifdef _WIN32
    // No access is asked for: the file's metadata alone, even of a file
    // another program holds open; directories need backup semantics.
    const HANDLE handle = CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                      OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    const bool known = IdentityOfHandle(handle, identity);
    if (handle != INVALID_HANDLE_VALUE) {
        CloseHandle(handle);
    }
    return known;
#else
    struct stat info {};
    if (stat(path.c_str(), &info) != 0) {
        return false;
    }
    identity = IdentityOfStat(info);
    return true;
#endif
}

bool IdentityOfStandardInput(FileIdentity& identity) {
#ifdef _WIN32
    return IdentityOfHandle(GetStdHandle(STD_INPUT_HANDLE), identity);
#else
    struct stat info {};
    if (fstat(STDIN_FILENO, &info) != 0) {
        return false;
    }
    identity = IdentityOfStat(info);
    return true;
#endif
}
