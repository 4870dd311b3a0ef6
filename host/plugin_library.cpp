#include "host/plugin_library.h"

#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#else
#include <dlfcn.h>
#include <unistd.h>

#include "generated/install_layout.h"
#endif

#include <cstdlib>
#include <vector>

namespace {

#ifdef _WIN32
constexpr char kPluginFileName[] = "ZeduzTiff.dll";
constexpr char kSeparators[] = "\\/";

std::string ExecutablePath() {
    char buffer[MAX_PATH] = {};
    const DWORD length = GetModuleFileNameA(nullptr, buffer, sizeof buffer);
    return (length == 0 || length >= sizeof buffer) ? std::string() : std::string(buffer, length);
}

std::string LastSystemError() { return "Windows error " + std::to_string(GetLastError()); }
#else
constexpr char kPluginFileName[] = "libzeduztiff.so";
constexpr char kSeparators[] = "/";

std::string ExecutablePath() {
    std::vector<char> buffer(4096);
    const ssize_t length = readlink("/proc/self/exe", buffer.data(), buffer.size() - 1);
    return length <= 0 ? std::string() : std::string(buffer.data(), static_cast<size_t>(length));
}

// The installed plug-in's folder, without the "bin/.." of its way there
// where the folder exists.
std::string InstalledPluginFolder(const std::string& programFolder) {
    const std::string folder = programFolder + ZEDUZ_PLUGIN_DIR_FROM_PROGRAM;
    char* resolved = realpath(folder.c_str(), nullptr);
    if (resolved == nullptr) {
        return folder;
    }
    const std::string path = resolved;
    std::free(resolved);
    return path;
}
#endif

}  // namespace

std::string DefaultPluginPath() {
    const std::string executable = ExecutablePath();
    const size_t slash = executable.find_last_of(kSeparators);
    if (slash == std::string::npos) {
        return kPluginFileName;
    }
    const std::string programFolder = executable.substr(0, slash + 1);
    const std::string beside = programFolder + kPluginFileName;
#ifndef _WIN32
    if (access(beside.c_str(), F_OK) != 0) {
        return InstalledPluginFolder(programFolder) + "/" + kPluginFileName;
    }
#endif
    return beside;
}

PluginLibrary::~PluginLibrary() {
    if (!handle_) {
        return;
    }
#ifdef _WIN32
    FreeLibrary(static_cast<HMODULE>(handle_));
#else
    dlclose(handle_);
#endif
}

bool PluginLibrary::Load(const std::string& path, std::string& error) {
#ifdef _WIN32
    HMODULE module = LoadLibraryA(path.c_str());
    if (!module) {
        error = "cannot load the plug-in " + path + ": " + LastSystemError();
        return false;
    }
    handle_ = module;
    entry_ = reinterpret_cast<ZUVadeZoduvFunction>(reinterpret_cast<void*>(GetProcAddress(module, "ZUVadeZoduv")));
#else
    // A path without a slash would be searched for; name the file itself.
    const std::string target = path.find('/') == std::string::npos ? "./" + path : path;
    handle_ = dlopen(target.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle_) {
        error = "cannot load the plug-in " + path + ": " + dlerror();
        return false;
    }
    entry_ = reinterpret_cast<ZUVadeZoduvFunction>(dlsym(handle_, "ZUVadeZoduv"));
#endif
    if (!entry_) {
        error = path + " is not a plug-in: it has no entry point ZUVadeZoduv";
        return false;
    }
    return true;
}

uint16_t PluginLibrary::Call(int32_t command, PluginRequest& request) const {
    return static_cast<uint16_t>(entry_(command, &request) & 0xFFFF);
}
