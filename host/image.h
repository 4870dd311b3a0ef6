// A decoded source image, as the readers deliver it and the demo generator
// makes it: one sample value per channel per pixel, rows top to bottom.
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

struct Image {
    ImageKind kind = ImageKind::Gray;
    int bits = 8;  // bits per sample: 1, 2, 4, 8 or 16
    uint32_t width = 0;
    uint32_t height = 0;
    std::vector<uint16_t> samples;  // width * height * Channels()
    std::vector<PaletteEntry> palette;
    std::string label;  // where it came from, for messages

    int Channels() const { return kind == ImageKind::Rgb ? 3 : 1; }
    uint16_t Sample(uint32_t x, uint32_t y, int channel = 0) const {
        return samples[(static_cast<size_t>(y) * width + x) * Channels() + channel];
    }
};

// An input that cannot be turned into pages: unreadable, damaged, or of a
// kind the host does not handle. The message is meant for the user.
class InputError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The largest image the host accepts, so that a damaged header cannot make it
// allocate without bound (a page must also stay below the 4 GiB that the
// plug-in's 32-bit offsets can address).
constexpr uint32_t kMaxImageSide = 1u << 20;
constexpr uint64_t kMaxImageSamples = 1ull << 28;

// Throws InputError when width x height x channels is empty or too large.
void CheckImageSize(uint32_t width, uint32_t height, int channels, const std::string& label);
