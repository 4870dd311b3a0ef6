#include "host/output_target.h"

#include <cctype>
#include <cerrno>
#include <cstring>

#include "host/output_path.h"

#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#else
#include <sys/stat.h>

#include <climits>
#include <cstdlib>
#endif

namespace {

constexpr size_t kMaxPathLength = 259;

bool TooLong(const std::string& given, const std::string& path, std::string& error) {
    if (path.size() <= kMaxPathLength) {
        return false;
    }
    error = "output path " + given + " is too long (at most 259 characters)";
    return true;
}

std::string FolderOf(const std::string& path, char separator) {
    const size_t slash = path.find_last_of(separator);
    return slash == 0 ? path.substr(0, 1) : path.substr(0, slash);
}

std::string MissingFolder(const std::string& folder) {
    return "the output folder " + folder + " does not exist; nothing was written";
}

#ifndef _WIN32
const char* KindOf(mode_t mode) {
    if (S_ISDIR(mode)) return "a folder";
    if (S_ISCHR(mode) || S_ISBLK(mode)) return "a device";
    if (S_ISFIFO(mode)) return "a FIFO";
    if (S_ISSOCK(mode)) return "a socket";
    return "not a regular file";
}

bool RealPath(const std::string& path, std::string& resolved) {
    char buffer[PATH_MAX];
    if (realpath(path.c_str(), buffer) == nullptr) {
        return false;
    }
    resolved = buffer;
    return true;
}

// A path that names no file yet: its folder must exist.
bool ResolveNewFile(const std::string& full, OutputTarget& target, std::string& error) {
    const std::string folder = FolderOf(full, '/');
    const std::string name = full.substr(full.find_last_of('/') + 1);
    std::string realFolder;
    if (!RealPath(folder, realFolder)) {
        error = errno == ENOENT ? MissingFolder(folder)
                                : "cannot reach the output folder " + folder + ": " + std::strerror(errno);
        return false;
    }
    struct stat info {};
    if (name.empty() || stat(realFolder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) {
        error = "the output " + full + " does not name a file in a folder";
        return false;
    }
    target.path = realFolder == "/" ? "/" + name : realFolder + "/" + name;
    target.exists = false;
    return true;
}

bool ResolveExistingFile(const std::string& given, const std::string& full, OutputTarget& target, std::string& error) {
    struct stat info {};
    if (stat(full.c_str(), &info) != 0) {
        error = "the output " + given + " is a symbolic link to a file that does not exist; nothing was written";
        return false;
    }
    if (!S_ISREG(info.st_mode)) {
        error = "the output " + given + " is " + KindOf(info.st_mode) + ", not a regular file; nothing was written";
        return false;
    }
    if (!RealPath(full, target.path)) {
        error = "cannot resolve the output " + given + ": " + std::strerror(errno);
        return false;
    }
    target.exists = true;
    target.identity.volume = static_cast<uint64_t>(info.st_dev);
    target.identity.file = static_cast<uint64_t>(info.st_ino);
    return true;
}
#endif

}  // namespace

bool ResolveOutput(const std::string& given, OutputTarget& target, std::string& error) {
    const std::string full = FullOutputPath(given);
    if (full.empty() || TooLong(given, full, error)) {
        error = "output path " + given + " is too long (at most 259 characters)";
        return false;
    }
#ifdef _WIN32
    const DWORD attributes = GetFileAttributesA(full.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES && GetLastError() == ERROR_PATH_NOT_FOUND) {
        error = MissingFolder(FolderOf(full, '\\'));
        return false;
    }
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        error = "the output " + given + " is a folder, not a regular file; nothing was written";
        return false;
    }
    target.exists = attributes != INVALID_FILE_ATTRIBUTES;
    if (target.exists && (full.rfind("\\\\.\\", 0) == 0 || !IdentityOf(full, target.identity))) {
        error = "the output " + given + " is a device, not a regular file; nothing was written";
        return false;
    }
    target.path = full;
    target.canonical = full;
    for (char& c : target.canonical) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return true;
#else
    struct stat link {};
    const bool ok = lstat(full.c_str(), &link) == 0 ? ResolveExistingFile(given, full, target, error)
                                                    : ResolveNewFile(full, target, error);
    if (!ok || TooLong(given, target.path, error)) {
        return false;
    }
    target.canonical = target.path;
    return true;
#endif
}
