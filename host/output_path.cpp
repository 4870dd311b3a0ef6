#include "host/output_path.h"

#include <sys/stat.h>

#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#else
#include <unistd.h>

#include <vector>
#endif

namespace {

constexpr size_t kMaxPathLength = 259;

}  // namespace

std::string FullOutputPath(const std::string& path) {
    std::string full;
#ifdef _WIN32
    char buffer[MAX_PATH] = {};
    const DWORD length = GetFullPathNameA(path.c_str(), sizeof buffer, buffer, nullptr);
    if (length == 0 || length >= sizeof buffer) {
        return std::string();
    }
    full.assign(buffer, length);
#else
    if (!path.empty() && path[0] == '/') {
        full = path;
    } else {
        std::vector<char> directory(4096);
        if (!getcwd(directory.data(), directory.size())) {
            return std::string();
        }
        full = std::string(directory.data()) + "/" + path;
    }
#endif
    return full.size() > kMaxPathLength ? std::string() : full;
}

bool FileExists(const std::string& path) {
    struct stat info;
    return stat(path.c_str(), &info) == 0;
}
