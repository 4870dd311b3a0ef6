#include "entry/resource_library.h"

#include <cstring>

#include "ui/resource_strings.h"

namespace {

#ifdef _WIN32
constexpr char kSeparator = '\\';
#else
constexpr char kSeparator = '/';
#endif

// Replaces the file name of `path` by the resource library's name; a path
// without a directory becomes the bare name, found by the platform's search.
bool ResourceLibraryPathBeside(char (&path)[260]) {
    char* lastSeparator = strrchr(path, kSeparator);
    char* nameStart = lastSeparator != nullptr ? lastSeparator + 1 : path;
    size_t room = sizeof(path) - static_cast<size_t>(nameStart - path);
    if (strlen(kResourceLibraryName) + 1 > room) return false;
    memcpy(nameStart, kResourceLibraryName, strlen(kResourceLibraryName) + 1);
    return true;
}

}  // namespace

PluginStatus LoadResourceLibrary(HMODULE pluginModule) {
    SetResourceModule(nullptr);
    char path[260] = {};
    DWORD length = GetModuleFileNameA(pluginModule, path, sizeof(path));
    if (length == 0 || length >= sizeof(path)) return StatusNoResources;
    if (!ResourceLibraryPathBeside(path)) return StatusNoResources;
    HMODULE library = LoadLibraryA(path);
    SetResourceModule(library);
    return library != nullptr ? StatusOk : StatusNoResources;
}

void FreeResourceLibrary() {
    HMODULE library = ResourceModule();
    if (library != nullptr) FreeLibrary(library);
    SetResourceModule(nullptr);
}
