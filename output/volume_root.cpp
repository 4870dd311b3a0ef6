// Naming the volume of a path for the free-space queries, and the directory
// beside which a file can be placed on the same volume.
#include "output/volume_root.h"

#include "platform/win32.h"

#ifndef _WIN32
#include <sys/stat.h>
#endif

namespace {

#ifdef _WIN32
constexpr char kSeparator = '\\';
bool IsSeparator(char c) { return c == '\\' || c == '/'; }
#else
constexpr char kSeparator = '/';
bool IsSeparator(char c) { return c == '/'; }
#endif

// Offset just past the last separator, stepping double-byte characters
// whole so that a trail byte equal to '\' is not taken for a separator;
// 0 when there is none, -1 when the path cannot be walked.
long EndOfDirectoryPart(const char* path) {
    long end = 0;
    for (const char* p = path; *p != '\0';) {
        const char* next = CharNextA(p);
        if (next == nullptr || next == p) return -1;
        if (IsSeparator(*p)) end = static_cast<long>(next - path);
        p = next;
    }
    return end;
}

}  // namespace

bool WindowsVolumeRoot(const char* path, std::string& root) {
    if (path == nullptr) return false;
    if (path[0] != '\\' || path[1] != '\\') {
        size_t length = 0;
        while (length < 3 && path[length] != '\0') ++length;
        root.assign(path, length);
        return true;
    }
    // \\server\share: stop at the backslash that closes the share name.
    const char* stop = path + 2;
    int backslashes = 0;
    while (*stop != '\0') {
        if (*stop == '\\' && ++backslashes == 2) break;
        const char* next = CharNextA(stop);
        if (next == nullptr || next == stop) return false;
        stop = next;
    }
    root.assign(path, static_cast<size_t>(stop - path));
    root.push_back('\\');
    return true;
}

#ifdef _WIN32

bool VolumeRoot(const char* path, std::string& root) { return WindowsVolumeRoot(path, root); }

#else

bool VolumeRoot(const char* path, std::string& root) {
    if (path == nullptr || path[0] == '\0') return false;
    struct stat info {};
    if (stat(path, &info) == 0 && S_ISDIR(info.st_mode)) {
        root = path;
        return true;
    }
    root = DirectoryOf(path);
    return true;
}

#endif

std::string DirectoryOf(const char* path) {
    long end = path != nullptr ? EndOfDirectoryPart(path) : -1;
    if (end <= 0) return std::string(".") + kSeparator;
    return std::string(path, static_cast<size_t>(end));
}
