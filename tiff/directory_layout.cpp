#include "tiff/directory_layout.h"

#include <cstring>

#include "tiff/directory_entry.h"
#include "tiff/file_header.h"
#include "tiff/g3_encoder.h"

namespace {

// Appends entries and value areas to a staging block in entry order.
class DirectoryBuilder {
public:
    DirectoryBuilder(uint8_t* staging, const PagePlan& plan)
        : staging_(staging),
          entryBase_(plan.entryBase),
          nextValueOffset_(plan.nextDirectoryField + kNextDirectoryBytes) {}

    void Add(uint16_t tag, uint16_t type, uint32_t count, uint32_t value) {
        DirectoryEntry entry{tag, type, count, value};
        std::memcpy(staging_ + kEntryBytes * entries_++, &entry, sizeof(entry));
    }
    // SHORT where it fits, LONG beyond 65,535 so that nothing is cut.
    void AddDimension(uint16_t tag, uint32_t value) { Add(tag, DimensionType(value), 1, value); }
    // Reserves the next value area and returns its file offset.
    uint32_t Reserve(uint32_t bytes) {
        uint32_t offset = nextValueOffset_;
        nextValueOffset_ += bytes;
        return offset;
    }
    void PutShortAt(uint32_t fileOffset, uint16_t value) { std::memcpy(At(fileOffset), &value, 2); }
    void PutLongAt(uint32_t fileOffset, uint32_t value) { std::memcpy(At(fileOffset), &value, 4); }
    // A RATIONAL of value / 1 in a reserved area.
    uint32_t AddRationalArea(uint32_t numerator) {
        uint32_t offset = Reserve(8);
        PutLongAt(offset, numerator);
        PutLongAt(offset + 4, 1);
        return offset;
    }

private:
    uint8_t* At(uint32_t fileOffset) { return staging_ + (fileOffset - entryBase_); }

    uint8_t* staging_;
    uint32_t entryBase_;
    uint32_t nextValueOffset_;
    uint32_t entries_ = 0;
};

uint16_t PhotometricOf(const LayoutRequest& request, LayoutFamily family) {
    switch (family) {
        case LayoutFamily::Rgb: return PhotometricRgb;
        case LayoutFamily::Palette: return PhotometricPalette;
        case LayoutFamily::Gray: break;
    }
    // Group 4 and Group 3 code black as 1 (WhiteIsZero); uncompressed and
    // PackBits pages keep the host's bit sense, where 1 is white (BlackIsZero).
    const bool fax = IsGroup4Page(request.format, request.compression) ||
                     (request.format == FormatBilevel && IsGroup3(request.compression));
    return fax ? PhotometricWhiteIsZero : PhotometricBlackIsZero;
}

// After PageNumber, in tag order.
void AddPredictor(DirectoryBuilder& builder, const LayoutRequest& request, const PagePlan& plan) {
    if (UsesPredictor(request.format, plan.compression)) builder.Add(TagPredictor, TypeShort, 1, PredictorHorizontal);
}

// After YResolution, on Group 3 pages: the coding the coder chooses for the
// page's resolution (ChooseG3Coding).
void AddT4Options(DirectoryBuilder& builder, const LayoutRequest& request, const PagePlan& plan) {
    if (!IsGroup3(plan.compression)) return;
    const G3Coding coding = ChooseG3Coding(plan.compression == CompressionGroup3TwoD, request.page.yResolution);
    builder.Add(TagT4Options, TypeLong, 1, T4Options(coding));
}

uint32_t SubfileTypeOf(const LayoutRequest& request) { return request.multiPage ? SubfilePage : SubfileSinglePage; }

void FillRgb(DirectoryBuilder& builder, const LayoutRequest& request, const PagePlan& plan) {
    const FormatLayout& layout = *plan.layout;
    uint32_t bitsOffset = builder.Reserve(6);
    for (uint32_t i = 0; i < 3; ++i) builder.PutShortAt(bitsOffset + 2 * i, layout.bitsPerSample);
    uint32_t xOffset = builder.AddRationalArea(request.page.xResolution);
    uint32_t yOffset = builder.AddRationalArea(request.page.yResolution);
    uint16_t maxSample = layout.bitsPerSample == 16 ? 65535 : 255;

    builder.Add(TagNewSubfileType, TypeLong, 1, SubfileTypeOf(request));
    builder.AddDimension(TagImageWidth, request.page.width);
    builder.AddDimension(TagImageLength, request.page.height);
    builder.Add(TagBitsPerSample, TypeShort, 3, bitsOffset);
    builder.Add(TagCompression, TypeShort, 1, CompressionTag(plan.compression));
    builder.Add(TagPhotometric, TypeShort, 1, PhotometricRgb);
    builder.Add(TagStripOffsets, TypeLong, 1, plan.directoryOffset + plan.blockBytes);
    builder.Add(TagSamplesPerPixel, TypeShort, 1, 3);
    builder.AddDimension(TagRowsPerStrip, request.page.height);
    builder.Add(TagStripByteCounts, TypeLong, 1, static_cast<uint32_t>(plan.stripBytes));
    builder.Add(TagMinSampleValue, TypeShort, 1, 0);
    builder.Add(TagMaxSampleValue, TypeShort, 1, maxSample);
    builder.Add(TagXResolution, TypeRational, 1, xOffset);
    builder.Add(TagYResolution, TypeRational, 1, yOffset);
    builder.Add(TagPlanarConfiguration, TypeShort, 1, PlanarChunky);
    builder.Add(TagResolutionUnit, TypeShort, 1, ResolutionUnitInch);
    builder.Add(TagPageNumber, TypeShort, 2, request.pageCount & 0xFFFF);
    AddPredictor(builder, request, plan);
}

// Grey, bilevel and palette pages share their first fourteen entries.
void FillGrayOrPalette(DirectoryBuilder& builder, const LayoutRequest& request, const PagePlan& plan) {
    const FormatLayout& layout = *plan.layout;
    uint32_t xOffset = builder.AddRationalArea(request.page.xResolution);
    uint32_t yOffset = builder.AddRationalArea(request.page.yResolution);

    builder.Add(TagNewSubfileType, TypeLong, 1, SubfileTypeOf(request));
    builder.AddDimension(TagImageWidth, request.page.width);
    builder.AddDimension(TagImageLength, request.page.height);
    builder.Add(TagBitsPerSample, TypeShort, 1, layout.bitsPerSample);
    builder.Add(TagCompression, TypeShort, 1, CompressionTag(plan.compression));
    builder.Add(TagPhotometric, TypeShort, 1, PhotometricOf(request, layout.family));
    builder.Add(TagStripOffsets, TypeLong, 1, plan.directoryOffset + plan.blockBytes);
    builder.Add(TagSamplesPerPixel, TypeShort, 1, 1);
    builder.AddDimension(TagRowsPerStrip, request.page.height);
    builder.Add(TagStripByteCounts, TypeLong, 1, static_cast<uint32_t>(plan.stripBytes));
    builder.Add(TagXResolution, TypeRational, 1, xOffset);
    builder.Add(TagYResolution, TypeRational, 1, yOffset);
    AddT4Options(builder, request, plan);
    builder.Add(TagResolutionUnit, TypeShort, 1, ResolutionUnitInch);
    builder.Add(TagPageNumber, TypeShort, 2, request.pageCount & 0xFFFF);
    AddPredictor(builder, request, plan);  // never on palette pages: their ColorMap is the last entry
    if (layout.family == LayoutFamily::Palette) {
        uint32_t mapValues = 3 * layout.colorMapValues;
        builder.Add(TagColorMap, TypeShort, mapValues, builder.Reserve(2 * mapValues));  // zero until the palette
    }
}

}  // namespace

PluginStatus PlanPage(const LayoutRequest& request, PagePlan* plan) {
    const FormatLayout* layout = FindLayout(request.format);
    if (layout == nullptr) return StatusUnsupportedImage;
    uint64_t stripBytes = StripBytes(request.format, request.page.width, request.page.height);
    if (stripBytes >= kOffsetLimit) return StatusWriteFailed;

    PagePlan result{};
    result.layout = layout;
    result.compression = PageCompression(request.format, request.compression, request.colorCompression);
    result.entryCount = PageEntryCount(*layout, result.compression);
    result.blockBytes = PageBlockBytes(*layout, result.compression);
    result.stagingBytes = result.blockBytes - kEntryCountBytes;
    result.directoryOffset = request.multiPage ? request.directoryOffset : kFirstDirectoryOffset;
    result.entryBase = result.directoryOffset + kEntryCountBytes;
    result.nextDirectoryField = NextDirectoryField(result.directoryOffset, result.entryCount);
    result.stripBytes = stripBytes;
    result.pageBytes = PageSizeTestBytes(*layout, stripBytes) + (result.blockBytes - BlockBytes(*layout));
    if (result.pageBytes >= kOffsetLimit) return StatusWriteFailed;

    // The next page must start on a word boundary: an odd strip gets a pad byte.
    uint64_t endOffset = uint64_t{result.directoryOffset} + result.blockBytes + stripBytes + (stripBytes & 1);
    if (endOffset >= kOffsetLimit) return StatusWriteFailed;
    result.endOffset = static_cast<uint32_t>(endOffset);
    *plan = result;
    return StatusOk;
}

void FillDirectory(const LayoutRequest& request, const PagePlan& plan, uint8_t* staging) {
    DirectoryBuilder builder(staging, plan);
    if (plan.layout->family == LayoutFamily::Rgb) {
        FillRgb(builder, request, plan);
    } else {
        FillGrayOrPalette(builder, request, plan);
    }
}

uint32_t DirectoryPositionInPageFile(uint32_t pageCount) { return pageCount == 0 ? kHeaderBytes : 0; }

uint32_t EntryPositionInTempFile(uint32_t entryIndex, uint32_t pageCount) {
    return DirectoryPositionInPageFile(pageCount) + kEntryCountBytes + kEntryBytes * entryIndex;
}

uint32_t NextDirectoryField(uint32_t directoryOffset, uint32_t entryCount) {
    return directoryOffset + kEntryCountBytes + kEntryBytes * entryCount;
}
