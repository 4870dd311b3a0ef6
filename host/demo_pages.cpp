#include "host/demo_pages.h"

#include "host/demo_font.h"

namespace {

Image Blank(ImageKind kind, int bits, uint32_t width, uint32_t height, const char* label) {
    Image image;
    image.kind = kind;
    image.bits = bits;
    image.width = width;
    image.height = height;
    image.label = label;
    image.samples.assign(static_cast<size_t>(width) * height * image.Channels(), 0);
    return image;
}

void SetRgb(Image& image, uint32_t x, uint32_t y, uint32_t red, uint32_t green, uint32_t blue) {
    uint16_t* pixel = &image.samples[(static_cast<size_t>(y) * image.width + x) * 3];
    pixel[0] = static_cast<uint16_t>(red);
    pixel[1] = static_cast<uint16_t>(green);
    pixel[2] = static_cast<uint16_t>(blue);
}

void SetValue(Image& image, uint32_t x, uint32_t y, uint32_t value) {
    image.samples[static_cast<size_t>(y) * image.width + x] = static_cast<uint16_t>(value);
}

// Colour bars above, a red/green field below.
Image ColourChart() {
    static const uint8_t kBars[8][3] = {{255, 255, 255}, {255, 255, 0}, {0, 255, 255}, {0, 255, 0},
                                        {255, 0, 255},   {255, 0, 0},   {0, 0, 255},   {0, 0, 0}};
    Image image = Blank(ImageKind::Rgb, 8, 384, 256, "demo: 24-bit RGB colour chart");
    for (uint32_t y = 0; y < image.height; ++y) {
        for (uint32_t x = 0; x < image.width; ++x) {
            if (y < 128) {
                const uint8_t* bar = kBars[x / 48];
                SetRgb(image, x, y, bar[0], bar[1], bar[2]);
            } else {
                SetRgb(image, x, y, x * 255 / 383, (y - 128) * 2, 128);
            }
        }
    }
    return image;
}

Image DeepColourField() {
    Image image = Blank(ImageKind::Rgb, 16, 256, 128, "demo: 48-bit RGB field");
    for (uint32_t y = 0; y < image.height; ++y) {
        for (uint32_t x = 0; x < image.width; ++x) {
            SetRgb(image, x, y, x * 257, y * 516, 65535 - x * 257);
        }
    }
    return image;
}

Image GreyRamp(int bits, uint32_t width, uint32_t height, const char* label) {
    Image image = Blank(ImageKind::Gray, bits, width, height, label);
    const uint32_t top = (1u << bits) - 1;
    for (uint32_t y = 0; y < height; ++y) {
        for (uint32_t x = 0; x < width; ++x) {
            SetValue(image, x, y, static_cast<uint32_t>(static_cast<uint64_t>(x) * (top + 1) / width));
        }
    }
    return image;
}

Image PaletteTiles() {
    Image image = Blank(ImageKind::Palette, 8, 256, 128, "demo: 8-bit palette tiles");
    for (uint32_t i = 0; i < 256; ++i) {
        image.palette.push_back({static_cast<uint8_t>(i), static_cast<uint8_t>(255 - i),
                                 static_cast<uint8_t>((i * 7) & 0xFF)});
    }
    for (uint32_t y = 0; y < image.height; ++y) {
        for (uint32_t x = 0; x < image.width; ++x) {
            SetValue(image, x, y, (x / 16 + (y / 8) * 16) & 0xFF);
        }
    }
    return image;
}

Image PaletteStripes() {
    static const PaletteEntry kColours[8] = {{230, 25, 75},  {60, 180, 75},  {255, 225, 25}, {0, 130, 200},
                                             {245, 130, 48}, {145, 30, 180}, {70, 240, 240}, {240, 50, 230}};
    Image image = Blank(ImageKind::Palette, 4, 201, 100, "demo: 4-bit palette stripes");
    image.palette.assign(kColours, kColours + 8);
    for (uint32_t y = 0; y < image.height; ++y) {
        for (uint32_t x = 0; x < image.width; ++x) {
            SetValue(image, x, y, ((x + y) / 20) % 8);
        }
    }
    return image;
}

void DrawText(Image& image, uint32_t left, uint32_t top, const char* text, uint32_t scale) {
    for (uint32_t c = 0; text[c] != '\0'; ++c) {
        const uint8_t* glyph = DemoGlyph(text[c]);
        for (uint32_t row = 0; row < 7 * scale; ++row) {
            for (uint32_t column = 0; column < 5 * scale; ++column) {
                if ((glyph[row / scale] >> (4 - column / scale)) & 1) {
                    SetValue(image, left + c * 6 * scale + column, top + row, 0);
                }
            }
        }
    }
}

// Black text in a black frame on white (1 = white).
Image TextPage() {
    static const char* const kLines[] = {
        "ZEDUZ MULTI-PAGE TIFF DEMO", "", "THE QUICK BROWN FOX JUMPS", "OVER THE LAZY DOG.", "0123456789",
        "",                           "BLACK AND WHITE PAGE:",     "UNCOMPRESSED OR CCITT",   "GROUP 4.",
    };
    constexpr uint32_t kScale = 2;
    constexpr uint32_t kLineHeight = 10 * kScale;
    constexpr uint32_t kLineCount = sizeof kLines / sizeof kLines[0];
    Image image = Blank(ImageKind::Bilevel, 1, 371, kLineCount * kLineHeight + 40, "demo: black and white text");
    for (uint16_t& sample : image.samples) {
        sample = 1;
    }
    for (uint32_t y = 0; y < image.height; ++y) {
        for (uint32_t x = 0; x < image.width; ++x) {
            if (x < 4 || y < 4 || x >= image.width - 4 || y >= image.height - 4) {
                SetValue(image, x, y, 0);
            }
        }
    }
    for (uint32_t line = 0; line < kLineCount; ++line) {
        DrawText(image, 20, 20 + line * kLineHeight, kLines[line], kScale);
    }
    return image;
}

}  // namespace

std::vector<Image> MakeDemoPages() {
    std::vector<Image> pages;
    pages.push_back(ColourChart());
    pages.push_back(GreyRamp(8, 256, 96, "demo: 8-bit grey gradient"));
    pages.push_back(GreyRamp(16, 512, 64, "demo: 16-bit grey ramp"));
    pages.push_back(PaletteTiles());
    pages.push_back(GreyRamp(4, 256, 64, "demo: 4-bit grey steps"));
    pages.push_back(PaletteStripes());
    pages.push_back(DeepColourField());
    pages.push_back(TextPage());
    return pages;
}
