// Drives whole scan jobs through the entry point the way a host does, with
// generated pages whose decoded pixels are known.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "base/status.h"
#include "support/files.h"
#include "support/plugin_fixture.h"
#include "support/rgb16.h"
#include "tiff/byte_order.h"
#include "tiff/image_format.h"

namespace page_test {

using Bytes = std::vector<uint8_t>;
using test_support::PutRgb16;

struct PageShape {
    int32_t format = FormatGray8;
    uint32_t width = 100;
    uint32_t height = 50;
    uint32_t bandRows = 0;       // 0: the whole page in one band
    uint32_t announcedRows = 0;  // the height CmdBeginPage announces; 0: `height`, the rows delivered
};

// A page as the host holds it, and what a reader must decode from it.
struct HostPage {
    PageShape shape;
    uint32_t stride = 0;  // bytes from host row to host row
    Bytes buffer;         // 32 leading bytes (palette-4 quirk), then the rows
    Bytes palette;        // palette form of the image record, or empty
    Bytes expectedRgb16;  // decoded pixels, 16-bit big-endian RGB
    const uint8_t* Row(uint32_t row) const { return buffer.data() + 32 + size_t{row} * stride; }
};

inline uint32_t BitsPerPixel(int32_t format) {
    switch (format) {
        case FormatRgb48: return 48;
        case FormatRgb24: return 24;
        case FormatGray16: return 16;
        case FormatGray8:
        case FormatPalette8: return 8;
        case FormatGray4:
        case FormatPalette4: return 4;
        default: return 1;
    }
}

inline uint32_t HostStride(int32_t format, uint32_t width) {
    if (format == FormatPalette8) return width;
    if (format == FormatBilevel) return (width + 7) / 8 + 2;  // the host may pad further
    return static_cast<uint32_t>((uint64_t{width} * BitsPerPixel(format) + 31) / 32 * 4);
}

// Random pixels; padding bytes hold garbage that must never show.
inline HostPage MakePage(const PageShape& shape, uint32_t seed) {
    std::mt19937 random(seed);
    auto next = [&](uint32_t limit) { return static_cast<uint32_t>(random() % limit); };
    HostPage page;
    page.shape = shape;
    page.stride = HostStride(shape.format, shape.width);
    page.buffer.assign(32 + size_t{page.stride} * shape.height, 0xA7);
    bool palette = IsPaletteFormat(shape.format);
    uint32_t colors = shape.format == FormatPalette8 ? 256 : 16;
    if (palette) {
        page.palette.assign(8 + 4 * colors + 4, 0);
        page.palette[0] = static_cast<uint8_t>(colors);
        page.palette[1] = static_cast<uint8_t>(colors >> 8);
        for (uint32_t i = 0; i < colors; ++i)
            for (uint32_t c = 0; c < 3; ++c) page.palette[9 + 4 * i + c] = static_cast<uint8_t>(next(256));
    }
    auto paletteColor = [&](uint32_t index, uint32_t c) { return uint16_t(page.palette[9 + 4 * index + c] * 257); };
    for (uint32_t y = 0; y < shape.height; ++y) {
        uint8_t* row = page.buffer.data() + 32 + size_t{y} * page.stride;
        if (shape.format == FormatBilevel || shape.format == FormatGray4 || shape.format == FormatPalette4)
            std::fill(row, row + page.stride, 0);  // partial bytes get bits set below; the rest is padding
        for (uint32_t x = 0; x < shape.width; ++x) {
            switch (shape.format) {
                case FormatRgb48: {
                    uint16_t s[3] = {uint16_t(next(65536)), uint16_t(next(65536)), uint16_t(next(65536))};
                    for (int c = 0; c < 3; ++c)
                        row[6 * x + 2 * c] = uint8_t(s[c]), row[6 * x + 2 * c + 1] = uint8_t(s[c] >> 8);
                    PutRgb16(page.expectedRgb16, s[0], s[1], s[2]);
                    break;
                }
                case FormatRgb24: {
                    uint8_t s[3] = {uint8_t(next(256)), uint8_t(next(256)), uint8_t(next(256))};
                    for (int c = 0; c < 3; ++c) row[3 * x + c] = s[c];
                    PutRgb16(page.expectedRgb16, s[0] * 257, s[1] * 257, s[2] * 257);
                    break;
                }
                case FormatGray16: {
                    uint16_t v = uint16_t(next(65536));
                    row[2 * x] = uint8_t(v), row[2 * x + 1] = uint8_t(v >> 8);
                    PutRgb16(page.expectedRgb16, v, v, v);
                    break;
                }
                case FormatGray8: {
                    uint8_t v = uint8_t(next(256));
                    row[x] = v;
                    PutRgb16(page.expectedRgb16, v * 257, v * 257, v * 257);
                    break;
                }
                case FormatPalette8: {
                    uint8_t v = uint8_t(next(256));
                    row[x] = v;
                    PutRgb16(page.expectedRgb16, paletteColor(v, 0), paletteColor(v, 1), paletteColor(v, 2));
                    break;
                }
                case FormatGray4:
                case FormatPalette4: {
                    uint8_t v = uint8_t(next(16));
                    row[x / 2] |= x % 2 == 0 ? uint8_t(v << 4) : v;
                    if (palette)
                        PutRgb16(page.expectedRgb16, paletteColor(v, 0), paletteColor(v, 1), paletteColor(v, 2));
                    else
                        PutRgb16(page.expectedRgb16, v * 4369, v * 4369, v * 4369);
                    break;
                }
                default: {  // bilevel: 1 is white
                    bool white = next(3) != 0;
                    if (white) row[x / 8] |= uint8_t(0x80 >> (x % 8));
                    uint16_t v = white ? 65535 : 0;
                    PutRgb16(page.expectedRgb16, v, v, v);
                }
            }
        }
        // Garbage in the unused bits of the last byte and beyond.
        if (shape.format == FormatBilevel) {
            if (shape.width % 8) row[shape.width / 8] |= uint8_t(0xFF >> (shape.width % 8));
            for (uint32_t i = (shape.width + 7) / 8; i < page.stride; ++i) row[i] = 0x5A;
        }
        if ((shape.format == FormatGray4 || shape.format == FormatPalette4) && shape.width % 2)
            row[shape.width / 2] |= 0x0F;
    }
    return page;
}

inline void ColorKindOf(int32_t format, ScanImage& image) {
    image.bitsPerPixel = BitsPerPixel(format);
    image.samplesPerPixel = format / 1000 == 1 ? 3 : 1;
    switch (format / 1000) {
        case 1: image.colorKind = ColorRgb; break;
        case 2: image.colorKind = ColorGray; break;
        case 3: image.colorKind = ColorPalette; break;
        default: image.colorKind = ColorBilevel;
    }
}

// What became of a page or a job run command by command.
struct JobOutcome {
    size_t committed = 0;  // pages whose CmdEndPage succeeded
    uint16_t status = 0;   // the first failure; 0 when every command succeeded
    int32_t command = -1;  // the command that failed
};

class PageJobTest : public test_support::PluginTest {
protected:
    void SetUp() override {
        PluginTest::SetUp();
        output_path_ = output_.file("scan.tif");
        host_.SetOutput(output_path_);
        ASSERT_EQ(Run(CmdInitialize), 0);
    }

    void UseSettings(int32_t byteOrder, int32_t compression, int32_t colorCompression = CompressionNone) {
        WriteValue("File Type", static_cast<uint32_t>(byteOrder));
        WriteValue("Compression", static_cast<uint32_t>(compression));
        WriteValue("Color Compression", static_cast<uint32_t>(colorCompression));
        jpegPages_ = colorCompression == CompressionJpeg;
    }

    uint16_t Prepare(int32_t format, bool continueFile) {
        host_.image = ScanImage{};
        ColorKindOf(format, host_.image);
        host_.image.continueFile = continueFile ? 1 : 0;
        return Run(CmdPreparePage);
    }

    uint16_t Begin(const HostPage& page) {
        host_.image.width = page.shape.width;
        host_.image.rows = page.shape.announcedRows != 0 ? page.shape.announcedRows : page.shape.height;
        host_.image.xResolution = 300;
        host_.image.yResolution = 200;
        return Run(CmdBeginPage);
    }

    uint16_t Palette(const HostPage& page) {
        Bytes copy = page.palette;
        host_.target.image = reinterpret_cast<ScanImage*>(copy.data());
        uint16_t status = Run(CmdWritePalette);
        host_.target.image = &host_.image;
        return status;
    }

    uint16_t Band(const HostPage& page, uint32_t firstRow, uint32_t rows) {
        host_.image.width = page.shape.width;
        host_.image.rows = rows;
        host_.image.yResolution = page.stride;
        const uint8_t* start = page.Row(firstRow);
        if (page.shape.format == FormatPalette4 && firstRow == 0) start -= 32;
        host_.image.pixels = start;
        return Run(CmdWriteBand);
    }

    // One whole page, command by command; stops at the first failure.
    JobOutcome RunOnePage(const HostPage& page, bool continueFile) {
        JobOutcome outcome;
        auto step = [&](int32_t command, uint16_t status) {
            if (status != 0 && outcome.status == 0) {
                outcome.status = status;
                outcome.command = command;
            }
            return status == 0;
        };
        if (!step(CmdPreparePage, Prepare(page.shape.format, continueFile))) return outcome;
        if (!step(CmdBeginPage, Begin(page))) return outcome;
        if (!page.palette.empty() && !step(CmdWritePalette, Palette(page))) return outcome;
        uint32_t bandRows = page.shape.bandRows == 0 ? page.shape.height : page.shape.bandRows;
        for (uint32_t row = 0; row < page.shape.height; row += bandRows)
            if (!step(CmdWriteBand, Band(page, row, std::min(bandRows, page.shape.height - row)))) return outcome;
        if (step(CmdEndPage, Run(CmdEndPage))) outcome.committed = 1;
        return outcome;
    }

    // Runs one whole page; returns the first failing status.
    uint16_t RunPage(const HostPage& page, bool continueFile) { return RunOnePage(page, continueFile).status; }

    // Writes the expected pixels and runs the independent readers.
    void CheckOutput(const std::vector<HostPage>& pages) {
        test_support::ScratchDirectory expected("zeduz-expected-");
        for (size_t i = 0; i < pages.size(); ++i) {
            std::ofstream(expected.file("page" + std::to_string(i) + ".txt"))
                << pages[i].shape.width << " " << pages[i].shape.height << " " << pages[i].shape.format
                << (jpegPages_ && IsJpegFormat(pages[i].shape.format) ? " 90" : "");  // the default quality
            std::ofstream raw(expected.file("page" + std::to_string(i) + ".rgb16"), std::ios::binary);
            raw.write(reinterpret_cast<const char*>(pages[i].expectedRgb16.data()),
                      static_cast<std::streamsize>(pages[i].expectedRgb16.size()));
        }
        // The checker lies beside this header.
        std::string here = __FILE__;
        std::string script = here.substr(0, here.find_last_of('/') + 1) + "tiff_check.py";
        std::string command = "/usr/bin/python3 " + script + " " + output_path_ + " " + expected.path();
        EXPECT_EQ(system(command.c_str()), 0) << command;
    }

    Bytes OutputBytes() const { return test_support::ReadFileBytes(output_path_); }

    std::string output_path_;
    bool jpegPages_ = false;  // the settings last used make grey and colour pages JPEG
};

}  // namespace page_test
