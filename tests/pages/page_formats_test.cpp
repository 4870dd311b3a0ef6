// Every format in both byte orders, classic TIFF and BigTIFF, as 1 and 3 page
// files with odd widths and bands from one row to the whole page, checked
// with independent readers.
#include <cstdio>

#include "pages/page_job.h"

namespace page_test {
namespace {

struct FormatCase {
    int32_t format;
    int32_t compression;  // the setting: 1 or 32773 (every format), 3, 65539, 4 (bilevel), 5, 8 or 7
                          // (all others; 7: Deflate for those JPEG does not suit)
};
void PrintTo(const FormatCase& c, std::ostream* out) {
    *out << "format " << c.format << " compression " << c.compression;
}

// The format, the byte order and the file kind ("BigTIFF").
using FormatParam = std::tuple<FormatCase, int32_t, uint32_t>;

class PageFormats : public PageJobTest, public ::testing::WithParamInterface<FormatParam> {
protected:
    void UseSettings(int32_t byteOrder, int32_t compression) {
        WriteValue("BigTIFF", std::get<2>(GetParam()));
        const bool bilevel = compression == CompressionNone || compression == CompressionGroup4 ||
                             compression == CompressionGroup3OneD || compression == CompressionGroup3TwoD;
        const bool packBits = compression == CompressionPackBits;
        PageJobTest::UseSettings(byteOrder, bilevel || packBits ? compression : CompressionNone,
                                 bilevel ? CompressionNone : compression);
    }
};

TEST_P(PageFormats, ThreePagesDecodeExactly) {
    auto [formatCase, byteOrder, fileKind] = GetParam();
    UseSettings(byteOrder, formatCase.compression);
    const PageShape shapes[] = {
        {formatCase.format, 13, 7, 1},  // one row per band
        {formatCase.format, 1, 5, 0},   // the whole page in one band
        {formatCase.format, 7, 9, 4},   // a short last band
    };
    std::vector<HostPage> pages;
    for (const PageShape& shape : shapes) {
        pages.push_back(MakePage(shape, static_cast<uint32_t>(pages.size() + 7 * shape.format)));
        ASSERT_EQ(RunPage(pages.back(), pages.size() > 1), 0) << "page " << pages.size();
    }
    EXPECT_EQ(Run(CmdEndJob), 0);
    CheckOutput(pages);
}

TEST_P(PageFormats, SinglePageOfWidthFive) {
    auto [formatCase, byteOrder, fileKind] = GetParam();
    UseSettings(byteOrder, formatCase.compression);
    std::vector<HostPage> pages{MakePage({formatCase.format, 5, 3, 2}, 99)};
    ASSERT_EQ(RunPage(pages[0], false), 0);
    EXPECT_EQ(Run(CmdEndJob), 0);
    CheckOutput(pages);
}

// Pages of another height than announced, as scanners that do not know a
// page's length deliver them: short, long across a band, and long past
// 65,535 rows (ImageLength turns LONG), chained with a page as announced.
TEST_P(PageFormats, ShortAndLongPagesDecodeExactly) {
    auto [formatCase, byteOrder, fileKind] = GetParam();
    UseSettings(byteOrder, formatCase.compression);
    const PageShape shapes[] = {
        {formatCase.format, 13, 5, 2, 9},         // short, ending inside a band
        {formatCase.format, 7, 9, 4, 6},          // long: the third band crosses the height
        {formatCase.format, 5, 3, 0},             // as announced, behind them
        {formatCase.format, 1, 65535, 0, 70000},  // short, from LONG to SHORT
        {formatCase.format, 1, 65536, 9000, 3},   // long, from SHORT to LONG
    };
    std::vector<HostPage> pages;
    for (const PageShape& shape : shapes) {
        pages.push_back(MakePage(shape, static_cast<uint32_t>(pages.size() + 3 * shape.format)));
        ASSERT_EQ(RunPage(pages.back(), pages.size() > 1), 0) << "page " << pages.size();
    }
    EXPECT_EQ(Run(CmdEndJob), 0);
    CheckOutput(pages);
}

// Coded pages (LZW, Deflate, PackBits, JPEG) of several strips: bands that
// end inside a strip, a strip that spans bands and one band that holds
// whole strips; short (ending on a strip's end) and long pages, whose strip
// count follows the rows delivered. tiff_check.py holds each page's rows per
// strip to the 256 KiB bound.
TEST_P(PageFormats, PagesOfSeveralStripsDecodeExactly) {
    auto [formatCase, byteOrder, fileKind] = GetParam();
    const int32_t format = formatCase.format;
    const int32_t compression = formatCase.compression;
    if (compression == CompressionNone || compression == CompressionGroup4 || IsGroup3(compression))
        GTEST_SKIP() << "one strip a page, whatever its size";
    UseSettings(byteOrder, compression);
    const uint32_t width = 1001;
    const bool jpeg = compression == CompressionJpeg && IsJpegFormat(format);
    const uint32_t rows = jpeg ? 16 : BoundedStripRows(format, width);
    const PageShape shapes[] = {
        {format, width, 2 * rows, 37, 2 * rows + 1},               // short, ending on a strip's end
        {format, width, rows + rows / 3 + 1, rows + 5, rows - 3},  // long, bands larger than a strip
        {format, width, 3 * rows - 1, 0},                          // whole strips in one band
    };
    std::vector<HostPage> pages;
    for (const PageShape& shape : shapes) {
        pages.push_back(MakePage(shape, static_cast<uint32_t>(pages.size() + 5 * shape.format)));
        ASSERT_EQ(RunPage(pages.back(), pages.size() > 1), 0) << "page " << pages.size();
    }
    EXPECT_EQ(Run(CmdEndJob), 0);
    CheckOutput(pages);
}

const FormatCase kFormats[] = {
    {FormatRgb48, 1},
    {FormatRgb24, 1},
    {FormatGray16, 1},
    {FormatGray8, 1},
    {FormatGray4, 1},
    {FormatPalette8, 1},
    {FormatPalette4, 1},
    {FormatBilevel, 1},
    {FormatBilevel, 4},
    {FormatRgb48, 5},
    {FormatRgb24, 5},
    {FormatGray16, 5},
    {FormatGray8, 5},
    {FormatGray4, 5},
    {FormatPalette8, 5},
    {FormatPalette4, 5},
    {FormatRgb48, 8},
    {FormatRgb24, 8},
    {FormatGray16, 8},
    {FormatGray8, 8},
    {FormatGray4, 8},
    {FormatPalette8, 8},
    {FormatPalette4, 8},
    {FormatRgb24, 7},
    {FormatGray8, 7},
    {FormatRgb48, 7},
    {FormatGray4, 7},
    {FormatPalette4, 7},
    {FormatBilevel, CompressionGroup3OneD},
    {FormatBilevel, CompressionGroup3TwoD},
    {FormatRgb48, CompressionPackBits},
    {FormatRgb24, CompressionPackBits},
    {FormatGray16, CompressionPackBits},
    {FormatGray8, CompressionPackBits},
    {FormatGray4, CompressionPackBits},
    {FormatPalette8, CompressionPackBits},
    {FormatPalette4, CompressionPackBits},
    {FormatBilevel, CompressionPackBits},
};

const char* CompressionName(int32_t compression) {
    switch (compression) {
        case CompressionGroup4: return "G4";
        case CompressionLzw: return "LZW";
        case CompressionDeflate: return "Deflate";
        case CompressionJpeg: return "JPEG";
        case CompressionGroup3OneD: return "G3OneD";
        case CompressionGroup3TwoD: return "G3TwoD";
        case CompressionPackBits: return "PackBits";
        default: return "";
    }
}

std::string CaseName(const ::testing::TestParamInfo<FormatParam>& info) {
    auto [formatCase, byteOrder, fileKind] = info.param;
    return std::to_string(formatCase.format) + CompressionName(formatCase.compression) +
           (byteOrder == ByteOrderIntel ? "_II" : "_MM") + (fileKind == FileKindBigTiff ? "_BigTIFF" : "");
}

INSTANTIATE_TEST_SUITE_P(AllFormats, PageFormats,
                         ::testing::Combine(::testing::ValuesIn(kFormats),
                                            ::testing::Values(int32_t{ByteOrderIntel}, int32_t{ByteOrderMotorola}),
                                            ::testing::Values(uint32_t{FileKindClassic}, uint32_t{FileKindBigTiff})),
                         CaseName);

// Pages of different formats and compressions in one file: each later page
// lands where the file really ends, also after coded pages whose strips are
// shorter than predicted and after pages with odd strips.
TEST_F(PageJobTest, MixedFormatsInOneFile) {
    const PageShape shapes[] = {
        {FormatBilevel, 29, 11, 3}, {FormatGray8, 5, 3, 0},    {FormatRgb24, 7, 5, 2},    {FormatBilevel, 13, 3, 0},
        {FormatPalette4, 5, 5, 1},  {FormatGray16, 3, 3, 0},   {FormatPalette8, 9, 3, 0}, {FormatRgb48, 11, 6, 4},
        {FormatGray8, 33, 9, 2},    {FormatBilevel, 35, 9, 2}, {FormatRgb24, 7, 5, 2},    {FormatBilevel, 17, 7, 3},
        {FormatBilevel, 9, 4, 0},
    };
    const int32_t compressions[] = {4, 1, 1, 1, 1, 1, 1, 4, 1, 3, 1, 65539, 32773};
    const int32_t colorCompressions[] = {1, 5, 1, 8, 8, 1, 5, 8, 5, 1, 32773, 1, 1};
    std::vector<HostPage> pages;
    for (size_t i = 0; i < std::size(shapes); ++i) {
        UseSettings(ByteOrderMotorola, compressions[i], colorCompressions[i]);
        pages.push_back(MakePage(shapes[i], static_cast<uint32_t>(i + 1)));
        ASSERT_EQ(RunPage(pages.back(), i > 0), 0) << "page " << i;
    }
    EXPECT_EQ(Run(CmdEndJob), 0);
    CheckOutput(pages);
}

// A Deflate page's large bands are shared between two threads at piece
// boundaries: the file must be the one a single thread makes, whatever the
// bands and whether a second thread can be had.
TEST_F(PageJobTest, DeflatePageIsTheSameWhoeverCodesIt) {
    UseSettings(ByteOrderIntel, CompressionNone, CompressionDeflate);
    Bytes reference;
    // A strip of four pieces and one of two, then four strips (four, four,
    // four pieces and one): the bands' shares end inside strips and at
    // their ends.
    for (const PageShape& shape : {PageShape{FormatGray16, 600, 300}, PageShape{FormatRgb48, 700, 200}}) {
        reference.clear();
        for (uint32_t bandRows : {0u, 150u, 1u}) {  // shared whole, shared band by band, never shared
            for (bool threads : {true, false}) {
                SCOPED_TRACE("format " + std::to_string(shape.format) + ", band rows " + std::to_string(bandRows) +
                             (threads ? "" : ", no threads"));
                std::vector<HostPage> pages{MakePage({shape.format, shape.width, shape.height, bandRows}, 11)};
                std::remove(output_path_.c_str());
                if (!threads) platform::testing::FailCalls(platform::testing::Service::Thread, 1000);
                ASSERT_EQ(RunPage(pages[0], false), 0);
                EXPECT_EQ(platform::testing::CallCount(platform::testing::Service::Thread) > 0, bandRows != 1);
                platform::testing::Reset();
                if (reference.empty()) {
                    CheckOutput(pages);
                    reference = OutputBytes();
                }
                EXPECT_TRUE(OutputBytes() == reference);
            }
        }
    }
}

// A grey JPEG page so wide that 16 rows would pass 256 KiB: strips of one
// MCU row, 8 rows; colour stays at one MCU row, 16, however wide.
TEST_F(PageJobTest, VeryWideJpegPagesHaveStripsOfOneMcuRow) {
    UseSettings(ByteOrderIntel, CompressionNone, CompressionJpeg);
    std::vector<HostPage> pages{MakePage({FormatGray8, 16392, 21, 5}, 3), MakePage({FormatRgb24, 5470, 20, 0}, 4)};
    ASSERT_EQ(RunPage(pages[0], false), 0);
    ASSERT_EQ(RunPage(pages[1], true), 0);
    EXPECT_EQ(Run(CmdEndJob), 0);
    CheckOutput(pages);
}

TEST_F(PageJobTest, WidthAboveShortRangeIsKept) {
    std::vector<HostPage> pages{MakePage({FormatBilevel, 70001, 2, 1}, 5)};
    ASSERT_EQ(RunPage(pages[0], false), 0);
    CheckOutput(pages);
}

}  // namespace
}  // namespace page_test
