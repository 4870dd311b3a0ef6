#include "tiff/directory_layout.h"

#include <cstring>

#include "tiff/byte_order.h"
#include "tiff/directory_entry.h"
#include "tiff/file_header.h"
#include "tiff/g3_encoder.h"

namespace {

constexpr uint32_t EvenBytes(uint32_t bytes) { return bytes + (bytes & 1); }

// A page's strips as its directory names them: one after another from
// firstOffset, each rowsPerStrip rows but the last.
struct StripTable {
    uint64_t firstOffset;
    uint32_t rowsPerStrip;
    const uint32_t* byteCounts;
    uint32_t count;
};

// The bytes of one offset or strip size of the flavour: LONG or LONG8.
constexpr uint32_t OffsetBytes(const TiffFrame& frame) { return frame.offsetType == TypeLong ? 4 : 8; }

// The bytes the StripOffsets and StripByteCounts arrays take out of line.
constexpr uint32_t StripArrayBytes(uint32_t stripCount, const TiffFrame& frame) {
    return stripCount > 1 ? 2 * OffsetBytes(frame) * stripCount : 0;
}

// Appends entries and value areas to a staging block in entry order.
class DirectoryBuilder {
public:
    DirectoryBuilder(uint8_t* staging, const PagePlan& plan)
        : staging_(staging),
          flavour_(plan.flavour),
          frame_(FrameOf(plan.flavour)),
          entryBase_(plan.entryBase),
          nextValueOffset_(plan.nextDirectoryField + frame_.nextDirectoryBytes) {}

    void Add(uint16_t tag, uint16_t type, uint32_t count, uint64_t value) {
        StageEntry(staging_ + frame_.entryBytes * entries_++, {tag, type, count, value}, flavour_);
    }
    // SHORT where it fits, LONG beyond 65,535 so that nothing is cut.
    void AddDimension(uint16_t tag, uint32_t value) { Add(tag, DimensionType(value), 1, value); }
    // One offset or strip size: LONG, or LONG8 in a BigTIFF file.
    void AddOffset(uint16_t tag, uint64_t value) { Add(tag, frame_.offsetType, 1, value); }
    // `count` SHORTs of `value` (BitsPerSample): in the entry where they fit.
    void AddShorts(uint16_t tag, uint32_t count, uint16_t value) {
        if (2 * count <= frame_.nextDirectoryBytes) {
            uint64_t packed = 0;
            for (uint32_t i = 0; i < count; ++i) packed |= uint64_t{value} << (16 * i);
            return Add(tag, TypeShort, count, packed);
        }
        const uint64_t offset = Reserve(2 * count);
        for (uint32_t i = 0; i < count; ++i) PutShortAt(offset + 2 * i, value);
        Add(tag, TypeShort, count, offset);
    }
    // A RATIONAL of numerator / 1: in the entry where it fits (BigTIFF).
    void AddRational(uint16_t tag, uint32_t numerator) {
        if (frame_.nextDirectoryBytes >= 8) return Add(tag, TypeRational, 1, numerator | uint64_t{1} << 32);
        Add(tag, TypeRational, 1, AddRationalArea(numerator));
    }
    // Reserves the next value area and returns its file offset. Areas start
    // on word boundaries: an odd one is followed by a pad byte.
    uint64_t Reserve(uint32_t bytes) {
        uint64_t offset = nextValueOffset_;
        nextValueOffset_ += EvenBytes(bytes);
        return offset;
    }
    void PutShortAt(uint64_t fileOffset, uint16_t value) { std::memcpy(At(fileOffset), &value, 2); }
    void PutLongAt(uint64_t fileOffset, uint32_t value) { std::memcpy(At(fileOffset), &value, 4); }
    void PutLong8At(uint64_t fileOffset, uint64_t value) { std::memcpy(At(fileOffset), &value, 8); }
    void PutBytesAt(uint64_t fileOffset, const uint8_t* bytes, uint32_t count) {
        std::memcpy(At(fileOffset), bytes, count);
    }
    // One offset or size per strip (LONG, or LONG8 in a BigTIFF file),
    // `valueOf(strip)`: inline for a single strip, else in a reserved area.
    template <typename ValueOf>
    void AddPerStrip(uint16_t tag, uint32_t stripCount, const ValueOf& valueOf) {
        if (stripCount == 1) return AddOffset(tag, valueOf(0));
        const uint32_t width = OffsetBytes(frame_);
        const uint64_t offset = Reserve(width * stripCount);
        for (uint32_t strip = 0; strip < stripCount; ++strip) {
            if (width == 4)
                PutLongAt(offset + 4 * strip, static_cast<uint32_t>(valueOf(strip)));
            else
                PutLong8At(offset + 8 * strip, valueOf(strip));
        }
        Add(tag, frame_.offsetType, stripCount, offset);
    }
    // A RATIONAL of value / 1 in a reserved area.
    uint64_t AddRationalArea(uint32_t numerator) {
        uint64_t offset = Reserve(8);
        PutLongAt(offset, numerator);
        PutLongAt(offset + 4, 1);
        return offset;
    }

private:
    uint8_t* At(uint64_t fileOffset) { return staging_ + (fileOffset - entryBase_); }

    uint8_t* staging_;
    TiffFlavour flavour_;
    const TiffFrame& frame_;
    uint64_t entryBase_;
    uint64_t nextValueOffset_;
    uint32_t entries_ = 0;
};

// StripOffsets, then (after SamplesPerPixel, which `between` adds)
// RowsPerStrip and StripByteCounts, in tag order.
template <typename Between>
void AddStrips(DirectoryBuilder& builder, const StripTable& strips, const Between& between) {
    uint64_t nextStrip = strips.firstOffset;
    builder.AddPerStrip(TagStripOffsets, strips.count, [&](uint32_t strip) {
        const uint64_t offset = nextStrip;
        nextStrip += strips.byteCounts[strip];
        return offset;
    });
    between();
    builder.AddDimension(TagRowsPerStrip, strips.rowsPerStrip);
    builder.AddPerStrip(TagStripByteCounts, strips.count,
                        [&](uint32_t strip) { return uint64_t{strips.byteCounts[strip]}; });
}

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

void FillRgb(DirectoryBuilder& builder, const LayoutRequest& request, const PagePlan& plan, const StripTable& strips) {
    const FormatLayout& layout = *plan.layout;
    uint16_t maxSample = layout.bitsPerSample == 16 ? 65535 : 255;

    builder.Add(TagNewSubfileType, TypeLong, 1, SubfileTypeOf(request));
    builder.AddDimension(TagImageWidth, request.page.width);
    builder.AddDimension(TagImageLength, request.page.height);
    builder.AddShorts(TagBitsPerSample, 3, layout.bitsPerSample);
    builder.Add(TagCompression, TypeShort, 1, CompressionTag(plan.compression));
    builder.Add(TagPhotometric, TypeShort, 1, PhotometricRgb);
    AddStrips(builder, strips, [&] { builder.Add(TagSamplesPerPixel, TypeShort, 1, 3); });
    builder.Add(TagMinSampleValue, TypeShort, 1, 0);
    builder.Add(TagMaxSampleValue, TypeShort, 1, maxSample);
    builder.AddRational(TagXResolution, request.page.xResolution);
    builder.AddRational(TagYResolution, request.page.yResolution);
    builder.Add(TagPlanarConfiguration, TypeShort, 1, PlanarChunky);
    builder.Add(TagResolutionUnit, TypeShort, 1, ResolutionUnitInch);
    builder.Add(TagPageNumber, TypeShort, 2, request.pageCount & 0xFFFF);
    AddPredictor(builder, request, plan);
}

// Grey, bilevel and palette pages share their first fourteen entries. Each
// value area is reserved as its entry is added: the serialiser writes the
// areas in entry order. A palette page's ColorMap is the last area.
void FillGrayOrPalette(DirectoryBuilder& builder, const LayoutRequest& request, const PagePlan& plan,
                       const StripTable& strips, const uint8_t* colorMap) {
    const FormatLayout& layout = *plan.layout;
    builder.Add(TagNewSubfileType, TypeLong, 1, SubfileTypeOf(request));
    builder.AddDimension(TagImageWidth, request.page.width);
    builder.AddDimension(TagImageLength, request.page.height);
    builder.Add(TagBitsPerSample, TypeShort, 1, layout.bitsPerSample);
    builder.Add(TagCompression, TypeShort, 1, CompressionTag(plan.compression));
    builder.Add(TagPhotometric, TypeShort, 1, PhotometricOf(request, layout.family));
    AddStrips(builder, strips, [&] { builder.Add(TagSamplesPerPixel, TypeShort, 1, 1); });
    builder.AddRational(TagXResolution, request.page.xResolution);
    builder.AddRational(TagYResolution, request.page.yResolution);
    AddT4Options(builder, request, plan);
    builder.Add(TagResolutionUnit, TypeShort, 1, ResolutionUnitInch);
    builder.Add(TagPageNumber, TypeShort, 2, request.pageCount & 0xFFFF);
    AddPredictor(builder, request, plan);  // never on palette pages: their ColorMap is the last entry
    if (layout.family == LayoutFamily::Palette) {
        uint32_t mapValues = 3 * layout.colorMapValues;
        const uint64_t mapOffset = builder.Reserve(2 * mapValues);  // zero until the palette
        if (colorMap != nullptr) builder.PutBytesAt(mapOffset, colorMap, 2 * mapValues);
        builder.Add(TagColorMap, TypeShort, mapValues, mapOffset);
    }
}

// A JPEG page's entries and value areas.
constexpr uint32_t kJpegRgbEntries = 18;
constexpr uint32_t kJpegGrayEntries = 15;
constexpr uint32_t kReferenceBlackWhiteBytes = 6 * 8;

// BitsPerSample and the resolutions lie in a BigTIFF file's entries.
uint32_t JpegValueBytes(bool colour, uint32_t stripCount, uint32_t tablesBytes, const TiffFrame& frame) {
    const bool wideEntries = frame.nextDirectoryBytes >= 8;
    const uint32_t stripArrays = StripArrayBytes(stripCount, frame);
    const uint32_t resolutions = wideEntries ? 0 : 2 * 8;
    const uint32_t bits = colour && !wideEntries ? 6 : 0;
    const uint32_t colourAreas = colour ? bits + kReferenceBlackWhiteBytes : 0;  // BitsPerSample, ReferenceBlackWhite
    return stripArrays + resolutions + EvenBytes(tablesBytes) + colourAreas;
}

// The entries of a JPEG page in tag order, each value area reserved as its
// entry is added: the serialiser writes the areas in entry order.
void FillJpeg(DirectoryBuilder& builder, const TrailingLayoutRequest& request, const StripTable& strips) {
    const bool colour = request.format == FormatRgb24;
    builder.Add(TagNewSubfileType, TypeLong, 1, request.multiPage ? SubfilePage : SubfileSinglePage);
    builder.AddDimension(TagImageWidth, request.page.width);
    builder.AddDimension(TagImageLength, request.page.height);
    builder.AddShorts(TagBitsPerSample, colour ? 3 : 1, 8);
    builder.Add(TagCompression, TypeShort, 1, CompressionJpeg);
    builder.Add(TagPhotometric, TypeShort, 1, colour ? PhotometricYCbCr : PhotometricBlackIsZero);
    AddStrips(builder, strips, [&] { builder.Add(TagSamplesPerPixel, TypeShort, 1, colour ? 3 : 1); });
    builder.AddRational(TagXResolution, request.page.xResolution);
    builder.AddRational(TagYResolution, request.page.yResolution);
    if (colour) builder.Add(TagPlanarConfiguration, TypeShort, 1, PlanarChunky);
    builder.Add(TagResolutionUnit, TypeShort, 1, ResolutionUnitInch);
    builder.Add(TagPageNumber, TypeShort, 2, request.pageCount & 0xFFFF);
    const uint64_t tablesOffset = builder.Reserve(request.tablesBytes);
    builder.PutBytesAt(tablesOffset, request.tables, request.tablesBytes);
    builder.Add(TagJpegTables, TypeUndefined, request.tablesBytes, tablesOffset);
    if (!colour) return;
    builder.Add(TagYCbCrSubSampling, TypeShort, 2, 2u | 2u << 16);  // chroma halved across and down
    // Full-range samples: Y from 0 to 255, Cb and Cr centred on 128.
    const uint64_t referenceOffset = builder.Reserve(kReferenceBlackWhiteBytes);
    const uint32_t reference[6] = {0, 255, 128, 255, 128, 255};
    for (uint32_t i = 0; i < 6; ++i) {
        builder.PutLongAt(referenceOffset + 8 * i, reference[i]);
        builder.PutLongAt(referenceOffset + 8 * i + 4, 1);
    }
    builder.Add(TagReferenceBlackWhite, TypeRational, 6, referenceOffset);
}

// The entries and value areas of a page whose directory follows its strips.
struct TrailingShape {
    uint32_t entryCount;
    uint64_t valueBytes;
};

TrailingShape ShapeOfTrailingPage(const TrailingLayoutRequest& r, const FormatLayout& layout) {
    const TiffFrame& frame = FrameOf(r.flavour);
    if (r.compression == CompressionJpeg) {
        const bool colour = r.format == FormatRgb24;
        return {colour ? kJpegRgbEntries : kJpegGrayEntries,
                JpegValueBytes(colour, r.stripCount, r.tablesBytes, frame)};
    }
    return {PageEntryCount(layout, r.compression),
            uint64_t{ValueAreaBytes(layout, r.flavour)} + StripArrayBytes(r.stripCount, frame)};
}

StripTable StripsOf(const TrailingLayoutRequest& r) {
    return {r.firstStripOffset, r.rowsPerStrip, r.stripByteCounts, r.stripCount};
}

}  // namespace

PluginStatus PlanTrailingPage(const TrailingLayoutRequest& request, PagePlan* plan) {
    const TrailingLayoutRequest& r = request;
    const FormatLayout* layout = FindLayout(r.format);
    const bool jpeg = r.compression == CompressionJpeg;
    if (layout == nullptr || (jpeg && !IsJpegFormat(r.format))) return StatusUnsupportedImage;
    if (r.page.width == 0 || r.page.height == 0 || r.rowsPerStrip == 0) return StatusBadRecord;
    const uint64_t strips = (uint64_t{r.page.height} + r.rowsPerStrip - 1) / r.rowsPerStrip;
    if (r.stripCount != strips || r.stripByteCounts == nullptr) return StatusBadRecord;
    if (jpeg && (r.tables == nullptr || r.tablesBytes == 0)) return StatusBadRecord;
    const TiffFrame& frame = FrameOf(r.flavour);
    if (r.firstStripOffset < frame.headerBytes) return StatusBadRecord;
    uint64_t stripBytes = 0;
    for (uint32_t strip = 0; strip < r.stripCount; ++strip) {
        if (r.stripByteCounts[strip] == 0) return StatusBadRecord;
        stripBytes += r.stripByteCounts[strip];
    }
    // Every count and area below is bounded by the limits checked here; a
    // page's strips, like any strip, stay below 4 GiB.
    const uint64_t stripsEnd = r.firstStripOffset + stripBytes;
    if (stripsEnd >= frame.offsetLimit || stripBytes >= kOffsetLimit || r.stripCount >= kOffsetLimit / 16 ||
        r.tablesBytes >= kOffsetLimit / 2)
        return StatusWriteFailed;

    const TrailingShape shape = ShapeOfTrailingPage(r, *layout);
    PagePlan result{};
    result.layout = layout;
    result.flavour = r.flavour;
    result.compression = r.compression;
    result.entryCount = shape.entryCount;
    const uint64_t stagingBytes =
        uint64_t{frame.entryBytes} * result.entryCount + frame.nextDirectoryBytes + shape.valueBytes;
    const uint64_t directoryOffset = stripsEnd + (stripsEnd & 1);
    const uint64_t endOffset = directoryOffset + frame.entryCountBytes + stagingBytes;
    if (endOffset >= frame.offsetLimit || endOffset - r.firstStripOffset >= kOffsetLimit) return StatusWriteFailed;
    result.stagingBytes = static_cast<uint32_t>(stagingBytes);
    result.blockBytes = result.stagingBytes + frame.entryCountBytes;
    result.directoryOffset = directoryOffset;
    result.entryBase = result.directoryOffset + frame.entryCountBytes;
    result.nextDirectoryField = NextDirectoryField(result.directoryOffset, result.entryCount, r.flavour);
    result.stripBytes = stripBytes;
    result.pageBytes = endOffset - r.firstStripOffset;
    result.endOffset = endOffset;
    *plan = result;
    return StatusOk;
}

void FillTrailingDirectory(const TrailingLayoutRequest& request, const PagePlan& plan, uint8_t* staging) {
    DirectoryBuilder builder(staging, plan);
    const StripTable strips = StripsOf(request);
    if (plan.compression == CompressionJpeg) return FillJpeg(builder, request, strips);
    const LayoutRequest page{request.format,       plan.compression, request.multiPage, request.pageCount,
                             plan.directoryOffset, request.page,     plan.compression,  request.flavour};
    if (plan.layout->family == LayoutFamily::Rgb) return FillRgb(builder, page, plan, strips);
    FillGrayOrPalette(builder, page, plan, strips, request.colorMap);
}

PluginStatus PlanPage(const LayoutRequest& request, PagePlan* plan) {
    const FormatLayout* layout = FindLayout(request.format);
    if (layout == nullptr) return StatusUnsupportedImage;
    uint64_t stripBytes = StripBytes(request.format, request.page.width, request.page.height);
    if (stripBytes >= kOffsetLimit) return StatusWriteFailed;  // a strip stays below 4 GiB, even in a BigTIFF file

    const TiffFlavour flavour = request.flavour;
    const TiffFrame& frame = FrameOf(flavour);
    PagePlan result{};
    result.layout = layout;
    result.flavour = flavour;
    result.compression = PageCompression(request.format, request.compression, request.colorCompression);
    result.entryCount = PageEntryCount(*layout, result.compression);
    result.blockBytes = PageBlockBytes(*layout, result.compression, flavour);
    result.stagingBytes = result.blockBytes - frame.entryCountBytes;
    result.directoryOffset = request.multiPage ? request.directoryOffset : frame.headerBytes;
    result.entryBase = result.directoryOffset + frame.entryCountBytes;
    result.nextDirectoryField = NextDirectoryField(result.directoryOffset, result.entryCount, flavour);
    result.stripBytes = stripBytes;
    result.pageBytes =
        PageSizeTestBytes(*layout, stripBytes, flavour) + (result.blockBytes - BlockBytes(*layout, flavour));
    if (result.pageBytes >= kOffsetLimit) return StatusWriteFailed;

    // The next page must start on a word boundary: an odd strip gets a pad byte.
    uint64_t endOffset = result.directoryOffset + result.blockBytes + stripBytes + (stripBytes & 1);
    if (endOffset >= frame.offsetLimit) return StatusWriteFailed;
    result.endOffset = endOffset;
    *plan = result;
    return StatusOk;
}

void FillDirectory(const LayoutRequest& request, const PagePlan& plan, uint8_t* staging) {
    DirectoryBuilder builder(staging, plan);
    const uint32_t stripBytes = static_cast<uint32_t>(plan.stripBytes);  // below the offset limit (PlanPage)
    const StripTable strip{plan.directoryOffset + plan.blockBytes, request.page.height, &stripBytes, 1};
    if (plan.layout->family == LayoutFamily::Rgb) {
        FillRgb(builder, request, plan, strip);
    } else {
        FillGrayOrPalette(builder, request, plan, strip, nullptr);
    }
}

uint32_t DirectoryPositionInPageFile(uint32_t pageCount, TiffFlavour flavour) {
    return pageCount == 0 ? FrameOf(flavour).headerBytes : 0;
}

uint32_t EntryPositionInTempFile(uint32_t entryIndex, uint32_t pageCount, TiffFlavour flavour) {
    const TiffFrame& frame = FrameOf(flavour);
    return DirectoryPositionInPageFile(pageCount, flavour) + frame.entryCountBytes + frame.entryBytes * entryIndex;
}

uint64_t NextDirectoryField(uint64_t directoryOffset, uint32_t entryCount, TiffFlavour flavour) {
    const TiffFrame& frame = FrameOf(flavour);
    return directoryOffset + frame.entryCountBytes + uint64_t{frame.entryBytes} * entryCount;
}
