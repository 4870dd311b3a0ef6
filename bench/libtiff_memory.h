// libtiff writing into and reading from memory, so that the benchmarks time
// its coders and not the disk.
#pragma once

#include <tiffio.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

struct MemoryFile {
    std::vector<uint8_t> data;
    uint64_t position = 0;
};

inline tmsize_t MemoryRead(thandle_t handle, void* buffer, tmsize_t size) {
    auto* file = static_cast<MemoryFile*>(handle);
    const uint64_t available = file->position < file->data.size() ? file->data.size() - file->position : 0;
    const auto count = static_cast<tmsize_t>(std::min<uint64_t>(available, static_cast<uint64_t>(size)));
    std::memcpy(buffer, file->data.data() + file->position, static_cast<size_t>(count));
    file->position += static_cast<uint64_t>(count);
    return count;
}

inline tmsize_t MemoryWrite(thandle_t handle, void* buffer, tmsize_t size) {
    auto* file = static_cast<MemoryFile*>(handle);
    const uint64_t end = file->position + static_cast<uint64_t>(size);
    if (end > file->data.size()) file->data.resize(end);
    std::memcpy(file->data.data() + file->position, buffer, static_cast<size_t>(size));
    file->position = end;
    return size;
}

inline toff_t MemorySeek(thandle_t handle, toff_t offset, int whence) {
    auto* file = static_cast<MemoryFile*>(handle);
    if (whence == SEEK_CUR) offset += file->position;
    if (whence == SEEK_END) offset += file->data.size();
    file->position = offset;
    return offset;
}

inline int MemoryClose(thandle_t) { return 0; }
inline toff_t MemorySize(thandle_t handle) { return static_cast<MemoryFile*>(handle)->data.size(); }
inline int MemoryMap(thandle_t, void**, toff_t*) { return 0; }
inline void MemoryUnmap(thandle_t, void*, toff_t) {}

// `mode` as TIFFOpen takes it; a file opened for writing starts empty.
inline TIFF* OpenMemory(MemoryFile& file, const char* mode) {
    if (mode[0] == 'w') {
        file.data.clear();
        file.position = 0;
    }
    return TIFFClientOpen("memory", mode, &file, MemoryRead, MemoryWrite, MemorySeek, MemoryClose, MemorySize,
                          MemoryMap, MemoryUnmap);
}

// Strip 0 of a file in memory, as its bytes lie in the file.
inline std::vector<uint8_t> RawStrip(MemoryFile& file) {
    file.position = 0;
    TIFF* tiff = OpenMemory(file, "r");
    std::vector<uint8_t> strip(static_cast<size_t>(TIFFRawStripSize(tiff, 0)));
    TIFFReadRawStrip(tiff, 0, strip.data(), static_cast<tmsize_t>(strip.size()));
    TIFFClose(tiff);
    return strip;
}
