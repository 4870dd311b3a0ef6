#include "host/demo_pages.h"

#include <cstring>

#include "host/demo_font.h"
#include "host/row_packing.h"

namespace {

// Colour bars above, a red/green field below.
uint32_t ColourChart(const ImageInfo&, uint32_t x, uint32_t y, int channel) {
    static const uint8_t kBars[8][3] = {{255, 255, 255}, {255, 255, 0}, {0, 255, 255}, {0, 255, 0},
                                        {255, 0, 255},   {255, 0, 0},   {0, 0, 255},   {0, 0, 0}};
    if (y < 128) {
        return kBars[x / 48][channel];
    }
    const uint32_t field[3] = {x * 255 / 383, (y - 128) * 2, 128};
    return field[channel];
}

uint32_t DeepColourField(const ImageInfo&, uint32_t x, uint32_t y, int channel) {
    const uint32_t field[3] = {x * 257, y * 516, 65535 - x * 257};
    return field[channel];
}

uint32_t GreyRamp(const ImageInfo& image, uint32_t x, uint32_t, int) {
    return static_cast<uint32_t>(static_cast<uint64_t>(x) * (1u << image.bits) / image.width);
}

uint32_t PaletteTiles(const ImageInfo&, uint32_t x, uint32_t y, int) { return (x / 16 + (y / 8) * 16) & 0xFF; }

uint32_t PaletteStripes(const ImageInfo&, uint32_t x, uint32_t y, int) { return ((x + y) / 20) % 8; }

constexpr const char* kTextLines[] = {
    "ZEDUZ MULTI-PAGE TIFF DEMO",
    "",
    "THE QUICK BROWN FOX JUMPS",
    "OVER THE LAZY DOG.",
    "0123456789",
    "",
    "BLACK AND WHITE PAGE:",
    "UNCOMPRESSED OR CCITT",
    "GROUP 4.",
};
constexpr uint32_t kTextLineCount = sizeof kTextLines / sizeof kTextLines[0];
constexpr uint32_t kTextScale = 2;  // each glyph pixel 2 x 2
constexpr uint32_t kTextLineHeight = 10 * kTextScale;
constexpr uint32_t kTextMargin = 20;
constexpr uint32_t kFrameWidth = 4;

// Whether (x, y) is a black pixel of the text, glyphs 6 pixels apart.
bool InText(uint32_t x, uint32_t y) {
    if (x < kTextMargin || y < kTextMargin) {
        return false;
    }
    const uint32_t line = (y - kTextMargin) / kTextLineHeight;
    const uint32_t glyphRow = (y - kTextMargin) % kTextLineHeight / kTextScale;
    const uint32_t sign = (x - kTextMargin) / (6 * kTextScale);
    const uint32_t glyphColumn = (x - kTextMargin) % (6 * kTextScale) / kTextScale;
    if (line >= kTextLineCount || glyphRow >= 7 || glyphColumn >= 5 || sign >= std::strlen(kTextLines[line])) {
        return false;
    }
    return (DemoGlyph(kTextLines[line][sign])[glyphRow] >> (4 - glyphColumn)) & 1;
}

// Black text in a black frame on white (1 = white).
uint32_t TextPage(const ImageInfo& image, uint32_t x, uint32_t y, int) {
    const bool frame =
        x < kFrameWidth || y < kFrameWidth || x >= image.width - kFrameWidth || y >= image.height - kFrameWidth;
    return (frame || InText(x, y)) ? 0 : 1;
}

DemoPage Page(ImageKind kind, int bits, uint32_t width, uint32_t height, const char* label,
              uint32_t (*sample)(const ImageInfo&, uint32_t, uint32_t, int)) {
    DemoPage page;
    page.image.kind = kind;
    page.image.bits = bits;
    page.image.width = width;
    page.image.height = height;
    page.image.label = label;
    page.sample = sample;
    return page;
}

DemoPage PaletteTilesPage() {
    DemoPage page = Page(ImageKind::Palette, 8, 256, 128, "demo: 8-bit palette tiles", PaletteTiles);
    for (uint32_t i = 0; i < 256; ++i) {
        page.image.palette.push_back(
            {static_cast<uint8_t>(i), static_cast<uint8_t>(255 - i), static_cast<uint8_t>((i * 7) & 0xFF)});
    }
    return page;
}

DemoPage PaletteStripesPage() {
    static const PaletteEntry kColours[8] = {{230, 25, 75},  {60, 180, 75},  {255, 225, 25}, {0, 130, 200},
                                             {245, 130, 48}, {145, 30, 180}, {70, 240, 240}, {240, 50, 230}};
    DemoPage page = Page(ImageKind::Palette, 4, 201, 100, "demo: 4-bit palette stripes", PaletteStripes);
    page.image.palette.assign(kColours, kColours + 8);
    return page;
}

// Generates each row as one byte (16-bit: two, high first) per sample and
// lays it out as a source file's row would be.
class DemoRowSource final : public PageRows {
public:
    DemoRowSource(const DemoPage& demo, const ScanPage& page) : demo_(demo) {
        SampleFormat format;
        format.encoding = demo.image.bits == 16 ? SampleEncoding::BigEndian16 : SampleEncoding::Bytes;
        format.maxval = (1u << demo.image.bits) - 1;
        format.scaled = demo.image.kind != ImageKind::Palette;
        packer_ = RowPacker(page, format);
        row_.resize(packer_.SourceRowBytes());
    }

    void ReadRow(uint8_t* out) override {
        const ImageInfo& image = demo_.image;
        const int channels = image.Channels();
        size_t i = 0;
        for (uint32_t x = 0; x < image.width; ++x) {
            for (int c = 0; c < channels; ++c) {
                const uint32_t value = demo_.sample(image, x, y_, c);
                if (image.bits == 16) {
                    row_[i++] = static_cast<uint8_t>(value >> 8);
                }
                row_[i++] = static_cast<uint8_t>(value & 0xFF);
            }
        }
        uint32_t bad = 0;
        packer_.Pack(row_.data(), out, bad);  // the generators stay within the image's depth
        ++y_;
    }

private:
    const DemoPage& demo_;
    RowPacker packer_;
    std::vector<uint8_t> row_;
    uint32_t y_ = 0;
};

}  // namespace

std::vector<DemoPage> MakeDemoPages() {
    return {
        Page(ImageKind::Rgb, 8, 384, 256, "demo: 24-bit RGB colour chart", ColourChart),
        Page(ImageKind::Gray, 8, 256, 96, "demo: 8-bit grey gradient", GreyRamp),
        Page(ImageKind::Gray, 16, 512, 64, "demo: 16-bit grey ramp", GreyRamp),
        PaletteTilesPage(),
        Page(ImageKind::Gray, 4, 256, 64, "demo: 4-bit grey steps", GreyRamp),
        PaletteStripesPage(),
        Page(ImageKind::Rgb, 16, 256, 128, "demo: 48-bit RGB field", DeepColourField),
        Page(ImageKind::Bilevel, 1, 371, kTextLineCount * kTextLineHeight + 2 * kTextMargin,
             "demo: black and white text", TextPage),
    };
}

std::unique_ptr<PageRows> DemoRows(const DemoPage& demo, const ScanPage& page) {
    return std::make_unique<DemoRowSource>(demo, page);
}
