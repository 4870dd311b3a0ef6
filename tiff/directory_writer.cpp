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
        case TypeSRational:
        case kTypeLong8:
        case kTypeSLong8:
        case kTypeIfd8: return 8;
        default: return 0;
    }
}

// The width of each store of a value: a rational is two LONGs.
uint32_t StoreBytes(uint16_t type) { return type == TypeRational || type == TypeSRational ? 4 : ValueBytes(type); }

// Whether the entry's values live out of line rather than in its value
// field of `inlineBytes` (4, or 8 in a BigTIFF file).
bool IsOutOfLine(const DirectoryEntry& entry, uint32_t inlineBytes) {
    return uint64_t{ValueBytes(entry.type)} * entry.count > inlineBytes;
}

void EncodeValueField(uint8_t* destination, const DirectoryEntry& entry, int32_t byteOrder, const TiffFrame& frame) {
    const uint32_t fieldBytes = frame.nextDirectoryBytes;
    std::memset(destination, 0, fieldBytes);
    const uint32_t width = StoreBytes(entry.type);
    if (width == 0) {
        // Types the plug-in never expands: a float's bits as a LONG.
        if (entry.type == TypeFloat || entry.type == TypeDouble) PutLong(destination, entry.value, byteOrder);
        return;
    }
    if (IsOutOfLine(entry, fieldBytes)) {
        PutUnsigned(destination, entry.value, fieldBytes, byteOrder);
        return;
    }
    // The inline values, the first in the value's low bits.
    const uint32_t stores = ValueBytes(entry.type) * entry.count / width;
    for (uint32_t i = 0; i < stores; ++i)
        PutUnsigned(destination + width * i, entry.value >> (8 * width * i), width, byteOrder);
}

// Converts one staged value (machine order) of 1, 2, 4 or 8 bytes.
void StoreValue(uint8_t* destination, const uint8_t* source, uint32_t width, int32_t byteOrder) {
    uint64_t value = 0;
    if (width == 1) {
        value = source[0];
    } else if (width == 2) {
        uint16_t shortValue;
        std::memcpy(&shortValue, source, 2);
        value = shortValue;
    } else if (width == 4) {
        uint32_t longValue;
        std::memcpy(&longValue, source, 4);
        value = longValue;
    } else {
        std::memcpy(&value, source, 8);
    }
    PutUnsigned(destination, value, width, byteOrder);
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
    uint64_t start = entry.value - directory.entryBase;
    if (start + bytes > directory.stagingBytes) return StatusWriteFailed;
    uint8_t* destination = sink.Take(bytes);
    if (destination == nullptr) return StatusWriteFailed;

    const uint8_t* source = directory.staging + start;
    const uint32_t storeWidth = StoreBytes(entry.type);
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
    return StagedEntryAt(directory.staging + FrameOf(directory.flavour).entryBytes * index, directory.flavour);
}

}  // namespace

void EncodeEntry(uint8_t* destination, const DirectoryEntry& entry, int32_t byteOrder, TiffFlavour flavour) {
    const TiffFrame& frame = FrameOf(flavour);
    PutShort(destination, entry.tag, byteOrder);
    PutShort(destination + 2, entry.type, byteOrder);
    PutUnsigned(destination + 4, entry.count, frame.countBytes, byteOrder);
    EncodeValueField(destination + 4 + frame.countBytes, entry, byteOrder, frame);
}

PluginStatus SerializeDirectory(const StagedDirectory& directory, const TiffHeader* header, int32_t byteOrder,
                                uint8_t* out, uint32_t capacity, uint32_t* size) {
    *size = 0;
    const TiffFrame& frame = FrameOf(directory.flavour);
    const uint64_t entryBytes = frame.entryBytes * uint64_t{directory.entryCount};
    if (entryBytes + frame.nextDirectoryBytes > directory.stagingBytes) return StatusWriteFailed;
    ByteSink sink(out, capacity);
    const uint64_t fixedBytes =
        (header != nullptr ? frame.headerBytes : 0) + frame.entryCountBytes + entryBytes + frame.nextDirectoryBytes;
    uint8_t* at = sink.Take(fixedBytes);
    if (at == nullptr) return StatusWriteFailed;

    if (header != nullptr) {
        EncodeHeader(at, *header, header->firstDirectory);
        at += frame.headerBytes;
    }
    PutUnsigned(at, directory.entryCount, frame.entryCountBytes, byteOrder);
    at += frame.entryCountBytes;
    for (uint32_t i = 0; i < directory.entryCount; ++i, at += frame.entryBytes)
        EncodeEntry(at, StagedEntry(directory, i), byteOrder, directory.flavour);
    std::memset(at, 0, frame.nextDirectoryBytes);  // no next directory until a later page is appended

    for (uint32_t i = 0; i < directory.entryCount; ++i) {
        const DirectoryEntry entry = StagedEntry(directory, i);
        if (!IsOutOfLine(entry, frame.nextDirectoryBytes)) continue;
        if (PluginStatus status = PutValueArea(sink, directory, entry, byteOrder); status != StatusOk) return status;
    }
    *size = sink.size();
    return StatusOk;
}
