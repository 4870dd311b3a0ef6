// Shared by the Wine test programs: check reporting, the plug-in call, the
// resource strings and registry reads, all through the raw Windows API.
//
// Deliberately independent of the plug-in's own headers: the programs lay
// out the host records from raw byte offsets, so that a layout mistake in
// the plug-in cannot hide behind a struct shared with the test.
#pragma once

#include <windows.h>

#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace winetest {

inline int& FailureCount() {
    static int failures = 0;
    return failures;
}

inline void Check(bool ok, const char* format, ...) {
    char text[1024];
    va_list args;
    va_start(args, format);
    vsnprintf(text, sizeof(text), format, args);
    va_end(args);
    printf("%s %s\n", ok ? "ok  " : "FAIL", text);
    fflush(stdout);
    if (!ok) ++FailureCount();
}

inline int Finish() {
    printf("%d failed\n", FailureCount());
    fflush(stdout);
    return FailureCount() == 0 ? 0 : 1;
}

[[noreturn]] inline void Fatal(const char* what) {
    printf("FAIL %s (error %lu)\n", what, GetLastError());
    fflush(stdout);
    ExitProcess(2);
}

using EntryPoint = uint32_t(__cdecl*)(int32_t command, void* request);

struct CallResult {
    uint16_t status;
    int32_t stackDelta;  // 0 when the callee left the arguments to the caller
};

#if defined(_WIN64)
// x64 has one calling convention: the arguments travel in registers and the
// caller owns the stack, so there is no argument clean-up to measure.
inline CallResult CallEntry(EntryPoint entry, int32_t command, void* request) {
    return {static_cast<uint16_t>(entry(command, request) & 0xFFFFu), 0};
}
#else
// Calls the entry point as a cdecl caller does (push the arguments, call,
// remove them) and measures the stack pointer around the call, so that an
// entry point that pops its own arguments (stdcall) is caught.
inline CallResult CallEntry(EntryPoint entry, int32_t command, void* request) {
    uint32_t result;
    int32_t delta;
    // ecx and edx are the callee's to change: pass them as in-out operands.
    int32_t commandArgument = command;
    void* requestArgument = request;
    __asm__ __volatile__(
        "movl %%esp, %%esi\n\t"
        "pushl %[request]\n\t"
        "pushl %[command]\n\t"
        "call *%[entry]\n\t"
        "addl $8, %%esp\n\t"
        "movl %%esp, %%edi\n\t"
        "subl %%esi, %%edi\n\t"
        "movl %%esi, %%esp\n\t"
        : "=&a"(result), "=&D"(delta), [command] "+c"(commandArgument), [request] "+d"(requestArgument)
        : [entry] "b"(entry)
        : "esi", "memory", "cc");
    return {static_cast<uint16_t>(result & 0xFFFFu), delta};
}
#endif

inline EntryPoint LoadEntry(const char* dllPath, HMODULE* module = nullptr) {
    HMODULE library = LoadLibraryA(dllPath);
    if (library == nullptr) Fatal("LoadLibraryA of the plug-in");
    auto entry = reinterpret_cast<EntryPoint>(reinterpret_cast<void*>(GetProcAddress(library, "ZUVadeZoduv")));
    if (entry == nullptr) Fatal("GetProcAddress(\"ZUVadeZoduv\")");
    if (module != nullptr) *module = library;
    return entry;
}

// The directory part of a path, with its trailing backslash.
inline std::string DirectoryOf(const std::string& path) {
    size_t slash = path.find_last_of("\\/");
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

// A string of the resource library, read as data from beside the plug-in;
// the texts the plug-in hands out must be exactly these, cut to `room`
// characters. The library is loaded for each read and released at once, so
// that the test sees only the plug-in's own loading of it.
class ResourceTexts {
public:
    explicit ResourceTexts(const std::string& dllPath) : path_(DirectoryOf(dllPath) + "Vizazira.dll") {}

    std::string Get(UINT id, size_t room) const {
        HMODULE module = LoadLibraryExA(path_.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
        if (module == nullptr) Fatal("loading Vizazira.dll as data");
        char text[1024] = {};
        LoadStringA(module, id, text, sizeof(text));
        FreeLibrary(module);
        std::string value(text);
        return value.size() > room ? value.substr(0, room) : value;
    }

private:
    std::string path_;
};

// Byte offsets of the host record fields that move with the pointer size:
// every pointer and handle is 4 bytes in the 32-bit records and 8 bytes,
// naturally aligned, in the 64-bit ones. The fields before the first pointer
// of each record lie at the same offsets in both.
namespace offsets {
constexpr size_t kStateKeyPath = 456;
#if defined(_WIN64)
constexpr size_t kStateRoot = 712;
constexpr size_t kParentWindow = 720;
constexpr size_t kTarget = 736;
constexpr size_t kTargetImage = 272;
constexpr size_t kImagePixels = 32;
constexpr size_t kImageBitsPerPixel = 44;
constexpr size_t kImageColorKind = 52;
constexpr size_t kImageUnsupported = 56;
constexpr size_t kImageContinueFile = 60;
#else
constexpr size_t kStateRoot = 712;
constexpr size_t kParentWindow = 716;
constexpr size_t kTarget = 724;
constexpr size_t kTargetImage = 268;
constexpr size_t kImagePixels = 28;
constexpr size_t kImageBitsPerPixel = 36;
constexpr size_t kImageColorKind = 44;
constexpr size_t kImageUnsupported = 48;
constexpr size_t kImageContinueFile = 52;
#endif
}  // namespace offsets

// Little-endian stores into a record laid out by raw offsets; a pointer or
// handle takes the width it has in this program's records.
inline void Put32(uint8_t* record, size_t offset, uint32_t value) { memcpy(record + offset, &value, 4); }
inline void Put32(std::vector<uint8_t>& record, size_t offset, uint32_t value) { Put32(record.data(), offset, value); }
inline void PutPointer(uint8_t* record, size_t offset, const void* pointer) {
    uintptr_t address = reinterpret_cast<uintptr_t>(pointer);
    memcpy(record + offset, &address, sizeof(address));
}
inline void PutPointer(std::vector<uint8_t>& record, size_t offset, const void* pointer) {
    PutPointer(record.data(), offset, pointer);
}
#if !defined(_WIN64)
// The 32-bit address a record holds for a pointer (the raw record tests).
inline uint32_t Address(const void* pointer) { return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(pointer)); }
#endif

// Ends the program when a call started at tick `started` (0: none running)
// has not returned within 60 s. The difference is signed: `started` may be
// one tick ahead of the clock.
inline void EndIfHung(DWORD started, const char* what) {
    if (started != 0 && static_cast<int32_t>(GetTickCount() - started) > 60000) {
        printf("FAIL %s\n", what);
        fflush(stdout);
        ExitProcess(3);
    }
}

// A plain top-level window that plays the host's main window: the owner of
// the plug-in's dialogs and message boxes.
inline HWND MakeHostWindow(const char* className) {
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = DefWindowProcA;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = className;
    RegisterClassA(&windowClass);
    HWND window = CreateWindowExA(0, className, "host", WS_OVERLAPPEDWINDOW, 0, 0, 200, 100, nullptr, nullptr,
                                  windowClass.hInstance, nullptr);
    if (window == nullptr) Fatal("creating the host window");
    return window;
}

inline std::string PluginKey(const std::string& hostKey) { return hostKey + "\\ZEDUZ-ORID"; }

inline bool PluginKeyExists(const std::string& hostKey) {
    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, PluginKey(hostKey).c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    RegCloseKey(key);
    return true;
}

// Reads a REG_DWORD value; false when the key or the value is missing.
inline bool ReadDword(const std::string& hostKey, const char* name, uint32_t* value) {
    DWORD type = 0;
    DWORD size = sizeof(*value);
    return RegGetValueA(HKEY_CURRENT_USER, PluginKey(hostKey).c_str(), name, RRF_RT_ANY, &type, value, &size) ==
               ERROR_SUCCESS &&
           type == REG_DWORD;
}

inline bool ReadString(const std::string& hostKey, const char* name, std::string* value) {
    char text[MAX_PATH + 1] = {};
    DWORD size = sizeof(text);
    if (RegGetValueA(HKEY_CURRENT_USER, PluginKey(hostKey).c_str(), name, RRF_RT_REG_SZ, nullptr, text, &size) !=
        ERROR_SUCCESS)
        return false;
    *value = text;
    return true;
}

inline void WriteDword(const std::string& hostKey, const char* name, uint32_t value) {
    HKEY key;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, PluginKey(hostKey).c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                        nullptr) != ERROR_SUCCESS)
        Fatal("creating the plug-in's registry key");
    RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof(value));
    RegCloseKey(key);
}

}  // namespace winetest
