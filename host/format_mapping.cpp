#include "host/format_mapping.h"

#include "entry/host_records.h"

namespace {

void SetLayout(ScanPage& page, uint32_t bitsPerPixel, uint32_t samplesPerPixel, uint32_t colorKind) {
    page.bitsPerPixel = bitsPerPixel;
    page.samplesPerPixel = samplesPerPixel;
    page.colorKind = colorKind;
}

// 0..3 spread over 0..15, so that black stays black and white stays white.
void ExpandGray2To4(Image& image) {
    for (uint16_t& sample : image.samples) {
        sample = static_cast<uint16_t>(sample * 5);
    }
    image.bits = 4;
}

void MapPalette(ScanPage& page, const MappingOptions& options) {
    Image& image = page.image;
    const bool fitsFour = image.bits < 8 || (options.palette4WhenSmall && image.palette.size() <= 16);
    if (!fitsFour) {
        SetLayout(page, 8, 1, ColorPalette);
        return;
    }
    // Indices below 16 only: 1-, 2- and 4-bit images by depth, 8-bit ones by
    // the size of their palette (every index lies within it).
    if (image.palette.size() > 16) {
        image.palette.resize(16);
    }
    image.bits = 4;
    SetLayout(page, 4, 1, ColorPalette);
}

}  // namespace

std::string ScanPage::Describe() const {
    const std::string depth = std::to_string(bitsPerPixel) + "-bit ";
    switch (colorKind) {
    case ColorRgb:
        return depth + "RGB";
    case ColorGray:
        return depth + "grey";
    case ColorPalette:
        return depth + "palette";
    default:
        return "black and white";
    }
}

ScanPage MapToScanPage(Image image, const MappingOptions& options) {
    ScanPage page;
    page.image = std::move(image);
    Image& source = page.image;
    switch (source.kind) {
    case ImageKind::Rgb:
        SetLayout(page, source.bits == 16 ? 48 : 24, 3, ColorRgb);
        break;
    case ImageKind::Gray:
        if (source.bits == 2) {
            ExpandGray2To4(source);
        }
        SetLayout(page, static_cast<uint32_t>(source.bits), 1, ColorGray);
        break;
    case ImageKind::Palette:
        MapPalette(page, options);
        break;
    case ImageKind::Bilevel:
        SetLayout(page, 1, 1, ColorBilevel);
        break;
    }
    return page;
}
