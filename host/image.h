// What a source image is, as its header tells: kind, depth, size, palette.
// The pixels are never held as a whole: the readers deliver them row by row.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

enum class ImageKind {
    Bilevel,  // 1 channel, values 0 (black) or 1 (white)
    Gray,     // 1 channel, 0 .. 2^bits - 1, 0 = black
    Rgb,      // 3 channels (red, green, blue), 0 .. 2^bits - 1
    Palette,  // 1 channel: an index into `palette`
};

struct PaletteEntry {
    uint8_t red = 0;
    uint8_t green = 0;
    uint8_t blue = 0;
};

struct ImageInfo {
    ImageKind kind = ImageKind::Gray;
    int bits = 8;  // bits per sample: 1, 2, 4, 8 or 16
    uint32_t width = 0;
    uint32_t height = 0;
    std::vector<PaletteEntry> palette;
    std::string label;        // where it came from, for messages
    bool heightKnown = true;  // false: `height` is an estimate (a scanner that learns the length at the page's end)

    int Channels() const { return kind == ImageKind::Rgb ? 3 : 1; }
};

// An input that cannot be turned into pages: unreadable, damaged, or of a
// kind the host does not handle. The message is meant for the user.
class InputError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A page its source could not deliver whole (a scanner jammed, the user
// pressed Ctrl-C): that page is lost, the pages before it are kept, and the
// message tells the user which page to scan again.
class PageFault : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Damage found while a page's rows are read: "label: what at row 12 of 3508"
// (rows counted from 1).
InputError RowError(const ImageInfo& image, uint32_t row, const std::string& what);

// The largest image the host accepts, so that a damaged header cannot make
// it allocate a band without bound; a page's pixels must also stay below the
// 4 GiB that the plug-in's 32-bit file offsets can address.
constexpr uint32_t kMaxImageSide = 1u << 20;
constexpr uint64_t kMaxPageBytes = 1ull << 32;

// Throws InputError when the image is empty or too large.
void CheckImageSize(uint32_t width, uint32_t height, int channels, int bits, const std::string& label);
