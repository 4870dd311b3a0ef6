#include "tiff/page_chain.h"

#include <algorithm>

#include "tiff/byte_order.h"
#include "tiff/directory_bounds.h"
#include "tiff/directory_entry.h"
#include "tiff/file_header.h"

namespace {

// The file's flavour from the first 8 bytes of its header, when it is a
// header of `byteOrder`: magic 42, or 43 with 8-byte offsets.
bool ReadHeader(const uint8_t* header, int32_t byteOrder, TiffFlavour* flavour) {
    uint8_t mark = byteOrder == ByteOrderIntel ? 'I' : 'M';
    if (header[0] != mark || header[1] != mark) return false;
    const uint16_t magic = GetShort(header + 2, byteOrder);
    *flavour = magic == kBigFrame.magic ? TiffFlavour::Big : TiffFlavour::Classic;
    if (magic == kTiffMagic) return true;
    return magic == kBigFrame.magic && GetShort(header + 4, byteOrder) == 8 && GetShort(header + 6, byteOrder) == 0;
}

// BigTIFF counts entries in 8 bytes; no directory of a page needs more than
// a classic one can count.
constexpr uint64_t kMostEntries = 0xFFFF;

}  // namespace

PluginStatus FindChainEnd(ChainReader& file, int32_t byteOrder, ChainEnd* end) {
    uint64_t size = file.Size();
    if (size == UINT64_MAX) return StatusReadFailed;
    if (size < kHeaderBytes) return StatusNotAppendable;
    uint8_t header[kBigFrame.headerBytes] = {};
    if (PluginStatus status = file.ReadAt(0, kHeaderBytes, header); status != StatusOk) return status;
    TiffFlavour flavour = TiffFlavour::Classic;
    if (!ReadHeader(header, byteOrder, &flavour)) return StatusNotAppendable;
    const TiffFrame& frame = FrameOf(flavour);
    if (flavour == TiffFlavour::Big) {
        if (size < frame.headerBytes || size >= frame.offsetLimit) return StatusNotAppendable;
        PluginStatus status = file.ReadAt(kHeaderBytes, frame.headerBytes - kHeaderBytes, header + kHeaderBytes);
        if (status != StatusOk) return status;
    }

    ChainEnd result{0, 0, size, size + (size & 1), frame.headerBytes, flavour};
    uint64_t directory = GetUnsigned(header + FirstDirectoryField(flavour), frame.nextDirectoryBytes, byteOrder);
    uint64_t previous = 0;
    // Directories must move strictly forward, so the walk always ends.
    while (true) {
        if (directory <= previous || directory % 2 != 0 || directory >= size ||
            frame.entryCountBytes > size - directory)
            return StatusNotAppendable;
        uint8_t field[8];
        if (PluginStatus status = file.ReadAt(directory, frame.entryCountBytes, field); status != StatusOk)
            return status;
        const uint64_t entries = GetUnsigned(field, frame.entryCountBytes, byteOrder);
        if (entries > kMostEntries) return StatusNotAppendable;
        uint64_t nextDirectoryField = directory + frame.entryCountBytes + uint64_t{frame.entryBytes} * entries;
        if (nextDirectoryField + frame.nextDirectoryBytes > size) return StatusNotAppendable;
        if (PluginStatus status = file.ReadAt(nextDirectoryField, frame.nextDirectoryBytes, field); status != StatusOk)
            return status;
        ++result.pages;
        uint64_t pageEnd = 0;
        if (PluginStatus status = CheckDirectoryBounds(file, {directory, static_cast<uint16_t>(entries), flavour},
                                                       byteOrder, size, &pageEnd);
            status != StatusOk)
            return status;
        result.chainEnd = std::max(result.chainEnd, pageEnd);
        const uint64_t next = GetUnsigned(field, frame.nextDirectoryBytes, byteOrder);
        if (next == 0) {
            result.nextDirectoryField = nextDirectoryField;
            *end = result;
            return StatusOk;
        }
        previous = directory;
        directory = next;
    }
}

bool TailIsUnfinishedAppend(const ChainEnd& end, uint64_t base) {
    return end.fileSize > base && end.chainEnd <= base && base - end.chainEnd <= 1;
}
