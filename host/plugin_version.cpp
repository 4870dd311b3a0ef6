// The version a loaded plug-in carries, read from the library in memory: on
// Windows its version resource (VS_FIXEDFILEINFO), on Linux its version
// note (resources/version_note.c), found through the loader's program
// headers of that library. Neither needs an export of the plug-in.
#include "host/plugin_library.h"

#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#include <winver.h>
#else
#include <dlfcn.h>
#include <link.h>
#endif

#include <cstring>

namespace {

#ifdef _WIN32
// VS_VERSIONINFO begins with its length, value length and type (three
// WORDs) and the key L"VS_VERSION_INFO", padded to 32 bits: 40 bytes.
constexpr size_t kFixedInfoOffset = 40;
constexpr WORD kVersionResourceId = 1;  // VS_VERSION_INFO

std::string VersionText(const VS_FIXEDFILEINFO& info) {
    std::string text = std::to_string(HIWORD(info.dwFileVersionMS)) + "." +
                       std::to_string(LOWORD(info.dwFileVersionMS)) + "." +
                       std::to_string(HIWORD(info.dwFileVersionLS));
    if (LOWORD(info.dwFileVersionLS) != 0) {
        text += "." + std::to_string(LOWORD(info.dwFileVersionLS));
    }
    return text;
}
#else
constexpr char kNoteName[] = "Zeduz";
constexpr uint32_t kVersionNoteType = 1;

size_t Padded(size_t size, size_t alignment) { return (size + alignment - 1) / alignment * alignment; }

// The descriptor of the version note among the notes of one segment.
std::string VersionInNotes(const unsigned char* notes, size_t size, size_t alignment) {
    size_t at = 0;
    while (size - at >= sizeof(ElfW(Nhdr))) {
        ElfW(Nhdr) header;
        std::memcpy(&header, notes + at, sizeof header);
        const size_t name = at + sizeof header;
        const size_t namePadded = Padded(header.n_namesz, alignment);
        const size_t descriptorPadded = Padded(header.n_descsz, alignment);
        if (namePadded > size - name || descriptorPadded > size - name - namePadded) {
            return std::string();
        }
        const size_t descriptor = name + namePadded;
        if (header.n_type == kVersionNoteType && header.n_namesz == sizeof kNoteName &&
            std::memcmp(notes + name, kNoteName, sizeof kNoteName) == 0) {
            const char* text = reinterpret_cast<const char*>(notes + descriptor);
            return std::string(text, strnlen(text, header.n_descsz));
        }
        at = descriptor + descriptorPadded;
    }
    return std::string();
}

struct NoteSearch {
    const link_map* library;
    std::string version;
};

int SearchLibraryNotes(dl_phdr_info* info, size_t, void* data) {
    NoteSearch& search = *static_cast<NoteSearch*>(data);
    if (info->dlpi_addr != search.library->l_addr || std::strcmp(info->dlpi_name, search.library->l_name) != 0) {
        return 0;  // another object
    }
    for (ElfW(Half) i = 0; i < info->dlpi_phnum && search.version.empty(); ++i) {
        const ElfW(Phdr)& segment = info->dlpi_phdr[i];
        if (segment.p_type == PT_NOTE) {
            const auto* notes = reinterpret_cast<const unsigned char*>(info->dlpi_addr + segment.p_vaddr);
            search.version = VersionInNotes(notes, segment.p_memsz, segment.p_align >= 8 ? 8 : 4);
        }
    }
    return 1;
}
#endif

}  // namespace

std::string PluginLibrary::Version() const {
    if (!handle_) {
        return std::string();
    }
#ifdef _WIN32
    const HMODULE module = static_cast<HMODULE>(handle_);
    HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(kVersionResourceId), MAKEINTRESOURCEA(16));  // RT_VERSION
    HGLOBAL loaded = found != nullptr ? LoadResource(module, found) : nullptr;
    const void* bytes = loaded != nullptr ? LockResource(loaded) : nullptr;
    VS_FIXEDFILEINFO info{};
    if (bytes == nullptr || SizeofResource(module, found) < kFixedInfoOffset + sizeof info) {
        return std::string();
    }
    std::memcpy(&info, static_cast<const char*>(bytes) + kFixedInfoOffset, sizeof info);
    return info.dwSignature == VS_FFI_SIGNATURE ? VersionText(info) : std::string();
#else
    link_map* library = nullptr;
    if (dlinfo(handle_, RTLD_DI_LINKMAP, &library) != 0 || library == nullptr) {
        return std::string();
    }
    NoteSearch search{library, std::string()};
    dl_iterate_phdr(SearchLibraryNotes, &search);
    return search.version;
#endif
}
