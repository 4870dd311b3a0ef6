#include "tiff/directory_writer.h"

#include <cstring>

#include "tiff/byte_order.h"

namespace {

// Bytes of one value of a TIFF type; 0 for types the plug-in never expands.
uint32_t ValueBytes(uint16_t type) {
    switch (type) {
        case TypeByte:
        case TypeAscii:
        case TypeSByte:
        case TypeUndefined: return 1;
        case TypeShort:
        case TypeSShort: return 2;
        case TypeLong:
        case TypeSLong: return 4;
        case TypeRational:
        case TypeSRational: return 8;
        default: return 0;
    }
}

// Whether the entry's values live out of line rather than in its value
// field: only when they take more than its four bytes.
bool IsOutOfLine(const DirectoryEntry& entry) {
    switch (ValueBytes(entry.type)) {
        case 1: return entry.count > 4;
        case 2: return entry.count >= 3;
        case 4: return entry.count >= 2;
        case 8: return entry.count >= 1;
        default: return false;
    }
}

void EncodeValueField(uint8_t* destination, const DirectoryEntry& entry, int32_t byteOrder) {
    std::memset(destination, 0, 4);
    uint32_t width = ValueBytes(entry.type);
    bool floating = entry.type == TypeFloat || entry.type == TypeDouble;
    if (IsOutOfLine(entry) || width == 4 || floating) {
        PutLong(destination, entry.value, byteOrder);
    } else if (width == 1) {
        // Up to four bytes in the field, the first from the value's low byte.
        for (uint32_t i = 0; i < entry.count && i < 4; ++i) PutByte(destination + i, entry.value >> (8 * i));
    } else if (width == 2) {
        PutShort(destination, entry.value, byteOrder);
        if (entry.count == 2) PutShort(destination + 2, entry.value >> 16, byteOrder);
    }
}

// Converts one staged value (machine order) of 1, 2 or 4 bytes.
void StoreValue(uint8_t* destination, const uint8_t* source, uint32_t width, int32_t byteOrder) {
    if (width == 1) {
        PutByte(destination, source[0]);
    } else if (width == 2) {
        uint16_t value;
        std::memcpy(&value, source, 2);
        PutShort(destination, value, byteOrder);
    } else {
        uint32_t value;
        std::memcpy(&value, source, 4);
        PutLong(destination, value, byteOrder);
    }
}

// Appends to the serialised bytes, never past the end of the buffer.
class ByteSink {
public:
    ByteSink(uint8_t* out, uint32_t capacity) : out_(out), capacity_(capacity) {}
    // Where the next `bytes` bytes go, or nullptr when they do not fit.
    uint8_t* Take(uint64_t bytes) {
        if (bytes > capacity_ - size_) return nullptr;
        uint8_t* at = out_ + size_;
        size_ += static_cast<uint32_t>(bytes);
        return at;
    }
    uint32_t size() const { return size_; }

private:
    uint8_t* out_;
    uint32_t capacity_;
    uint32_t size_ = 0;
};

// Serialises one entry's out-of-line values, converted to the file's order.
PluginStatus PutValueArea(ByteSink& sink, const StagedDirectory& directory, const DirectoryEntry& entry,
                          int32_t byteOrder) {
    uint32_t width = ValueBytes(entry.type);
    uint64_t bytes = uint64_t{entry.count} * width;
    if (entry.value < directory.entryBase) return StatusWriteFailed;
    uint64_t start = uint64_t{entry.value} - directory.entryBase;
    if (start + bytes > directory.stagingBytes) return StatusWriteFailed;
    uint8_t* destination = sink.Take(bytes);
    if (destination == nullptr) return StatusWriteFailed;

    const uint8_t* source = directory.staging + start;
    uint32_t storeWidth = width == 8 ? 4 : width;  // a rational is two LONGs
    for (uint64_t done = 0; done < bytes; done += storeWidth)
        StoreValue(destination + done, source + done, storeWidth, byteOrder);
    // The next area starts on a word boundary, as the layout reserved it.
    if (bytes % 2 != 0) {
        uint8_t* pad = sink.Take(1);
        if (pad == nullptr) return StatusWriteFailed;
        *pad = 0;
    }
    return StatusOk;
}

DirectoryEntry StagedEntry(const StagedDirectory& directory, uint32_t index) {
    DirectoryEntry entry;
    std::memcpy(&entry, directory.staging + kEntryBytes * index, sizeof(entry));
    return entry;
}

}  // namespace

void EncodeEntry(uint8_t* destination, const DirectoryEntry& entry, int32_t byteOrder) {
    PutShort(destination, entry.tag, byteOrder);
    PutShort(destination + 2, entry.type, byteOrder);
    PutLong(destination + 4, entry.count, byteOrder);
    EncodeValueField(destination + 8, entry, byteOrder);
}

PluginStatus SerializeDirectory(const StagedDirectory& directory, const TiffHeader* header, int32_t byteOrder,
                                uint8_t* out, uint32_t capacity, uint32_t* size) {
    *size = 0;
    const uint64_t entryBytes = kEntryBytes * uint64_t{directory.entryCount};
    if (entryBytes + kNextDirectoryBytes > directory.stagingBytes) return StatusWriteFailed;
    ByteSink sink(out, capacity);
    const uint64_t fixedBytes =
        (header != nullptr ? kHeaderBytes : 0) + kEntryCountBytes + entryBytes + kNextDirectoryBytes;
    uint8_t* at = sink.Take(fixedBytes);
    if (at == nullptr) return StatusWriteFailed;

    if (header != nullptr) {
        PutShort(at, header->byteOrder, byteOrder);
        PutShort(at + 2, header->magic, byteOrder);
        PutLong(at + 4, header->firstDirectory, byteOrder);
        at += kHeaderBytes;
    }
    PutShort(at, directory.entryCount, byteOrder);
    at += kEntryCountBytes;
    for (uint32_t i = 0; i < directory.entryCount; ++i, at += kEntryBytes)
        EncodeEntry(at, StagedEntry(directory, i), byteOrder);
    std::memset(at, 0, kNextDirectoryBytes);  // no next directory until a later page is appended

    for (uint32_t i = 0; i < directory.entryCount; ++i) {
        const DirectoryEntry entry = StagedEntry(directory, i);
        if (!IsOutOfLine(entry)) continue;
        if (PluginStatus status = PutValueArea(sink, directory, entry, byteOrder); status != StatusOk) return status;
    }
    *size = sink.size();
    return StatusOk;
}
