#include "g4_test_support.h"

#include <gtest/gtest.h>
#include <tiffio.h>
#include <unistd.h>

#include <cstdio>

#include "page/group4_coder.h"
#include "page/strip_sink.h"
#include "tiff/image_format.h"

namespace {

std::string TempTiffPath() {
    static int serial = 0;
    return testing::TempDir() + "g4_" + std::to_string(getpid()) + "_" + std::to_string(serial++) + ".tif";
}

TIFF* OpenFax(const std::string& path, uint32_t width, uint32_t height, const FaxCompression& compression) {
    TIFF* tiff = TIFFOpen(path.c_str(), "w");
    if (tiff == nullptr) return nullptr;
    TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, width);
    TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, height);
    TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, 1);
    TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, 1);
    TIFFSetField(tiff, TIFFTAG_COMPRESSION, compression.compression);
    TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISWHITE);
    TIFFSetField(tiff, TIFFTAG_FILLORDER, FILLORDER_MSB2LSB);
    TIFFSetField(tiff, TIFFTAG_ROWSPERSTRIP, height);
    TIFFSetField(tiff, TIFFTAG_XRESOLUTION, compression.yResolution);
    TIFFSetField(tiff, TIFFTAG_YRESOLUTION, compression.yResolution);
    TIFFSetField(tiff, TIFFTAG_RESOLUTIONUNIT, RESUNIT_INCH);
    if (compression.compression == COMPRESSION_CCITTFAX4)
        TIFFSetField(tiff, TIFFTAG_T6OPTIONS, 0);
    else
        TIFFSetField(tiff, TIFFTAG_GROUP3OPTIONS, compression.t4Options);
    return tiff;
}

}  // namespace

HostPage MakePage(uint32_t width, uint32_t height, const PixelIsBlack& black, uint32_t extraBytes, uint8_t padding) {
    HostPage page{width, height, (width + 7) / 8 + extraBytes, {}};
    page.rows.assign(static_cast<size_t>(page.rowBytes) * height, padding);
    for (uint32_t y = 0; y < height; ++y) {
        uint8_t* row = &page.rows[static_cast<size_t>(y) * page.rowBytes];
        for (uint32_t x = 0; x < width; ++x) {
            const uint8_t bit = static_cast<uint8_t>(0x80 >> (x % 8));
            row[x / 8] = black(x, y) ? (row[x / 8] & ~bit) : (row[x / 8] | bit);
        }
    }
    return page;
}

std::vector<uint8_t> CoderRows(const HostPage& page) {
    const uint32_t bytes = (page.width + 7) / 8;
    std::vector<uint8_t> out(static_cast<size_t>(bytes) * page.height);
    for (uint32_t y = 0; y < page.height; ++y)
        for (uint32_t i = 0; i < bytes; ++i) {
            uint8_t value = static_cast<uint8_t>(~page.rows[static_cast<size_t>(y) * page.rowBytes + i]);
            if (i == bytes - 1 && page.width % 8 != 0) value &= static_cast<uint8_t>(0xFF00u >> (page.width % 8));
            out[static_cast<size_t>(y) * bytes + i] = value;
        }
    return out;
}

std::vector<uint8_t> OurStrip(const HostPage& page, uint32_t bandRows) {
    Group4Coder coder;
    std::vector<uint8_t> strip;
    VectorSink sink(strip);
    const uint32_t step = bandRows == 0 ? page.height : bandRows;
    for (uint32_t y = 0; y < page.height; y += step) {
        const uint32_t rows = std::min(step, page.height - y);
        EXPECT_EQ(coder.CodeBand(
                      BandRows{&page.rows[static_cast<size_t>(y) * page.rowBytes], page.width, rows, page.rowBytes},
                      StripShape{FormatBilevel, ByteOrderIntel}, sink),
                  StatusOk);
    }
    EXPECT_EQ(coder.Finish(sink), StatusOk);
    return strip;
}

std::vector<uint8_t> OurG3Strip(const HostPage& page, const G3Coding& coding, uint32_t bandRows) {
    G4CoderState coder;
    std::vector<uint8_t> strip, referenceLine(G4LineBytes(page.width)), workspace;
    VectorSink sink(strip);
    const uint32_t step = bandRows == 0 ? page.height : bandRows;
    for (uint32_t y = 0; y < page.height; y += step) {
        const uint32_t rows = std::min(step, page.height - y);
        workspace.resize(G3WorkspaceBytes(page.width, rows, page.rowBytes));
        const G4Memory memory{referenceLine.data(), static_cast<uint32_t>(referenceLine.size()), workspace.data(),
                              workspace.size()};
        EXPECT_EQ(EncodeBandG3(coder, coding, &page.rows[static_cast<size_t>(y) * page.rowBytes], page.width, rows,
                               page.rowBytes, memory, sink),
                  StatusOk);
    }
    uint8_t end[kG3PageEndBytes];
    strip.insert(strip.end(), end, end + FinishPageG3(coder, end));
    return strip;
}

std::vector<uint8_t> LibtiffStrip(const std::vector<uint8_t>& coderRows, uint32_t width, uint32_t height,
                                  const FaxCompression& compression) {
    const std::string path = TempTiffPath();
    TIFF* tiff = OpenFax(path, width, height, compression);
    if (tiff == nullptr) return {};
    std::vector<uint8_t> row((width + 7) / 8);
    for (uint32_t y = 0; y < height; ++y) {
        std::copy_n(&coderRows[static_cast<size_t>(y) * row.size()], row.size(), row.begin());
        TIFFWriteScanline(tiff, row.data(), y, 0);
    }
    TIFFClose(tiff);
    tiff = TIFFOpen(path.c_str(), "r");
    std::vector<uint8_t> strip(TIFFRawStripSize(tiff, 0));
    TIFFReadRawStrip(tiff, 0, strip.data(), static_cast<tmsize_t>(strip.size()));
    TIFFClose(tiff);
    std::remove(path.c_str());
    return strip;
}

bool WriteFaxFile(const std::string& path, const std::vector<uint8_t>& strip, uint32_t width, uint32_t height,
                  const FaxCompression& compression) {
    TIFF* tiff = OpenFax(path, width, height, compression);
    if (tiff == nullptr) return false;
    const auto size = static_cast<tmsize_t>(strip.size());
    const bool written = TIFFWriteRawStrip(tiff, 0, const_cast<uint8_t*>(strip.data()), size) == size;
    TIFFClose(tiff);
    return written;
}

std::vector<uint8_t> LibtiffDecode(const std::vector<uint8_t>& strip, uint32_t width, uint32_t height,
                                   const FaxCompression& compression) {
    const std::string path = TempTiffPath();
    if (!WriteFaxFile(path, strip, width, height, compression)) return {};
    TIFF* tiff = TIFFOpen(path.c_str(), "r");
    const uint32_t bytes = (width + 7) / 8;
    std::vector<uint8_t> rows(static_cast<size_t>(bytes) * height);
    bool ok = true;
    for (uint32_t y = 0; y < height && ok; ++y)
        ok = TIFFReadScanline(tiff, &rows[static_cast<size_t>(y) * bytes], y, 0) == 1;
    TIFFClose(tiff);
    std::remove(path.c_str());
    if (!ok) return {};
    if (width % 8 != 0)
        for (uint32_t y = 0; y < height; ++y)
            rows[static_cast<size_t>(y) * bytes + bytes - 1] &= static_cast<uint8_t>(0xFF00u >> (width % 8));
    return rows;
}

std::string BitString(const std::vector<uint8_t>& bytes) {
    std::string bits;
    for (uint8_t b : bytes)
        for (int i = 7; i >= 0; --i) bits += ((b >> i) & 1) ? '1' : '0';
    return bits;
}
