#include "entry/page_file_settings.h"

#include "tiff/byte_order.h"
#include "tiff/directory_entry.h"
#include "tiff/directory_layout.h"
#include "tiff/image_format.h"

namespace {

constexpr uint32_t kImageWidthIndex = entry_index::kImageWidth;
constexpr uint32_t kImageLengthIndex = entry_index::kImageLength;
constexpr uint32_t kCompressionIndex = entry_index::kCompression;

int32_t OtherByteOrder(int32_t byteOrder) { return byteOrder == ByteOrderIntel ? ByteOrderMotorola : ByteOrderIntel; }

// A one-value SHORT or LONG entry with the given tag.
bool EntryValue(const uint8_t* entry, uint16_t tag, int32_t byteOrder, uint32_t* value) {
    if (GetShort(entry, byteOrder) != tag || GetLong(entry + 4, byteOrder) != 1) return false;
    uint16_t type = GetShort(entry + 2, byteOrder);
    if (type == TypeShort)
        *value = GetShort(entry + 8, byteOrder);
    else if (type == TypeLong)
        *value = GetLong(entry + 8, byteOrder);
    else
        return false;
    return true;
}

}  // namespace

PluginStatus ReadPageFileSettings(FileHandle& file, uint32_t pageCount, int32_t format, int32_t settingsByteOrder,
                                  PageFileSettings* settings) {
    const FormatLayout* layout = FindLayout(format);
    if (layout == nullptr) return StatusBadSequence;
    const uint32_t directory = DirectoryPositionInPageFile(pageCount);
    uint8_t count[kEntryCountBytes];
    PluginStatus status = file.ReadAt(directory, sizeof(count), count);
    if (status != StatusOk) return status;

    // The entry count reads right in one byte order only (it is below 256):
    // the layout's, or one more where a Predictor entry can be.
    const uint32_t fewest = layout->entryCount;
    const uint32_t most = PageEntryCount(*layout, CompressionLzw);
    auto plausible = [&](int32_t order) { return GetShort(count, order) >= fewest && GetShort(count, order) <= most; };
    int32_t byteOrder = settingsByteOrder == ByteOrderIntel ? ByteOrderIntel : ByteOrderMotorola;
    if (!plausible(byteOrder)) byteOrder = OtherByteOrder(byteOrder);
    if (!plausible(byteOrder)) return StatusBadSequence;

    uint8_t entries[kEntryBytes * (kCompressionIndex + 1)];
    status = file.ReadAt(directory + kEntryCountBytes, sizeof(entries), entries);
    if (status != StatusOk) return status;
    uint32_t width = 0;
    uint32_t height = 0;
    uint32_t compression = 0;
    if (!EntryValue(entries + kEntryBytes * kImageWidthIndex, TagImageWidth, byteOrder, &width) ||
        !EntryValue(entries + kEntryBytes * kImageLengthIndex, TagImageLength, byteOrder, &height) ||
        !EntryValue(entries + kEntryBytes * kCompressionIndex, TagCompression, byteOrder, &compression))
        return StatusBadSequence;
    // The page's compression as the directory has it, which also says
    // whether a Predictor entry belongs to it.
    const int32_t pageCompression = compression == CompressionGroup4 || IsCodedPage(static_cast<int32_t>(compression))
                                        ? static_cast<int32_t>(compression)
                                        : CompressionNone;
    if (GetShort(count, byteOrder) != PageEntryCount(*layout, pageCompression)) return StatusBadSequence;
    settings->byteOrder = byteOrder;
    settings->compression = pageCompression;
    settings->height = height;
    settings->width = width;
    return StatusOk;
}
