// Modules: LoadLibraryA, FreeLibrary, GetModuleHandleA, GetModuleHandleExA,
// GetModuleFileNameA, GetProcAddress over the dynamic loader.
//
// A module handle is the loader's handle. As on Windows, a bare library name
// is looked for beside the program first, and a name ending in ".dll" also
// finds the Linux build of that library (".so").
#include <dlfcn.h>
#include <link.h>
#include <strings.h>
#include <unistd.h>

#include <cstring>
#include <string>

#include "platform/last_error.h"
#include "platform/module_registry.h"
#include "platform/system_module.h"

namespace {

std::string ProgramPath() {
    char path[4096];
    ssize_t length = readlink("/proc/self/exe", path, sizeof(path) - 1);
    if (length <= 0) return std::string();
    return std::string(path, static_cast<size_t>(length));
}

std::string ProgramDirectory() {
    std::string program = ProgramPath();
    size_t slash = program.find_last_of('/');
    return slash == std::string::npos ? std::string() : program.substr(0, slash + 1);
}

HMODULE Open(const std::string& path, int extraFlags = 0) {
    return static_cast<HMODULE>(dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL | extraFlags));
}

// "name.dll" -> "name.so"; empty when the name has no ".dll" ending.
std::string LinuxLibraryName(const std::string& name) {
    if (name.size() < 4 || strcasecmp(name.c_str() + name.size() - 4, ".dll") != 0) return std::string();
    return name.substr(0, name.size() - 4) + ".so";
}

HMODULE OpenByName(const std::string& name) {
    const bool bare = name.find('/') == std::string::npos;
    std::string programDirectory = bare ? ProgramDirectory() : std::string();
    std::string linuxName = LinuxLibraryName(name);
    for (const std::string& candidate : {name, linuxName}) {
        if (candidate.empty()) continue;
        if (bare && !programDirectory.empty()) {
            if (HMODULE module = Open(programDirectory + candidate)) return module;
        }
        if (HMODULE module = Open(candidate)) return module;
    }
    return nullptr;
}

HMODULE ProgramModule() { return static_cast<HMODULE>(dlopen(nullptr, RTLD_NOW)); }

// Gives back the reference that dlopen took, unless the caller keeps it.
HMODULE Release(HMODULE module, bool keepReference) {
    if (module != nullptr && !keepReference) dlclose(module);
    return module;
}

// An already loaded module by name (nullptr: the program).
HMODULE LoadedModuleByName(LPCSTR name, bool keepReference) {
    if (name == nullptr) return Release(ProgramModule(), keepReference);
    HMODULE module = Open(name, RTLD_NOLOAD);
    if (module == nullptr && !LinuxLibraryName(name).empty()) module = Open(LinuxLibraryName(name), RTLD_NOLOAD);
    return Release(module, keepReference);
}

// The module holding `address`.
HMODULE ModuleContaining(const void* address, bool keepReference) {
    Dl_info info{};
    if (address == nullptr || dladdr(address, &info) == 0 || info.dli_fname == nullptr) return nullptr;
    HMODULE module = Open(info.dli_fname, RTLD_NOLOAD);
    if (module == nullptr) module = ProgramModule();  // the program itself
    return Release(module, keepReference);
}

std::string LoadedPathOf(HMODULE module) {
    struct link_map* map = nullptr;
    if (dlinfo(module, RTLD_DI_LINKMAP, &map) != 0 || map == nullptr || map->l_name == nullptr) return {};
    return map->l_name;
}

}  // namespace

HMODULE LoadLibraryA(LPCSTR path) {
    if (path == nullptr || *path == '\0') {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    HMODULE module = OpenByName(path);
    if (module == nullptr) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return nullptr;
    }
    return module;
}

BOOL FreeLibrary(HMODULE module) {
    if (module == platform::SystemModule()) return TRUE;
    if (!platform::IsKnownModule(module)) return platform::FailWith(ERROR_INVALID_HANDLE);
    if (dlclose(module) != 0) return platform::FailWith(ERROR_INVALID_HANDLE);
    return TRUE;
}

// GetModuleHandleA takes no reference; the module stays loaded by whoever
// loaded it.
HMODULE GetModuleHandleA(LPCSTR name) {
    if (name != nullptr && platform::IsSystemModuleName(name)) return platform::SystemModule();
    HMODULE module = LoadedModuleByName(name, false);
    if (module == nullptr) SetLastError(ERROR_MOD_NOT_FOUND);
    return module;
}

BOOL GetModuleHandleExA(DWORD flags, LPCSTR addressOrName, HMODULE* module) {
    if (module == nullptr) return platform::FailWith(ERROR_INVALID_PARAMETER);
    const bool keepReference = (flags & GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT) == 0;
    HMODULE found = (flags & GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS) ? ModuleContaining(addressOrName, keepReference)
                                                                     : LoadedModuleByName(addressOrName, keepReference);
    *module = found;
    if (found == nullptr) return platform::FailWith(ERROR_MOD_NOT_FOUND);
    return TRUE;
}

// Windows semantics: the length without terminator; a short buffer gets a
// truncated, terminated name, the buffer size as result and
// ERROR_INSUFFICIENT_BUFFER.
DWORD GetModuleFileNameA(HMODULE module, LPSTR buffer, DWORD size) {
    if (buffer == nullptr || size == 0) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    std::string path;
    if (module == nullptr) {
        path = ProgramPath();
    } else if (platform::IsKnownModule(module)) {
        path = LoadedPathOf(module);
        if (path.empty()) path = ProgramPath();
    } else {
        buffer[0] = '\0';
        SetLastError(ERROR_MOD_NOT_FOUND);
        return 0;
    }
    if (path.size() >= size) {
        memcpy(buffer, path.c_str(), size - 1);
        buffer[size - 1] = '\0';
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return size;
    }
    memcpy(buffer, path.c_str(), path.size() + 1);
    SetLastError(ERROR_SUCCESS);
    return static_cast<DWORD>(path.size());
}

FARPROC GetProcAddress(HMODULE module, LPCSTR name) {
    if (module == platform::SystemModule()) return platform::SystemModuleExport(name);
    if (name == nullptr || !platform::IsKnownModule(module)) {
        SetLastError(name == nullptr ? ERROR_INVALID_PARAMETER : ERROR_INVALID_HANDLE);
        return nullptr;
    }
    void* symbol = dlsym(module, name);
    if (symbol == nullptr) SetLastError(ERROR_PROC_NOT_FOUND);
    return reinterpret_cast<FARPROC>(symbol);
}
