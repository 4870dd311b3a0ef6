#include "page/page_temp_file.h"

#include <cstring>

#include "platform/win32.h"

namespace {

constexpr char kPrefix[] = "~TF";

bool TempDirectory(char (&directory)[MAX_PATH]) {
    DWORD length = GetTempPathA(MAX_PATH, directory);
    return length > 0 && length < MAX_PATH;
}

}  // namespace

PluginStatus CreatePageTempFile(FileHandle& file, CreationRecord& record, char (&path)[260], FileIdentity* identity) {
    char directory[MAX_PATH] = {};
    path[0] = '\0';
    if (!TempDirectory(directory)) return StatusCreateFailed;
    return file.CreateUnique(directory, kPrefix, true, record, path, identity);
}

bool IsPageTempFile(const char* path) {
    char directory[MAX_PATH] = {};
    if (path == nullptr || !TempDirectory(directory)) return false;
    size_t directoryLength = std::strlen(directory);
    if (std::strncmp(path, directory, directoryLength) != 0) return false;
    const char* name = path + directoryLength;
    if (std::strncmp(name, kPrefix, sizeof(kPrefix) - 1) != 0) return false;
    return std::strpbrk(name, "\\/:") == nullptr;
}
