#include "host/image_reader.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace {

std::vector<uint8_t> ReadWholeFile(const std::string& path) {
    FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) {
        throw InputError(path + ": cannot open: " + std::strerror(errno));
    }
    std::vector<uint8_t> bytes;
    uint8_t chunk[65536];
    size_t got;
    while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0) {
        bytes.insert(bytes.end(), chunk, chunk + got);
    }
    const bool failed = std::ferror(file) != 0;
    std::fclose(file);
    if (failed) {
        throw InputError(path + ": read error");
    }
    return bytes;
}

bool StartsWith(const std::vector<uint8_t>& bytes, const char* magic, size_t length) {
    return bytes.size() >= length && std::memcmp(bytes.data(), magic, length) == 0;
}

}  // namespace

std::vector<Image> ReadImageFile(const std::string& path) {
    const std::vector<uint8_t> bytes = ReadWholeFile(path);
    if (StartsWith(bytes, "\x89PNG\r\n\x1a\n", 8)) {
        return {ReadPng(bytes, path)};
    }
    if (bytes.size() >= 2 && bytes[0] == 'P' && bytes[1] >= '1' && bytes[1] <= '6') {
        return ReadPnm(bytes, path);
    }
    throw InputError(path + ": not a PNM (P1-P6) or PNG file");
}
