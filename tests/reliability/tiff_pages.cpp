#include "reliability/tiff_pages.h"

#include <tiffio.h>

#include <cstdarg>
#include <cstdio>

#include "support/rgb16.h"

namespace reliability {
namespace {

using test_support::PutRgb16;

thread_local std::string* g_complaints = nullptr;

void Complain(const char* module, const char* format, va_list args) {
    char text[512];
    std::vsnprintf(text, sizeof(text), format, args);
    if (g_complaints != nullptr) *g_complaints += std::string(module != nullptr ? module : "") + ": " + text + "\n";
}

uint32_t Sample(const uint8_t* row, uint32_t index, uint16_t bits) {
    switch (bits) {
        case 1: return (row[index / 8] >> (7 - index % 8)) & 1u;
        case 4: return (row[index / 2] >> (index % 2 == 0 ? 4 : 0)) & 0xFu;
        case 8: return row[index];
        default: return static_cast<uint32_t>(reinterpret_cast<const uint16_t*>(row)[index]);  // host order
    }
}

struct PageFormat {
    uint16_t bits = 1, samples = 1, photometric = 0;
    uint16_t *red = nullptr, *green = nullptr, *blue = nullptr;
};

void DecodeRow(const PageFormat& f, const uint8_t* row, uint32_t width, std::vector<uint8_t>& out) {
    uint32_t maxValue = (1u << f.bits) - 1;
    for (uint32_t x = 0; x < width; ++x) {
        if (f.photometric == PHOTOMETRIC_RGB) {
            uint16_t c[3];
            for (uint32_t s = 0; s < 3; ++s)
                c[s] = static_cast<uint16_t>(Sample(row, 3 * x + s, f.bits) * 65535 / maxValue);
            PutRgb16(out, c[0], c[1], c[2]);
        } else if (f.photometric == PHOTOMETRIC_PALETTE) {
            uint32_t v = Sample(row, x, f.bits);
            PutRgb16(out, f.red[v], f.green[v], f.blue[v]);
        } else {
            uint32_t v = Sample(row, x, f.bits);
            if (f.photometric == PHOTOMETRIC_MINISWHITE) v = maxValue - v;
            auto grey = static_cast<uint16_t>(v * 65535 / maxValue);
            PutRgb16(out, grey, grey, grey);
        }
    }
}

bool DecodePage(TIFF* tiff, DecodedPage& page, std::string& complaints) {
    PageFormat f;
    TIFFGetField(tiff, TIFFTAG_IMAGEWIDTH, &page.width);
    TIFFGetField(tiff, TIFFTAG_IMAGELENGTH, &page.height);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_BITSPERSAMPLE, &f.bits);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_SAMPLESPERPIXEL, &f.samples);
    if (!TIFFGetField(tiff, TIFFTAG_PHOTOMETRIC, &f.photometric)) {
        complaints += "no PhotometricInterpretation\n";
        return false;
    }
    // A JPEG page's YCbCr is read as RGB, converted by libtiff's JPEG codec.
    if (f.photometric == PHOTOMETRIC_YCBCR) {
        TIFFSetField(tiff, TIFFTAG_JPEGCOLORMODE, JPEGCOLORMODE_RGB);
        f.photometric = PHOTOMETRIC_RGB;
    }
    if (f.photometric == PHOTOMETRIC_PALETTE && !TIFFGetField(tiff, TIFFTAG_COLORMAP, &f.red, &f.green, &f.blue)) {
        complaints += "palette page without a ColorMap\n";
        return false;
    }
    if (f.bits != 1 && f.bits != 4 && f.bits != 8 && f.bits != 16) {
        complaints += "unexpected BitsPerSample\n";
        return false;
    }
    std::vector<uint8_t> row(static_cast<size_t>(TIFFScanlineSize(tiff)) + 8);
    page.rgb16.reserve(size_t{page.width} * page.height * 6);
    for (uint32_t y = 0; y < page.height; ++y) {
        if (TIFFReadScanline(tiff, row.data(), y, 0) < 0) return false;
        DecodeRow(f, row.data(), page.width, page.rgb16);
    }
    return true;
}

}  // namespace

TiffReading ReadTiffPages(const std::string& path) {
    TiffReading reading;
    g_complaints = &reading.complaints;
    TIFFErrorHandler oldError = TIFFSetErrorHandler(Complain);
    TIFFErrorHandler oldWarning = TIFFSetWarningHandler(Complain);
    if (TIFF* tiff = TIFFOpen(path.c_str(), "r")) {
        reading.opened = true;
        do {
            DecodedPage page;
            if (!DecodePage(tiff, page, reading.complaints)) break;
            reading.pages.push_back(std::move(page));
        } while (TIFFReadDirectory(tiff));
        TIFFClose(tiff);
    }
    TIFFSetErrorHandler(oldError);
    TIFFSetWarningHandler(oldWarning);
    g_complaints = nullptr;
    return reading;
}

}  // namespace reliability
