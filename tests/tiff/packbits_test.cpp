// The PackBits coder against libtiff's: byte for byte the strip libtiff
// makes of the same rows in every sample layout, whatever the bands and the
// code buffer; decoded back by libtiff, and in whole files by libtiff's
// tools and Pillow's own decoder.
#include <gtest/gtest.h>
#include <tiffio.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "support/files.h"
#include "tiff/packbits_encoder.h"

namespace {

using Bytes = std::vector<uint8_t>;

class VectorSink final : public CodeSink {
public:
    PluginStatus Append(const uint8_t* bytes, uint32_t count) override {
        if (failing) return StatusWriteFailed;
        code.insert(code.end(), bytes, bytes + count);
        return StatusOk;
    }
    Bytes code;
    bool failing = false;
};

struct Layout {
    const char* name;
    uint16_t bitsPerSample;
    uint16_t samplesPerPixel;
    uint32_t RowBytes(uint32_t width) const {
        return static_cast<uint32_t>((uint64_t{width} * bitsPerSample * samplesPerPixel + 7) / 8);
    }
};

const std::vector<Layout> kLayouts = {
    {"bilevel", 1, 1}, {"4-bit", 4, 1}, {"8-bit", 8, 1}, {"16-bit", 16, 1}, {"rgb24", 8, 3}, {"rgb48", 16, 3},
};

uint32_t Hash(uint32_t i, uint32_t seed) {
    uint32_t h = i * 0x9E3779B1u ^ seed * 0x85EBCA77u;
    h ^= h >> 15;
    h *= 0x2C1B3C6Du;
    return h ^ (h >> 13);
}

// `count` bytes as runs whose lengths are drawn from `lengths` (0: a byte of
// noise, which may repeat the one before), each run's byte differing from
// the last one's. Runs go on across rows.
Bytes RunBytes(size_t count, const std::vector<uint32_t>& lengths, uint32_t seed) {
    Bytes bytes;
    uint8_t value = 0;
    for (uint32_t i = 0; bytes.size() < count; ++i) {
        const uint32_t length = lengths[Hash(i, seed) % lengths.size()];
        value = length == 0 ? static_cast<uint8_t>(Hash(i, seed + 1)) : static_cast<uint8_t>(value + 1 + i % 200);
        bytes.insert(bytes.end(), length == 0 ? 1 : length, value);
    }
    bytes.resize(count);
    return bytes;
}

struct Pattern {
    const char* name;
    std::vector<uint32_t> runLengths;
};

const std::vector<Pattern> kPatterns = {
    {"noise", {0}},
    {"singles and pairs", {1, 2}},
    {"pairs after long literals", {1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 2}},
    {"short runs", {1, 1, 2, 2, 3, 4}},
    {"long runs", {126, 127, 128, 129, 130, 131, 255, 256, 257, 258, 385}},
    {"mixed", {0, 1, 1, 2, 2, 3, 7, 64, 127, 128, 129, 300}},
    {"one byte", {1000000}},
};

std::string TempPath(const std::string& what) {
    static int serial = 0;
    return testing::TempDir() + "packbits_" + what + "_" + std::to_string(getpid()) + "_" + std::to_string(serial++) +
           ".tif";
}

TIFF* OpenPackBits(const std::string& path, const Layout& layout, uint32_t width, uint32_t height) {
    TIFF* tiff = TIFFOpen(path.c_str(), "w");
    if (tiff == nullptr) return nullptr;
    TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, width);
    TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, height);
    TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, layout.bitsPerSample);
    TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, layout.samplesPerPixel);
    TIFFSetField(tiff, TIFFTAG_COMPRESSION, COMPRESSION_PACKBITS);
    TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC, layout.samplesPerPixel == 3 ? PHOTOMETRIC_RGB : PHOTOMETRIC_MINISBLACK);
    TIFFSetField(tiff, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(tiff, TIFFTAG_ROWSPERSTRIP, height);
    return tiff;
}

Bytes LibtiffStrip(const Bytes& rows, const Layout& layout, uint32_t width, uint32_t height) {
    const std::string path = TempPath("ours");
    TIFF* tiff = OpenPackBits(path, layout, width, height);
    if (tiff == nullptr) return {};
    const uint32_t rowBytes = layout.RowBytes(width);
    Bytes row(rowBytes);
    for (uint32_t y = 0; y < height; ++y) {
        std::copy_n(&rows[size_t{y} * rowBytes], rowBytes, row.begin());  // libtiff may alter the row
        TIFFWriteScanline(tiff, row.data(), y, 0);
    }
    TIFFClose(tiff);
    tiff = TIFFOpen(path.c_str(), "r");
    Bytes strip(static_cast<size_t>(TIFFRawStripSize(tiff, 0)));
    TIFFReadRawStrip(tiff, 0, strip.data(), static_cast<tmsize_t>(strip.size()));
    TIFFClose(tiff);
    std::remove(path.c_str());
    return strip;
}

// A one-strip file around our strip.
bool WriteFile(const std::string& path, const Bytes& strip, const Layout& layout, uint32_t width, uint32_t height) {
    TIFF* tiff = OpenPackBits(path, layout, width, height);
    if (tiff == nullptr) return false;
    const bool written = TIFFWriteRawStrip(tiff, 0, const_cast<uint8_t*>(strip.data()),
                                           static_cast<tmsize_t>(strip.size())) == static_cast<tmsize_t>(strip.size());
    TIFFClose(tiff);
    return written;
}

Bytes LibtiffDecode(const Bytes& strip, const Layout& layout, uint32_t width, uint32_t height) {
    const std::string path = TempPath("decode");
    if (!WriteFile(path, strip, layout, width, height)) return {};
    TIFF* tiff = TIFFOpen(path.c_str(), "r");
    Bytes rows(size_t{layout.RowBytes(width)} * height);
    const tmsize_t size = TIFFReadEncodedStrip(tiff, 0, rows.data(), static_cast<tmsize_t>(rows.size()));
    TIFFClose(tiff);
    std::remove(path.c_str());
    return size == static_cast<tmsize_t>(rows.size()) ? rows : Bytes{};
}

// Our strip of the rows, coded in bands of `bandRows` rows (0: one band)
// through a code buffer of `bufferBytes`.
Bytes OurStrip(const Bytes& rows, uint32_t rowBytes, uint32_t height, uint32_t bandRows = 0,
               uint32_t bufferBytes = 64 * 1024) {
    VectorSink sink;
    Bytes buffer(bufferBytes);
    CodeBuffer out(buffer.data(), bufferBytes, sink);
    const uint32_t step = bandRows == 0 ? height : bandRows;
    for (uint32_t y = 0; y < height; y += step) {
        const uint32_t count = std::min(step, height - y);
        EXPECT_EQ(EncodePackBits(&rows[size_t{y} * rowBytes], rowBytes, count, out), StatusOk);
    }
    EXPECT_EQ(out.Flush(), StatusOk);
    return sink.code;
}

TEST(PackBitsCoder, KnownCodes) {
    struct Case {
        const char* what;
        Bytes row, code;
    };
    const std::vector<Case> cases = {
        {"one byte", {7}, {0x00, 7}},
        {"a run", {7, 7, 7}, {0xFE, 7}},
        {"a pair between literal bytes joins the literal", {1, 2, 2, 3}, {0x03, 1, 2, 2, 3}},
        {"a pair before a pair stays a run", {1, 2, 2, 3, 3}, {0x00, 1, 0xFF, 2, 0xFF, 3}},
        {"a pair at the row's end stays a run", {1, 2, 2}, {0x00, 1, 0xFF, 2}},
        {"129 equal bytes: a run of 128, a literal of one", Bytes(129, 5), {0x81, 5, 0x00, 5}},
    };
    for (const Case& c : cases) EXPECT_EQ(OurStrip(c.row, static_cast<uint32_t>(c.row.size()), 1), c.code) << c.what;
    EXPECT_EQ(OurStrip({4, 4, 4, 4}, 2, 2), (Bytes{0xFF, 4, 0xFF, 4})) << "runs end with the row";
}

TEST(PackBitsAgainstLibtiff, EveryLayoutPatternAndWidth) {
    const uint32_t height = 5;
    for (const Layout& layout : kLayouts)
        for (const Pattern& pattern : kPatterns)
            for (uint32_t width : {1u, 2u, 3u, 43u, 127u, 128u, 129u, 130u, 257u, 1000u}) {
                const uint32_t rowBytes = layout.RowBytes(width);
                const Bytes rows = RunBytes(size_t{rowBytes} * height, pattern.runLengths, width);
                const std::string what =
                    std::string(layout.name) + ", " + pattern.name + ", width " + std::to_string(width);
                const Bytes expected = LibtiffStrip(rows, layout, width, height);
                ASSERT_FALSE(expected.empty()) << what;
                EXPECT_EQ(OurStrip(rows, rowBytes, height), expected) << what;
                EXPECT_EQ(LibtiffDecode(expected, layout, width, height), rows) << what;
            }
}

// Nothing carries from row to row: bands and a buffer of any size give the
// same strip.
TEST(PackBitsAgainstLibtiff, BandsAndCodeBuffersOfAnySize) {
    const Layout rgb = kLayouts[4];
    const uint32_t width = 700, height = 23, rowBytes = rgb.RowBytes(width);
    const Bytes rows = RunBytes(size_t{rowBytes} * height, kPatterns[5].runLengths, 3);
    const Bytes expected = LibtiffStrip(rows, rgb, width, height);
    for (uint32_t bandRows : {0u, 1u, 2u, 7u})
        for (uint32_t bufferBytes : {kPackBitsUnitBytes, 200u, 4096u})
            EXPECT_EQ(OurStrip(rows, rowBytes, height, bandRows, bufferBytes), expected)
                << "bands of " << bandRows << ", buffer of " << bufferBytes;
}

TEST(PackBitsCoder, StatusesOfTheBufferAndTheSink) {
    const Bytes rows = RunBytes(4000, kPatterns[0].runLengths, 1);
    VectorSink sink;
    Bytes buffer(kPackBitsUnitBytes);
    CodeBuffer small(buffer.data(), kPackBitsUnitBytes - 1, sink);
    EXPECT_EQ(EncodePackBits(rows.data(), 1000, 4, small), StatusWriteFailed);
    CodeBuffer out(buffer.data(), kPackBitsUnitBytes, sink);
    sink.failing = true;
    EXPECT_EQ(EncodePackBits(rows.data(), 1000, 4, out), StatusWriteFailed);
    EXPECT_LE(out.used(), kPackBitsUnitBytes);
    EXPECT_TRUE(sink.code.empty());
}

// Whole files of our strips, read by libtiff's tools and by Pillow, whose
// PackBits decoder is its own: pixels exact in each layout Pillow holds as
// the file's bytes.
TEST(PackBitsReaders, ToolsAndPillowDecodeOurStrips) {
    const std::string checker =
        std::string(__FILE__).substr(0, std::string(__FILE__).find_last_of('/')) + "/../support/coded_strip_check.py";
    test_support::ScratchDirectory scratch("packbits_readers");
    const uint32_t width = 1000, height = 40;
    for (const Layout& layout : {kLayouts[0], kLayouts[2], kLayouts[3], kLayouts[4]}) {
        const uint32_t rowBytes = layout.RowBytes(width);
        const Bytes rows = RunBytes(size_t{rowBytes} * height, kPatterns[5].runLengths, 9);
        const std::string tiff = scratch.file(std::string(layout.name) + ".tif");
        const std::string expected = scratch.file(std::string(layout.name) + ".raw");
        ASSERT_TRUE(WriteFile(tiff, OurStrip(rows, rowBytes, height), layout, width, height)) << layout.name;
        test_support::WriteWholeFile(expected, std::string(rows.begin(), rows.end()));
        const std::string command = "/usr/bin/python3 " + checker + " " + tiff + " " + expected;
        EXPECT_EQ(std::system(command.c_str()), 0) << command;
    }
}

}  // namespace
