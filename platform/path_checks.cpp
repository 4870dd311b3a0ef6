// Path argument checks and error mapping for the file services.
#include "platform/path_checks.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/last_error.h"

namespace platform {

bool CheckPath(const char* path) {
    if (path == nullptr) return FailWith(ERROR_INVALID_PARAMETER);
    size_t length = strnlen(path, MAX_PATH);
    if (length == 0) return FailWith(ERROR_PATH_NOT_FOUND);
    if (length >= MAX_PATH) return FailWith(ERROR_FILENAME_EXCED_RANGE);
    return true;
}

DWORD PathError(const char* path, int error) {
    if (error != ENOENT) return WindowsErrorFromErrno(error);
    struct stat info {};
    std::string directory = DirectoryOf(path);
    if (stat(directory.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) return ERROR_PATH_NOT_FOUND;
    return ERROR_FILE_NOT_FOUND;
}

std::string DirectoryOf(const std::string& path) {
    size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

void SyncDirectory(const std::string& directory) {
    int fd = open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    fsync(fd);
    close(fd);
}

}  // namespace platform
