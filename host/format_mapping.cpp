#include "host/format_mapping.h"

#include "entry/host_records.h"

namespace {

void SetLayout(ScanPage& page, uint32_t bitsPerPixel, uint32_t samplesPerPixel, uint32_t colorKind) {
    page.bitsPerPixel = bitsPerPixel;
    page.samplesPerPixel = samplesPerPixel;
    page.colorKind = colorKind;
}

void MapPalette(ScanPage& page, const MappingOptions& options) {
    ImageInfo& image = page.image;
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
    SetLayout(page, 4, 1, ColorPalette);
}

}  // namespace

std::string ScanPage::Describe() const {
    const std::string depth = std::to_string(bitsPerPixel) + "-bit ";
    switch (colorKind) {
        case ColorRgb: return depth + "RGB";
        case ColorGray: return depth + "grey";
        case ColorPalette: return depth + "palette";
        default: return "black and white";
    }
}

ScanPage MapToScanPage(const ImageInfo& image, const MappingOptions& options) {
    ScanPage page;
    page.image = image;
    const ImageInfo& source = page.image;
    switch (source.kind) {
        case ImageKind::Rgb: SetLayout(page, source.bits == 16 ? 48 : 24, 3, ColorRgb); break;
        case ImageKind::Gray:
            // 2-bit grey is spread over 4 bits: the plug-in has no 2-bit pages.
            SetLayout(page, source.bits == 2 ? 4 : static_cast<uint32_t>(source.bits), 1, ColorGray);
            break;
        case ImageKind::Palette: MapPalette(page, options); break;
        case ImageKind::Bilevel: SetLayout(page, 1, 1, ColorBilevel); break;
    }
    return page;
}
