// PNG images through libpng: grey 1/2/4/8/16, palette 1/2/4/8, RGB 8/16.
// Images with an alpha channel are refused: what lies behind the transparent
// parts is the user's choice, not the host's.
#include "host/image_reader.h"

#ifdef ZEDUZ_HAVE_PNG

#include <png.h>

#include <csetjmp>
#include <cstring>

namespace {

// Everything libpng touches between setjmp and longjmp lives here, created
// before setjmp, so that a longjmp skips no destructor.
struct PngDecode {
    const uint8_t* data = nullptr;
    size_t size = 0;
    size_t pos = 0;
    char error[200] = {};
    png_uint_32 width = 0;
    png_uint_32 height = 0;
    int bitDepth = 0;
    int colorType = 0;
    size_t rowBytes = 0;
    std::vector<uint8_t> raw;
    std::vector<png_bytep> rowPointers;
    std::vector<PaletteEntry> palette;
    std::string refusal;  // a well-formed PNG the host does not take
};

void ReadFromMemory(png_structp png, png_bytep out, png_size_t length) {
    auto* decode = static_cast<PngDecode*>(png_get_io_ptr(png));
    if (decode->size - decode->pos < length) {
        png_error(png, "truncated file");
    }
    std::memcpy(out, decode->data + decode->pos, length);
    decode->pos += length;
}

void OnError(png_structp png, png_const_charp message) {
    auto* decode = static_cast<PngDecode*>(png_get_error_ptr(png));
    std::strncpy(decode->error, message, sizeof decode->error - 1);
    png_longjmp(png, 1);
}

void OnWarning(png_structp, png_const_charp) {}

bool AcceptLayout(PngDecode& decode) {
    switch (decode.colorType) {
    case PNG_COLOR_TYPE_GRAY:
    case PNG_COLOR_TYPE_PALETTE:
        return true;
    case PNG_COLOR_TYPE_RGB:
        return decode.bitDepth == 8 || decode.bitDepth == 16;
    default:
        decode.refusal = "PNG with an alpha channel is not supported; flatten the image first";
        return false;
    }
}

// Returns false with decode.error or decode.refusal set.
bool DecodePng(PngDecode& decode) {
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &decode, OnError, OnWarning);
    if (!png) {
        std::strcpy(decode.error, "out of memory");
        return false;
    }
    png_infop info = png_create_info_struct(png);
    if (!info || setjmp(png_jmpbuf(png))) {
        png_destroy_read_struct(&png, &info, nullptr);
        if (!decode.error[0]) {
            std::strcpy(decode.error, "out of memory");
        }
        return false;
    }
    png_set_read_fn(png, &decode, ReadFromMemory);
    png_set_user_limits(png, kMaxImageSide, kMaxImageSide);
    png_read_info(png, info);
    decode.width = png_get_image_width(png, info);
    decode.height = png_get_image_height(png, info);
    decode.bitDepth = png_get_bit_depth(png, info);
    decode.colorType = png_get_color_type(png, info);
    if (!AcceptLayout(decode)) {
        png_destroy_read_struct(&png, &info, nullptr);
        return false;
    }
    if (static_cast<uint64_t>(decode.width) * decode.height * 3 > kMaxImageSamples) {
        decode.refusal = "image is too large";
        png_destroy_read_struct(&png, &info, nullptr);
        return false;
    }
    if (decode.colorType == PNG_COLOR_TYPE_PALETTE) {
        png_colorp colors = nullptr;
        int count = 0;
        png_get_PLTE(png, info, &colors, &count);
        for (int i = 0; i < count; ++i) {
            decode.palette.push_back({colors[i].red, colors[i].green, colors[i].blue});
        }
    }
    png_set_interlace_handling(png);
    png_read_update_info(png, info);
    decode.rowBytes = png_get_rowbytes(png, info);
    decode.raw.resize(decode.rowBytes * decode.height);
    decode.rowPointers.resize(decode.height);
    for (png_uint_32 y = 0; y < decode.height; ++y) {
        decode.rowPointers[y] = decode.raw.data() + y * decode.rowBytes;
    }
    png_read_image(png, decode.rowPointers.data());
    png_read_end(png, nullptr);
    png_destroy_read_struct(&png, &info, nullptr);
    return true;
}

uint16_t PackedSample(const uint8_t* row, size_t index, int bits) {
    if (bits == 16) {
        return static_cast<uint16_t>(row[2 * index] << 8 | row[2 * index + 1]);
    }
    if (bits == 8) {
        return row[index];
    }
    const size_t bitPos = index * bits;
    const int shift = 8 - bits - static_cast<int>(bitPos % 8);
    return static_cast<uint16_t>((row[bitPos / 8] >> shift) & ((1 << bits) - 1));
}

Image ToImage(const PngDecode& decode, const std::string& label) {
    Image image;
    image.label = label;
    image.width = decode.width;
    image.height = decode.height;
    image.bits = decode.bitDepth;
    image.palette = decode.palette;
    switch (decode.colorType) {
    case PNG_COLOR_TYPE_RGB:
        image.kind = ImageKind::Rgb;
        break;
    case PNG_COLOR_TYPE_PALETTE:
        image.kind = ImageKind::Palette;
        break;
    default:
        image.kind = decode.bitDepth == 1 ? ImageKind::Bilevel : ImageKind::Gray;
    }
    const size_t perRow = static_cast<size_t>(decode.width) * image.Channels();
    image.samples.resize(perRow * decode.height);
    for (uint32_t y = 0; y < decode.height; ++y) {
        const uint8_t* row = decode.raw.data() + y * decode.rowBytes;
        for (size_t i = 0; i < perRow; ++i) {
            image.samples[y * perRow + i] = PackedSample(row, i, decode.bitDepth);
        }
    }
    if (image.kind == ImageKind::Palette) {
        for (uint16_t index : image.samples) {
            if (index >= image.palette.size()) {
                throw InputError(label + ": pixel index " + std::to_string(index) + " lies beyond the palette of " +
                                 std::to_string(image.palette.size()) + " colours");
            }
        }
    }
    return image;
}

}  // namespace

Image ReadPng(const std::vector<uint8_t>& bytes, const std::string& label) {
    PngDecode decode;
    decode.data = bytes.data();
    decode.size = bytes.size();
    if (!DecodePng(decode)) {
        throw InputError(label + ": " +
                         (decode.refusal.empty() ? "damaged PNG: " + std::string(decode.error) : decode.refusal));
    }
    return ToImage(decode, label);
}

#else

Image ReadPng(const std::vector<uint8_t>&, const std::string& label) {
    throw InputError(label + ": PNG input is not supported by this build; convert the image to PNM (P1-P6)");
}

#endif
