// Directory layouts and their serialisation, checked byte by byte against
// the worked examples of the file format.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "tiff/byte_order.h"
#include "tiff/directory_layout.h"
#include "tiff/directory_writer.h"
#include "tiff/file_header.h"

namespace {

using Bytes = std::vector<uint8_t>;

struct Page {
    int32_t format = FormatGray8;
    uint32_t width = 100;
    uint32_t height = 50;
    uint32_t pageCount = 0;
    uint64_t offset = 8;
    int32_t byteOrder = ByteOrderIntel;
    int32_t compression = CompressionNone;
    TiffFlavour flavour = TiffFlavour::Classic;
};

LayoutRequest RequestFor(const Page& page) {
    return {page.format,     page.compression, true, page.pageCount, page.offset, {page.width, page.height, 300, 300},
            CompressionNone, page.flavour};
}

class DirectoryTest : public ::testing::Test {
protected:
    // Lays the page out and serialises it as BeginPage does; returns the bytes.
    Bytes Serialise(const Page& page, PagePlan* planOut = nullptr) {
        LayoutRequest request = RequestFor(page);
        PagePlan plan;
        EXPECT_EQ(PlanPage(request, &plan), StatusOk);
        std::vector<uint8_t> staging(plan.stagingBytes, 0);
        FillDirectory(request, plan, staging.data());
        const TiffHeader header = HeaderFor(page.byteOrder, page.flavour);
        const TiffHeader* first = page.pageCount == 0 ? &header : nullptr;
        StagedDirectory directory{staging.data(), plan.stagingBytes, plan.entryCount, plan.entryBase, page.flavour};
        // Header, count, entries, values.
        Bytes bytes((first != nullptr ? FrameOf(page.flavour).headerBytes : 0) + plan.blockBytes);
        uint32_t size = 0;
        const auto capacity = static_cast<uint32_t>(bytes.size());
        EXPECT_EQ(SerializeDirectory(directory, first, page.byteOrder, bytes.data(), capacity, &size), StatusOk);
        EXPECT_EQ(size, bytes.size());
        if (planOut != nullptr) *planOut = plan;
        return bytes;
    }
};

// Value of the entry with `tag` in a serialised directory starting at `at`.
struct Entry {
    uint16_t type;
    uint32_t count;
    uint32_t value;
};
Entry FindEntry(const Bytes& bytes, uint32_t at, uint16_t tag, int32_t order) {
    uint16_t count = GetShort(&bytes[at], order);
    for (uint16_t i = 0; i < count; ++i) {
        const uint8_t* entry = &bytes[at + 2 + 12 * i];
        if (GetShort(entry, order) != tag) continue;
        uint16_t type = GetShort(entry + 2, order);
        uint32_t n = GetLong(entry + 4, order);
        uint32_t value = (type == TypeShort && n <= 2) ? GetShort(entry + 8, order) : GetLong(entry + 8, order);
        return {type, n, value};
    }
    ADD_FAILURE() << "no tag " << tag;
    return {};
}

TEST_F(DirectoryTest, FirstGray8PageIntel) {
    PagePlan plan;
    Bytes bytes = Serialise(Page{}, &plan);
    ASSERT_EQ(bytes.size(), 198u);
    EXPECT_EQ(Bytes(bytes.begin(), bytes.begin() + 10), (Bytes{0x49, 0x49, 0x2A, 0, 8, 0, 0, 0, 0x0E, 0}));
    EXPECT_EQ(Bytes(bytes.begin() + 178, bytes.begin() + 182), (Bytes{0, 0, 0, 0}));
    EXPECT_EQ(FindEntry(bytes, 8, TagXResolution, ByteOrderIntel).value, 182u);
    EXPECT_EQ(FindEntry(bytes, 8, TagYResolution, ByteOrderIntel).value, 190u);
    EXPECT_EQ(FindEntry(bytes, 8, TagStripOffsets, ByteOrderIntel).value, 198u);
    EXPECT_EQ(FindEntry(bytes, 8, TagStripByteCounts, ByteOrderIntel).value, 5000u);
    EXPECT_EQ(FindEntry(bytes, 8, TagNewSubfileType, ByteOrderIntel).value, 2u);
    EXPECT_EQ(FindEntry(bytes, 8, TagPageNumber, ByteOrderIntel).value, 0u);
    EXPECT_EQ(GetLong(&bytes[182], ByteOrderIntel), 300u);  // X resolution 300/1
    EXPECT_EQ(GetLong(&bytes[186], ByteOrderIntel), 1u);
    EXPECT_EQ(plan.nextDirectoryField, 178u);
    EXPECT_EQ(plan.endOffset, 5198u);
}

TEST_F(DirectoryTest, MotorolaHeaderAndShortValuesLeadTheirField) {
    Page page;
    page.byteOrder = ByteOrderMotorola;
    page.width = 300;
    Bytes bytes = Serialise(page);
    EXPECT_EQ(Bytes(bytes.begin(), bytes.begin() + 10), (Bytes{0x4D, 0x4D, 0, 0x2A, 0, 0, 0, 8, 0, 0x0E}));
    const uint8_t* width = &bytes[10 + 12 * 1];  // entry 2: ImageWidth
    EXPECT_EQ(Bytes(width, width + 12), (Bytes{1, 0, 0, 3, 0, 0, 0, 1, 0x01, 0x2C, 0, 0}));
}

TEST_F(DirectoryTest, PageNumberCarriesPageCountInBothOrders) {
    for (int32_t order : {ByteOrderIntel, ByteOrderMotorola}) {
        Page page;
        page.byteOrder = order;
        page.pageCount = 3;
        page.offset = 10000;
        Bytes bytes = Serialise(page);
        const uint8_t* value = &bytes[2 + 12 * 13 + 8];  // entry 14: PageNumber, no header
        Bytes expected = order == ByteOrderIntel ? Bytes{3, 0, 0, 0} : Bytes{0, 3, 0, 0};
        EXPECT_EQ(Bytes(value, value + 4), expected) << order;
    }
}

TEST_F(DirectoryTest, SecondPageLaidOutAtItsOffset) {
    Page page;
    page.pageCount = 1;
    page.offset = 5198;
    PagePlan plan;
    Bytes bytes = Serialise(page, &plan);
    ASSERT_EQ(bytes.size(), 190u);  // no header
    EXPECT_EQ(GetShort(&bytes[0], ByteOrderIntel), 14);
    EXPECT_EQ(FindEntry(bytes, 0, TagStripOffsets, ByteOrderIntel).value, 5388u);
    EXPECT_EQ(FindEntry(bytes, 0, TagXResolution, ByteOrderIntel).value, 5372u);
    EXPECT_EQ(FindEntry(bytes, 0, TagYResolution, ByteOrderIntel).value, 5380u);
    EXPECT_EQ(FindEntry(bytes, 0, TagPageNumber, ByteOrderIntel).value, 1u);
    EXPECT_EQ(plan.entryBase, 5200u);
    EXPECT_EQ(plan.endOffset, 10388u);
    EXPECT_EQ(plan.nextDirectoryField, 5368u);
}

struct LayoutCase {
    int32_t format;
    uint32_t fileBytes;  // header + directory block of a first page
    uint32_t stripOffset;
    uint32_t nextDirectoryField;
    uint16_t firstAreaTag;
    uint32_t firstAreaOffset;
};

TEST_F(DirectoryTest, FirstPageOffsetsPerFamily) {
    const LayoutCase cases[] = {
        {FormatRgb24, 240, 240, 214, TagBitsPerSample, 218}, {FormatRgb48, 240, 240, 214, TagBitsPerSample, 218},
        {FormatGray16, 198, 198, 178, TagXResolution, 182},  {FormatGray4, 198, 198, 178, TagXResolution, 182},
        {FormatBilevel, 198, 198, 178, TagXResolution, 182}, {FormatPalette8, 1746, 1746, 190, TagColorMap, 210},
        {FormatPalette4, 306, 306, 190, TagColorMap, 210},
    };
    for (const LayoutCase& c : cases) {
        Page page;
        page.format = c.format;
        PagePlan plan;
        Bytes bytes = Serialise(page, &plan);
        SCOPED_TRACE(c.format);
        EXPECT_EQ(bytes.size(), c.fileBytes);
        EXPECT_EQ(FindEntry(bytes, 8, TagStripOffsets, ByteOrderIntel).value, c.stripOffset);
        EXPECT_EQ(plan.nextDirectoryField, c.nextDirectoryField);
        uint32_t area = c.firstAreaTag == TagColorMap ? 210 : c.firstAreaOffset;
        EXPECT_EQ(FindEntry(bytes, 8, c.firstAreaTag, ByteOrderIntel).value, area);
    }
}

TEST_F(DirectoryTest, RgbBitsPerSampleAndMaxSample) {
    Page page;
    page.format = FormatRgb24;
    PagePlan plan;
    Bytes bytes = Serialise(page, &plan);
    EXPECT_EQ(Bytes(bytes.begin() + 218, bytes.begin() + 224), (Bytes{8, 0, 8, 0, 8, 0}));
    EXPECT_EQ(plan.stripBytes, 15000u);
    EXPECT_EQ(plan.endOffset, 15240u);
    EXPECT_EQ(FindEntry(bytes, 8, TagMaxSampleValue, ByteOrderIntel).value, 255u);

    page.format = FormatRgb48;
    page.byteOrder = ByteOrderMotorola;
    bytes = Serialise(page);
    EXPECT_EQ(Bytes(bytes.begin() + 218, bytes.begin() + 224), (Bytes{0, 16, 0, 16, 0, 16}));
    EXPECT_EQ(FindEntry(bytes, 8, TagMaxSampleValue, ByteOrderMotorola).value, 65535u);
}

TEST_F(DirectoryTest, PaletteMapIsZeroAtTheEnd) {
    Page page;
    page.format = FormatPalette8;
    Bytes bytes = Serialise(page);
    Entry map = FindEntry(bytes, 8, TagColorMap, ByteOrderIntel);
    EXPECT_EQ(map.count, 768u);
    EXPECT_EQ(Bytes(bytes.end() - 1536, bytes.end()), Bytes(1536, 0));
    page.format = FormatPalette4;
    EXPECT_EQ(FindEntry(Serialise(page), 8, TagColorMap, ByteOrderIntel).count, 48u);
}

TEST_F(DirectoryTest, BilevelCompressionAndPhotometric) {
    for (int32_t compression : {CompressionNone, CompressionGroup4}) {
        Page page;
        page.format = FormatBilevel;
        page.compression = compression;
        PagePlan plan;
        Bytes bytes = Serialise(page, &plan);
        EXPECT_EQ(plan.stripBytes, 13u * 50);
        EXPECT_EQ(FindEntry(bytes, 8, TagCompression, ByteOrderIntel).value, uint32_t(compression));
        EXPECT_EQ(FindEntry(bytes, 8, TagPhotometric, ByteOrderIntel).value, compression == 4 ? 0u : 1u);
    }
}

TEST_F(DirectoryTest, DimensionsAboveShortRangeAreLongs) {
    Page page;
    page.format = FormatBilevel;
    page.width = 70000;
    page.height = 3;
    Bytes bytes = Serialise(page);
    Entry width = FindEntry(bytes, 8, TagImageWidth, ByteOrderIntel);
    EXPECT_EQ(width.type, TypeLong);
    EXPECT_EQ(width.value, 70000u);
    EXPECT_EQ(FindEntry(bytes, 8, TagImageLength, ByteOrderIntel).type, TypeShort);
    EXPECT_EQ(FindEntry(bytes, 8, TagRowsPerStrip, ByteOrderIntel).type, TypeShort);
}

TEST_F(DirectoryTest, SizeLimitsAndUnsupportedFormats) {
    PagePlan plan;
    LayoutRequest request = RequestFor(Page{});
    request.format = FormatRgb48;
    request.page.width = request.page.height = 20000;
    EXPECT_EQ(PlanPage(request, &plan), StatusOk);
    request.page.width = request.page.height = 30000;
    EXPECT_EQ(PlanPage(request, &plan), StatusWriteFailed);
    request.page.width = request.page.height = 0xFFFFFFFFu;  // must not wrap round to a small size
    EXPECT_EQ(PlanPage(request, &plan), StatusWriteFailed);
    request.page.width = request.page.height = 20000;
    request.directoryOffset = 2000000000;  // the page would end past 4 GiB
    EXPECT_EQ(PlanPage(request, &plan), StatusWriteFailed);
    for (int32_t format : {int32_t{FormatPalette1}, int32_t{FormatNone}, int32_t{1234}}) {
        request.format = format;
        EXPECT_EQ(PlanPage(request, &plan), StatusUnsupportedImage);
    }
}

TEST_F(DirectoryTest, OddStripIsPaddedToAnEvenEnd) {
    Page page;
    page.width = 5;
    page.height = 3;  // 15-byte strip
    PagePlan plan;
    Serialise(page, &plan);
    EXPECT_EQ(plan.stripBytes, 15u);
    EXPECT_EQ(plan.endOffset, 198u + 16);
}

// A JPEG page's directory follows its strips on a word boundary, in tag
// order, with every value area on a word boundary (the tables are odd) and
// the strips' offsets and sizes and the tables where the entries say.
TEST_F(DirectoryTest, JpegPageDirectoryFollowsItsStrips) {
    const uint32_t counts[] = {1001, 998, 38};
    Bytes tables(289);
    for (size_t i = 0; i < tables.size(); ++i) tables[i] = static_cast<uint8_t>(i);
    for (int32_t format : {int32_t{FormatRgb24}, int32_t{FormatGray8}}) {
        SCOPED_TRACE(format);
        const int32_t order = ByteOrderMotorola;
        TrailingLayoutRequest request{format, true, 2, 1000, {100, 40, 300, 300}, 16, counts, 3, tables.data(), 289};
        PagePlan plan;
        ASSERT_EQ(PlanTrailingPage(request, &plan), StatusOk);
        EXPECT_EQ(plan.directoryOffset, 1000u + 2037 + 1);
        EXPECT_EQ(plan.endOffset, plan.directoryOffset + plan.blockBytes);
        Bytes staging(plan.stagingBytes, 0);
        FillTrailingDirectory(request, plan, staging.data());
        StagedDirectory directory{staging.data(), plan.stagingBytes, plan.entryCount, plan.entryBase};
        Bytes bytes(plan.blockBytes);
        uint32_t size = 0;
        ASSERT_EQ(SerializeDirectory(directory, nullptr, order, bytes.data(), plan.blockBytes, &size), StatusOk);
        ASSERT_EQ(size, plan.blockBytes);
        auto at = [&](uint32_t fileOffset) { return &bytes[fileOffset - plan.directoryOffset]; };

        uint16_t previousTag = 0;
        for (uint32_t i = 0; i < plan.entryCount; ++i) {
            const uint8_t* entry = &bytes[2 + 12 * i];
            EXPECT_GT(GetShort(entry, order), previousTag);
            previousTag = GetShort(entry, order);
            const uint16_t type = GetShort(entry + 2, order);
            const uint32_t count = GetLong(entry + 4, order);
            const uint32_t width = type == TypeShort ? 2 : type == TypeLong ? 4 : type == TypeRational ? 8 : 1;
            if (width * count > 4) {
                EXPECT_EQ(GetLong(entry + 8, order) % 2, 0u) << previousTag;
            }
        }
        const Entry offsets = FindEntry(bytes, 0, TagStripOffsets, order);
        ASSERT_EQ(offsets.count, 3u);
        EXPECT_EQ(GetLong(at(offsets.value) + 8, order), 1000u + 1001 + 998);
        EXPECT_EQ(GetLong(at(FindEntry(bytes, 0, TagStripByteCounts, order).value) + 4, order), 998u);
        const Entry jpegTables = FindEntry(bytes, 0, TagJpegTables, order);
        EXPECT_EQ(jpegTables.type, TypeUndefined);
        EXPECT_EQ(Bytes(at(jpegTables.value), at(jpegTables.value) + jpegTables.count), tables);
        EXPECT_EQ(FindEntry(bytes, 0, TagCompression, order).value, uint32_t{CompressionJpeg});
        if (format == FormatRgb24) {
            EXPECT_EQ(FindEntry(bytes, 0, TagPhotometric, order).value, uint32_t{PhotometricYCbCr});
            const Entry reference = FindEntry(bytes, 0, TagReferenceBlackWhite, order);
            EXPECT_EQ(GetLong(at(reference.value) + 16, order), 128u);
            EXPECT_EQ(reference.value + 48, plan.endOffset);
        } else {
            EXPECT_EQ(FindEntry(bytes, 0, TagPhotometric, order).value, uint32_t{PhotometricBlackIsZero});
            EXPECT_EQ(jpegTables.value + 290, plan.endOffset);
        }
    }
}

TEST_F(DirectoryTest, JpegPagesThatDoNotAddUpAreRefused) {
    const uint32_t counts[] = {500, 0x7FFFFFFF, 400};
    const uint8_t tables[4] = {0xFF, 0xD8, 0xFF, 0xD9};
    const TrailingLayoutRequest good{FormatGray8, false, 0, 8, {10, 33, 300, 300}, 16, counts, 3, tables, 4};
    struct Case {
        const char* what;
        TrailingLayoutRequest request;
        PluginStatus status;
    };
    Case cases[] = {{"fits", good, StatusOk},
                    {"16-bit grey", good, StatusUnsupportedImage},
                    {"a strip short", good, StatusBadRecord},
                    {"a strip too many", good, StatusBadRecord},
                    {"an empty strip", good, StatusBadRecord},
                    {"no tables", good, StatusBadRecord},
                    {"past 4 GiB", good, StatusWriteFailed}};
    cases[1].request.format = FormatGray16;
    cases[2].request.page.height = 49;
    cases[3].request.page.height = 32;
    const uint32_t empty[] = {500, 0, 400};
    cases[4].request.stripByteCounts = empty;
    cases[5].request.tablesBytes = 0;
    cases[6].request.firstStripOffset = 0x7FFFFFFF;
    for (const Case& c : cases) {
        PagePlan plan;
        EXPECT_EQ(PlanTrailingPage(c.request, &plan), c.status) << c.what;
    }
}

// A BigTIFF entry: tag, type, 8-byte count, 8-byte value or offset.
struct BigEntry {
    uint16_t type;
    uint64_t count;
    const uint8_t* field;
};
BigEntry FindBigEntry(const Bytes& bytes, uint64_t at, uint16_t tag, int32_t order) {
    const uint64_t count = GetUnsigned(&bytes[at], 8, order);
    for (uint64_t i = 0; i < count; ++i) {
        const uint8_t* entry = &bytes[at + 8 + 20 * i];
        if (GetShort(entry, order) == tag)
            return {GetShort(entry + 2, order), GetUnsigned(entry + 4, 8, order), entry + 12};
    }
    ADD_FAILURE() << "no tag " << tag;
    return {0, 0, &bytes[0]};
}

// A BigTIFF page's header and directory in both byte orders: 8-byte offsets
// and counts, strips as LONG8, and the values of up to 8 bytes (the
// resolutions, BitsPerSample, PageNumber) in their entries.
TEST_F(DirectoryTest, BigTiffFirstPagesInBothOrders) {
    struct Case {
        int32_t format;
        int32_t order;
        Bytes header;
        uint32_t blockBytes;  // count, entries, next offset, value areas
    };
    const Case cases[] = {
        {FormatGray8, ByteOrderIntel, {0x49, 0x49, 0x2B, 0, 8, 0, 0, 0, 16, 0, 0, 0, 0, 0, 0, 0}, 8 + 20 * 14 + 8},
        {FormatRgb48, ByteOrderMotorola, {0x4D, 0x4D, 0, 0x2B, 0, 8, 0, 0, 0, 0, 0, 0, 0, 0, 0, 16}, 8 + 20 * 17 + 8},
        {FormatPalette4,
         ByteOrderIntel,
         {0x49, 0x49, 0x2B, 0, 8, 0, 0, 0, 16, 0, 0, 0, 0, 0, 0, 0},
         8 + 20 * 15 + 8 + 3 * 16 * 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.format);
        Page page;
        page.format = c.format;
        page.byteOrder = c.order;
        page.offset = 16;
        page.flavour = TiffFlavour::Big;
        PagePlan plan;
        const Bytes bytes = Serialise(page, &plan);
        ASSERT_EQ(plan.blockBytes, c.blockBytes);
        EXPECT_EQ(Bytes(bytes.begin(), bytes.begin() + 16), c.header);
        const BigEntry offsets = FindBigEntry(bytes, 16, TagStripOffsets, c.order);
        EXPECT_EQ(offsets.type, kTypeLong8);
        EXPECT_EQ(GetUnsigned(offsets.field, 8, c.order), 16u + c.blockBytes);
        const BigEntry sizes = FindBigEntry(bytes, 16, TagStripByteCounts, c.order);
        EXPECT_EQ(sizes.type, kTypeLong8);
        EXPECT_EQ(GetUnsigned(sizes.field, 8, c.order), plan.stripBytes);
        const BigEntry x = FindBigEntry(bytes, 16, TagXResolution, c.order);
        EXPECT_EQ(GetLong(x.field, c.order), 300u);
        EXPECT_EQ(GetLong(x.field + 4, c.order), 1u);
        const BigEntry bits = FindBigEntry(bytes, 16, TagBitsPerSample, c.order);
        const uint32_t samples = c.format == FormatRgb48 ? 3 : 1;
        ASSERT_EQ(bits.count, samples);
        for (uint32_t i = 0; i < samples; ++i)
            EXPECT_EQ(GetShort(bits.field + 2 * i, c.order), c.format == FormatRgb48   ? 16u
                                                             : c.format == FormatGray8 ? 8u
                                                                                       : 4u);
        EXPECT_EQ(GetUnsigned(&bytes[plan.nextDirectoryField], 8, c.order), 0u);
        EXPECT_EQ(plan.nextDirectoryField, 16 + 8 + 20 * plan.entryCount);
        EXPECT_EQ(plan.endOffset, 16 + c.blockBytes + plan.stripBytes + (plan.stripBytes & 1));
    }
}

// Past 4 GiB a classic page has no place; a BigTIFF page's offsets are 64-bit
// there, and the flavour's limit keeps every sum far from overflow.
TEST_F(DirectoryTest, BigTiffOffsetsPassFourGibibytes) {
    Page page;
    page.pageCount = 20;
    page.offset = uint64_t{5} << 30;
    LayoutRequest request = RequestFor(page);
    PagePlan plan;
    EXPECT_EQ(PlanPage(request, &plan), StatusWriteFailed);
    page.flavour = TiffFlavour::Big;
    const Bytes bytes = Serialise(page, &plan);
    EXPECT_EQ(plan.directoryOffset, page.offset);
    EXPECT_EQ(GetUnsigned(FindBigEntry(bytes, 0, TagStripOffsets, ByteOrderIntel).field, 8, ByteOrderIntel),
              page.offset + plan.blockBytes);
    EXPECT_EQ(plan.nextDirectoryField, page.offset + 8 + 20 * 14);
    request = RequestFor(page);
    request.directoryOffset = (uint64_t{1} << 62) - 100;
    EXPECT_EQ(PlanPage(request, &plan), StatusWriteFailed);
    request.directoryOffset = page.offset;
    request.page.width = 70000;  // a strip of 4 GiB or more: too large in either flavour
    request.page.height = 70000;
    EXPECT_EQ(PlanPage(request, &plan), StatusWriteFailed);
}

// A BigTIFF page whose directory follows its strips (JPEG, LZW): many
// strips' offsets and sizes as LONG8 arrays, one strip's in its entries,
// past 4 GiB.
TEST_F(DirectoryTest, BigTiffTrailingStripArrays) {
    const uint32_t counts[] = {1001, 998, 38};
    const Bytes tables(289, 7);
    for (int32_t compression : {int32_t{CompressionJpeg}, int32_t{CompressionLzw}}) {
        for (uint32_t strips : {3u, 1u}) {
            SCOPED_TRACE(std::to_string(compression) + " " + std::to_string(strips));
            const int32_t order = ByteOrderMotorola;
            const uint64_t first = uint64_t{6} << 30;
            TrailingLayoutRequest request{FormatRgb24,
                                          true,
                                          2,
                                          first,
                                          {100, strips == 3 ? 40u : 16u, 300, 300},
                                          16,
                                          counts,
                                          strips,
                                          tables.data(),
                                          289,
                                          compression,
                                          nullptr,
                                          TiffFlavour::Big};
            PagePlan plan;
            ASSERT_EQ(PlanTrailingPage(request, &plan), StatusOk);
            Bytes staging(plan.stagingBytes, 0);
            FillTrailingDirectory(request, plan, staging.data());
            const StagedDirectory directory{staging.data(), plan.stagingBytes, plan.entryCount, plan.entryBase,
                                            TiffFlavour::Big};
            Bytes bytes(plan.blockBytes);
            uint32_t size = 0;
            ASSERT_EQ(SerializeDirectory(directory, nullptr, order, bytes.data(), plan.blockBytes, &size), StatusOk);
            ASSERT_EQ(size, plan.blockBytes);
            const BigEntry offsets = FindBigEntry(bytes, 0, TagStripOffsets, order);
            EXPECT_EQ(offsets.type, kTypeLong8);
            ASSERT_EQ(offsets.count, strips);
            const uint64_t where = GetUnsigned(offsets.field, 8, order);
            if (strips == 1) {
                EXPECT_EQ(where, first);
            } else {
                EXPECT_EQ(GetUnsigned(&bytes[where - plan.directoryOffset + 16], 8, order), first + 1001 + 998);
            }
            EXPECT_EQ(plan.endOffset, plan.directoryOffset + plan.blockBytes);
        }
    }
}

// A buffer one byte short, or an entry whose values lie outside the staging
// block, is refused without a byte beyond the buffer.
TEST_F(DirectoryTest, SerialiserRefusesWhatDoesNotFit) {
    LayoutRequest request = RequestFor(Page{});
    PagePlan plan;
    ASSERT_EQ(PlanPage(request, &plan), StatusOk);
    std::vector<uint8_t> staging(plan.stagingBytes, 0);
    FillDirectory(request, plan, staging.data());
    StagedDirectory directory{staging.data(), plan.stagingBytes, plan.entryCount, plan.entryBase};
    Bytes bytes(plan.blockBytes);
    uint32_t size = 7;
    const auto shortCapacity = static_cast<uint32_t>(bytes.size() - 1);
    EXPECT_EQ(SerializeDirectory(directory, nullptr, ByteOrderIntel, bytes.data(), shortCapacity, &size),
              StatusWriteFailed);
    EXPECT_EQ(size, 0u);
    DirectoryEntry outside{TagXResolution, TypeRational, 1, plan.entryBase + plan.stagingBytes};
    StageEntry(&staging[kEntryBytes * entry_index::kGreyXResolution], outside, TiffFlavour::Classic);
    EXPECT_EQ(SerializeDirectory(directory, nullptr, ByteOrderIntel, bytes.data(), static_cast<uint32_t>(bytes.size()),
                                 &size),
              StatusWriteFailed);
}

TEST(EncodeEntry, ValueFieldRules) {
    struct Case {
        DirectoryEntry entry;
        int32_t order;
        Bytes value;
    };
    const Case cases[] = {
        {{1, TypeByte, 1, 0x1234}, ByteOrderMotorola, {0x34, 0, 0, 0}},
        // Up to four 1-byte values sit in the field, in order, in either byte order.
        {{1, TypeAscii, 3, 0x00434241}, ByteOrderMotorola, {0x41, 0x42, 0x43, 0}},
        {{1, TypeUndefined, 4, 0x04030201}, ByteOrderIntel, {1, 2, 3, 4}},
        {{1, TypeUndefined, 5, 0x100}, ByteOrderIntel, {0, 1, 0, 0}},
        {{1, TypeShort, 1, 0x1234}, ByteOrderMotorola, {0x12, 0x34, 0, 0}},
        {{1, TypeShort, 2, 0x00050003}, ByteOrderIntel, {3, 0, 5, 0}},
        {{1, TypeShort, 3, 0x100}, ByteOrderIntel, {0, 1, 0, 0}},
        {{1, TypeLong, 1, 0x01020304}, ByteOrderMotorola, {1, 2, 3, 4}},
        {{1, TypeRational, 1, 224}, ByteOrderIntel, {224, 0, 0, 0}},
        {{1, 13, 1, 0xFFFFFFFF}, ByteOrderIntel, {0, 0, 0, 0}},
    };
    for (const Case& c : cases) {
        uint8_t bytes[12];
        EncodeEntry(bytes, c.entry, c.order);
        EXPECT_EQ(Bytes(bytes + 8, bytes + 12), c.value) << c.entry.type << "/" << c.entry.count;
    }
}

}  // namespace
