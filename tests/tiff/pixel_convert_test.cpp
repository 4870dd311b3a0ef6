// Band conversion and the colour map.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "tiff/byte_order.h"
#include "tiff/color_map.h"
#include "tiff/image_format.h"
#include "tiff/pixel_convert.h"

namespace {

using Bytes = std::vector<uint8_t>;

Bytes Convert(int32_t format, const Bytes& source, uint32_t width, uint32_t rows, int32_t order = ByteOrderIntel,
              uint32_t rowBytes = 0) {
    Bytes strip(ConvertedBandBytes(format, width, rows), 0);
    ConvertBand(format, BandSource{source.data(), width, rows, rowBytes}, order, strip.data());
    return strip;
}

TEST(SourceStride, PaddingPerFormat) {
    EXPECT_EQ(SourceRowStride(FormatRgb24, 5, 0), 16u);
    EXPECT_EQ(SourceRowStride(FormatPalette8, 5, 0), 5u);
    EXPECT_EQ(SourceRowStride(FormatGray8, 5, 0), 8u);
    EXPECT_EQ(SourceRowStride(FormatRgb48, 1, 0), 8u);
    EXPECT_EQ(SourceRowStride(FormatGray16, 3, 0), 8u);
    EXPECT_EQ(SourceRowStride(FormatGray4, 9, 0), 8u);
    EXPECT_EQ(SourceRowStride(FormatBilevel, 9, 7), 7u);
}

TEST(ConvertBand, Rgb24RowsAreUnpadded) {
    Bytes source(32);
    for (size_t i = 0; i < source.size(); ++i) source[i] = static_cast<uint8_t>(i);
    Bytes strip = Convert(FormatRgb24, source, 5, 2);
    ASSERT_EQ(strip.size(), 30u);
    EXPECT_EQ(strip[14], 14);
    EXPECT_EQ(strip[15], 16);  // second row starts 16 bytes on
}

TEST(ConvertBand, EightBitStrides) {
    Bytes source = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
    EXPECT_EQ(Convert(FormatPalette8, source, 5, 2), (Bytes{1, 2, 3, 4, 5, 6, 7, 8, 9, 10}));
    EXPECT_EQ(Convert(FormatGray8, source, 5, 2), (Bytes{1, 2, 3, 4, 5, 9, 10, 11, 12, 13}));
}

TEST(ConvertBand, SixteenBitSamplesFollowTheByteOrder) {
    Bytes gray = {0x34, 0x12, 0, 0};
    EXPECT_EQ(Convert(FormatGray16, gray, 1, 1, ByteOrderMotorola), (Bytes{0x12, 0x34}));
    EXPECT_EQ(Convert(FormatGray16, gray, 1, 1, ByteOrderIntel), (Bytes{0x34, 0x12}));
    Bytes rgb = {0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0, 0};
    EXPECT_EQ(Convert(FormatRgb48, rgb, 1, 1, ByteOrderMotorola), (Bytes{2, 1, 4, 3, 6, 5}));
    EXPECT_EQ(Convert(FormatRgb48, rgb, 1, 1, ByteOrderIntel), (Bytes{1, 2, 3, 4, 5, 6}));
}

TEST(ConvertBand, FourBitOddWidthClearsTheLastNibble) {
    Bytes source = {0x12, 0x34, 0x5F, 0xFF, 0xAB, 0xCD, 0xEF, 0xFF};
    EXPECT_EQ(Convert(FormatGray4, source, 5, 2), (Bytes{0x12, 0x34, 0x50, 0xAB, 0xCD, 0xE0}));
}

TEST(ConvertBand, Palette4FirstBandSkips32Bytes) {
    EXPECT_EQ(FirstRowOffset(FormatPalette4, 0), 32u);
    EXPECT_EQ(FirstRowOffset(FormatPalette4, 1), 0u);
    EXPECT_EQ(FirstRowOffset(FormatGray4, 0), 0u);
}

TEST(ConvertBand, BilevelKeepsBitsAndClearsPadding) {
    Bytes source = {0xA5, 0xFF, 0x77, 0x0F, 0xFF, 0xFF};  // rows 3 bytes apart
    EXPECT_EQ(Convert(FormatBilevel, source, 10, 2, ByteOrderIntel, 3), (Bytes{0xA5, 0xC0, 0x0F, 0xC0}));
    EXPECT_EQ(Convert(FormatBilevel, source, 1, 1, ByteOrderIntel, 3), (Bytes{0x80}));
}

TEST(ColorMap, ValuesPerPlaneAndRepeatedBytes) {
    Bytes palette(64, 0);
    palette[9] = 10, palette[10] = 20, palette[11] = 30;
    palette[13] = 255, palette[14] = 0, palette[15] = 128;
    Bytes map(ColorMapBytes(256), 0xEE);
    std::fill(map.begin(), map.end(), 0);
    BuildColorMap({2, palette.data() + 9, 4}, 256, map.data());
    EXPECT_EQ(Bytes(map.begin(), map.begin() + 4), (Bytes{0x0A, 0x0A, 0xFF, 0xFF}));
    EXPECT_EQ(Bytes(map.begin() + 512, map.begin() + 516), (Bytes{0x14, 0x14, 0, 0}));
    EXPECT_EQ(Bytes(map.begin() + 1024, map.begin() + 1028), (Bytes{0x1E, 0x1E, 0x80, 0x80}));
    size_t nonZero = std::count_if(map.begin(), map.end(), [](uint8_t b) { return b != 0; });
    EXPECT_EQ(nonZero, 10u);
}

TEST(ColorMap, EntriesBeyondThePlaneAreCut) {
    Bytes palette(8 + 4 * 300 + 4, 0x11);
    Bytes map(ColorMapBytes(16) + 8, 0);  // 8 guard bytes must stay untouched
    BuildColorMap({300, palette.data() + 9, 4}, 16, map.data());
    EXPECT_EQ(map[95], 0x11);
    EXPECT_EQ(Bytes(map.end() - 8, map.end()), Bytes(8, 0));
}

TEST(Classification, TableAndRefusals) {
    struct Case {
        uint32_t bits, samples, kind;
        int32_t format;
    };
    const Case cases[] = {
        {48, 3, 2, FormatRgb48},   {24, 3, 2, FormatRgb24},  {16, 1, 1, FormatGray16},  {8, 1, 1, FormatGray8},
        {4, 1, 1, FormatGray4},    {1, 1, 0, FormatBilevel}, {8, 1, 3, FormatPalette8}, {4, 1, 3, FormatPalette4},
        {1, 1, 3, FormatPalette1}, {24, 3, 1, FormatNone},   {8, 3, 1, FormatNone},     {32, 1, 1, FormatNone},
    };
    for (const Case& c : cases) EXPECT_EQ(ClassifyFormat(c.bits, c.samples, c.kind), c.format);
}

TEST(ByteOrder, Stores) {
    uint8_t bytes[4];
    PutLong(bytes, 0x01020304, ByteOrderIntel);
    EXPECT_EQ(Bytes(bytes, bytes + 4), (Bytes{4, 3, 2, 1}));
    PutLong(bytes, 0x01020304, 12345);  // anything but Intel is big-endian
    EXPECT_EQ(Bytes(bytes, bytes + 4), (Bytes{1, 2, 3, 4}));
    PutShort(bytes, 0xABCD1234, ByteOrderMotorola);
    EXPECT_EQ(Bytes(bytes, bytes + 2), (Bytes{0x12, 0x34}));
    EXPECT_EQ(GetLong(bytes, ByteOrderMotorola) >> 16, 0x1234u);
}

}  // namespace
