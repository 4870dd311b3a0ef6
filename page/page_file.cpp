#include "page/page_file.h"

#include <algorithm>
#include <cstring>

#include "page/page_temp_file.h"
#include "platform/win32.h"
#include "tiff/byte_order.h"
#include "tiff/directory_layout.h"
#include "tiff/directory_writer.h"
#include "tiff/image_format.h"

namespace {

int32_t OtherByteOrder(int32_t byteOrder) { return byteOrder == ByteOrderIntel ? ByteOrderMotorola : ByteOrderIntel; }

// The entries from ImageWidth to StripByteCounts, which every layout has
// in the same places, and those to T4Options, which Group 3 pages have
// (every layout has at least as many entries).
constexpr uint32_t kEntriesRead = entry_index::kT4Options + 1;

// The Compression tag's value as the page's coding: Group 3 pages are told
// apart by T4Options later.
int32_t CodingOfTag(uint32_t tag) {
    const auto value = static_cast<int32_t>(tag);
    const bool known = value == CompressionGroup4 || value == CompressionGroup3OneD || value == CompressionPackBits ||
                       IsLzwOrDeflate(value);
    return known ? value : CompressionNone;
}

const uint8_t* EntryAt(const uint8_t* entries, uint32_t index) { return entries + kEntryBytes * index; }

}  // namespace

PluginStatus PageFile::Create(CreationRecord& record, char (&path)[260]) {
    ForgetTrailingPage();
    FileIdentity identity;
    return CreatePageTempFile(file_, record, path, &identity);
}

PluginStatus PageFile::Open() { return file_.OpenOwned(path_, ParseFileIdentity(identity_), true); }

void PageFile::BeginTrailingPage(const PageDirectory& page, uint32_t pageCount, int32_t format, uint32_t xResolution,
                                 uint32_t yResolution) {
    trailing_ = TrailingPage{page, pageCount, format, xResolution, yResolution, {}, false, {}};
    trailing_.directory.blockBytes = 0;
    std::memcpy(trailing_.identity, identity_, sizeof(trailing_.identity));
    directory_ = trailing_.directory;
}

bool PageFile::HoldsTrailingPage() const {
    return trailing_.identity[0] != '\0' &&
           std::strncmp(trailing_.identity, identity_, sizeof(trailing_.identity)) == 0;
}

void PageFile::KeepColorMap(const PaletteColors& palette, uint32_t planeValues) {
    if (planeValues > 256) return;
    std::memset(trailing_.colorMap, 0, sizeof(trailing_.colorMap));
    BuildColorMap(palette, planeValues, trailing_.colorMap);
    trailing_.colorMapKept = true;
}

void PageFile::ForgetTrailingPage() {
    trailing_ = TrailingPage{};
    stripCounts_.Clear();
}

PluginStatus PageFile::ReadDirectory(uint32_t pageCount, int32_t format, int32_t settingsByteOrder) {
    if (HoldsTrailingPage() && trailing_.pageCount == pageCount && trailing_.format == format) {
        directory_ = trailing_.directory;
        return StatusOk;
    }
    const FormatLayout* layout = FindLayout(format);
    if (layout == nullptr) return StatusBadSequence;
    const uint32_t position = DirectoryPositionInPageFile(pageCount);
    uint8_t count[kEntryCountBytes];
    PluginStatus status = file_.ReadAt(position, sizeof(count), count);
    if (status != StatusOk) return status;

    // The entry count reads right in one byte order only (it is below 256):
    // the layout's, or one more where a Predictor entry can be.
    const uint32_t fewest = layout->entryCount;
    const uint32_t most =
        std::max(PageEntryCount(*layout, CompressionLzw), PageEntryCount(*layout, CompressionGroup3OneD));
    auto plausible = [&](int32_t order) { return GetShort(count, order) >= fewest && GetShort(count, order) <= most; };
    int32_t byteOrder = settingsByteOrder == ByteOrderIntel ? ByteOrderIntel : ByteOrderMotorola;
    if (!plausible(byteOrder)) byteOrder = OtherByteOrder(byteOrder);
    if (!plausible(byteOrder)) return StatusBadSequence;

    uint8_t entries[kEntryBytes * kEntriesRead];
    status = file_.ReadAt(position + kEntryCountBytes, sizeof(entries), entries);
    if (status != StatusOk) return status;
    PageDirectory read{};
    uint32_t compression = 0;
    uint32_t stripOffset = 0;
    if (!ReadSingleValue(EntryAt(entries, entry_index::kImageWidth), TagImageWidth, byteOrder, &read.width) ||
        !ReadSingleValue(EntryAt(entries, entry_index::kImageLength), TagImageLength, byteOrder, &read.height) ||
        !ReadSingleValue(EntryAt(entries, entry_index::kCompression), TagCompression, byteOrder, &compression) ||
        !ReadSingleValue(EntryAt(entries, entry_index::kStripOffsets), TagStripOffsets, byteOrder, &stripOffset) ||
        !ReadSingleValue(EntryAt(entries, entry_index::kStripByteCounts), TagStripByteCounts, byteOrder,
                         &read.declaredStrip))
        return StatusBadSequence;
    // The page's compression as the directory has it, which also says
    // whether a Predictor entry belongs to it.
    read.compression = CodingOfTag(compression);
    read.byteOrder = byteOrder;
    read.entryCount = GetShort(count, byteOrder);
    if (read.entryCount != PageEntryCount(*layout, read.compression)) return StatusBadSequence;
    read.headerBytes = position;
    read.blockBytes = PageBlockBytes(*layout, read.compression);
    // The page file names the offset it was laid out for.
    if (stripOffset < read.blockBytes) return StatusBadSequence;
    read.directoryOffset = stripOffset - read.blockBytes;
    if (pageCount == 0 && read.directoryOffset != kFirstDirectoryOffset) return StatusBadSequence;
    if (read.compression == CompressionGroup3OneD) {
        status = ReadGroup3Coding(format, entries, read);
        if (status != StatusOk) return status;
    }
    directory_ = read;
    return StatusOk;
}

PluginStatus PageFile::ReadGroup3Coding(int32_t format, const uint8_t* entries, PageDirectory& read) {
    uint32_t options = 0;
    if (format != FormatBilevel ||
        !ReadSingleValue(EntryAt(entries, entry_index::kT4Options), TagT4Options, read.byteOrder, &options))
        return StatusBadSequence;
    if (options & 1u) read.compression = CompressionGroup3TwoD;
    const uint8_t* entry = EntryAt(entries, entry_index::kGreyYResolution);
    const uint32_t valueOffset = GetLong(entry + 8, read.byteOrder);
    if (GetShort(entry, read.byteOrder) != TagYResolution || valueOffset < read.directoryOffset)
        return StatusBadSequence;
    uint8_t rational[8];
    const PluginStatus status = file_.ReadAt(read.headerBytes + (valueOffset - read.directoryOffset), 8, rational);
    if (status != StatusOk) return status;
    read.yResolution = GetLong(rational, read.byteOrder);
    return StatusOk;
}

PluginStatus PageFile::Rewrite(uint32_t index, const DirectoryEntry& entry) {
    uint8_t bytes[kEntryBytes];
    EncodeEntry(bytes, entry, directory_.byteOrder);
    return file_.WriteAt(directory_.headerBytes + kEntryCountBytes + kEntryBytes * index, sizeof(bytes), bytes);
}

PluginStatus PageFile::Discard() {
    CloseIfOpen();
    ForgetTrailingPage();
    return Remove();
}

void PageFile::DropCommitted() {
    CloseIfOpen();
    ForgetTrailingPage();
    if (Remove() != StatusOk && GetLastError() != ERROR_FILE_NOT_FOUND) {
        std::memcpy(strayPath_, path_, sizeof(strayPath_));
        strayIdentity_ = ParseFileIdentity(identity_);
    }
}

void PageFile::DropStray() {
    if (strayPath_[0] == '\0') return;
    FileHandle::RemoveOwned(strayPath_, strayIdentity_);
    strayPath_[0] = '\0';
}

PluginStatus PageFile::Remove() {
    const FileIdentity identity = ParseFileIdentity(identity_);
    if (!identity.known) return FileHandle::RemoveFile(path_);
    return FileHandle::RemoveOwned(path_, identity);
}
