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
    PageDirectory read{};
    PluginStatus status = FindDirectoryKind(pageCount, *layout, settingsByteOrder, read);
    if (status != StatusOk) return status;
    const int32_t byteOrder = read.byteOrder;
    const TiffFlavour flavour = read.flavour;
    const TiffFrame& frame = FrameOf(flavour);
    const uint32_t position = DirectoryPositionInPageFile(pageCount, flavour);

    uint8_t entries[kBigFrame.entryBytes * kEntriesRead];
    status = file_.ReadAt(position + frame.entryCountBytes, frame.entryBytes * kEntriesRead, entries);
    if (status != StatusOk) return status;
    uint32_t compression = 0;
    uint64_t stripOffset = 0;
    auto single = [&](uint32_t index, uint16_t tag, auto* value) {
        return ReadSingleValue(entries + frame.entryBytes * index, tag, byteOrder, value, flavour);
    };
    if (!single(entry_index::kImageWidth, TagImageWidth, &read.width) ||
        !single(entry_index::kImageLength, TagImageLength, &read.height) ||
        !single(entry_index::kCompression, TagCompression, &compression) ||
        !single(entry_index::kStripOffsets, TagStripOffsets, &stripOffset) ||
        !single(entry_index::kStripByteCounts, TagStripByteCounts, &read.declaredStrip))
        return StatusBadSequence;
    // The page's compression as the directory has it, which also says
    // whether a Predictor entry belongs to it.
    read.compression = CodingOfTag(compression);
    if (read.entryCount != PageEntryCount(*layout, read.compression)) return StatusBadSequence;
    read.headerBytes = position;
    read.blockBytes = PageBlockBytes(*layout, read.compression, flavour);
    // The page file names the offset it was laid out for.
    if (stripOffset < read.blockBytes) return StatusBadSequence;
    read.directoryOffset = stripOffset - read.blockBytes;
    if (pageCount == 0 && read.directoryOffset != frame.headerBytes) return StatusBadSequence;
    if (read.compression == CompressionGroup3OneD) {
        status = ReadGroup3Coding(format, entries, read);
        if (status != StatusOk) return status;
    }
    directory_ = read;
    return StatusOk;
}

PluginStatus PageFile::FindDirectoryKind(uint32_t pageCount, const FormatLayout& layout, int32_t settingsByteOrder,
                                         PageDirectory& read) {
    // The entry count is the layout's, or one more where a Predictor or
    // T4Options entry can be; it reads right in one byte order and flavour
    // only, with NewSubfileType as the first entry's tag.
    const uint32_t fewest = layout.entryCount;
    const uint32_t most =
        std::max(PageEntryCount(layout, CompressionLzw), PageEntryCount(layout, CompressionGroup3OneD));
    const int32_t first = settingsByteOrder == ByteOrderIntel ? ByteOrderIntel : ByteOrderMotorola;
    for (TiffFlavour flavour : {TiffFlavour::Classic, TiffFlavour::Big}) {
        const TiffFrame& frame = FrameOf(flavour);
        uint8_t start[8 + 2];
        const PluginStatus status =
            file_.ReadAt(DirectoryPositionInPageFile(pageCount, flavour), frame.entryCountBytes + 2, start);
        if (status != StatusOk) return status;
        for (int32_t order : {first, OtherByteOrder(first)}) {
            const uint64_t count = GetUnsigned(start, frame.entryCountBytes, order);
            if (count < fewest || count > most || GetShort(start + frame.entryCountBytes, order) != TagNewSubfileType)
                continue;
            read.byteOrder = order;
            read.flavour = flavour;
            read.entryCount = static_cast<uint32_t>(count);
            return StatusOk;
        }
    }
    return StatusBadSequence;
}

PluginStatus PageFile::ReadGroup3Coding(int32_t format, const uint8_t* entries, PageDirectory& read) {
    const TiffFrame& frame = FrameOf(read.flavour);
    uint32_t options = 0;
    if (format != FormatBilevel || !ReadSingleValue(entries + frame.entryBytes * entry_index::kT4Options, TagT4Options,
                                                    read.byteOrder, &options, read.flavour))
        return StatusBadSequence;
    if (options & 1u) read.compression = CompressionGroup3TwoD;
    const uint8_t* entry = entries + frame.entryBytes * entry_index::kGreyYResolution;
    if (GetShort(entry, read.byteOrder) != TagYResolution) return StatusBadSequence;
    const uint8_t* field = entry + 4 + frame.countBytes;
    // A BigTIFF entry holds the rational itself.
    if (read.flavour == TiffFlavour::Big) {
        read.yResolution = GetLong(field, read.byteOrder);
        return StatusOk;
    }
    const uint32_t valueOffset = GetLong(field, read.byteOrder);
    if (valueOffset < read.directoryOffset) return StatusBadSequence;
    uint8_t rational[8];
    const PluginStatus status = file_.ReadAt(read.headerBytes + (valueOffset - read.directoryOffset), 8, rational);
    if (status != StatusOk) return status;
    read.yResolution = GetLong(rational, read.byteOrder);
    return StatusOk;
}

PluginStatus PageFile::Rewrite(uint32_t index, const DirectoryEntry& entry) {
    const TiffFrame& frame = FrameOf(directory_.flavour);
    uint8_t bytes[kBigFrame.entryBytes];
    EncodeEntry(bytes, entry, directory_.byteOrder, directory_.flavour);
    return file_.WriteAt(directory_.headerBytes + frame.entryCountBytes + frame.entryBytes * index, frame.entryBytes,
                         bytes);
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
