// PNM (netpbm) images: plain and raw bitmaps (P1, P4), greymaps (P2, P5) and
// pixmaps (P3, P6), 8- and 16-bit maxval, several images per file.
#include <cctype>
#include <string>

#include "host/image_reader.h"

namespace {

class PnmParser {
public:
    PnmParser(const std::vector<uint8_t>& bytes, const std::string& label) : bytes_(bytes), label_(label) {}

    bool AtAnotherImage() {
        SkipWhitespaceAndComments();
        return pos_ + 1 < bytes_.size() && bytes_[pos_] == 'P' && bytes_[pos_ + 1] >= '1' &&
               bytes_[pos_ + 1] <= '6';
    }

    Image ReadImage() {
        const char type = static_cast<char>(bytes_[pos_ + 1]);
        pos_ += 2;
        const bool bitmap = type == '1' || type == '4';
        const bool plain = type <= '3';
        const int channels = (type == '3' || type == '6') ? 3 : 1;
        const uint32_t width = ReadHeaderNumber("width");
        const uint32_t height = ReadHeaderNumber("height");
        const uint32_t maxval = bitmap ? 1 : ReadHeaderNumber("maxval");
        if (maxval == 0 || maxval > 65535) {
            Fail("maxval " + std::to_string(maxval) + " is outside 1..65535");
        }
        CheckImageSize(width, height, channels, label_);
        if (!plain) {
            SkipOneWhitespace();
        }
        Image image;
        image.width = width;
        image.height = height;
        image.label = label_;
        if (bitmap) {
            ReadBitmap(image, plain);
        } else {
            ReadSamples(image, channels, maxval, plain);
        }
        return image;
    }

private:
    [[noreturn]] void Fail(const std::string& what) const { throw InputError(label_ + ": " + what); }

    void SkipWhitespaceAndComments() {
        while (pos_ < bytes_.size()) {
            if (bytes_[pos_] == '#') {
                while (pos_ < bytes_.size() && bytes_[pos_] != '\n' && bytes_[pos_] != '\r') {
                    ++pos_;
                }
            } else if (std::isspace(bytes_[pos_])) {
                ++pos_;
            } else {
                return;
            }
        }
    }

    void SkipOneWhitespace() {
        if (pos_ >= bytes_.size() || !std::isspace(bytes_[pos_])) {
            Fail("header does not end in a whitespace character");
        }
        ++pos_;
    }

    uint32_t ReadHeaderNumber(const char* name) {
        SkipWhitespaceAndComments();
        if (pos_ >= bytes_.size()) {
            Fail(std::string("truncated header: no ") + name);
        }
        return ReadDecimal(name);
    }

    uint32_t ReadDecimal(const char* name) {
        if (!std::isdigit(bytes_[pos_])) {
            Fail(std::string("bad ") + name + ": expected a decimal number");
        }
        uint64_t value = 0;
        while (pos_ < bytes_.size() && std::isdigit(bytes_[pos_])) {
            value = value * 10 + (bytes_[pos_++] - '0');
            if (value > 0xFFFFFFFFu) {
                Fail(std::string(name) + " is too large");
            }
        }
        return static_cast<uint32_t>(value);
    }

    uint32_t ReadPlainSample(uint32_t maxval) {
        SkipWhitespaceAndComments();
        if (pos_ >= bytes_.size()) {
            Fail("truncated pixel data");
        }
        const uint32_t value = ReadDecimal("sample");
        if (value > maxval) {
            Fail("sample " + std::to_string(value) + " exceeds maxval " + std::to_string(maxval));
        }
        return value;
    }

    void NeedRaster(uint64_t count) const {
        if (bytes_.size() - pos_ < count) {
            Fail("truncated pixel data: " + std::to_string(count) + " bytes expected, " +
                 std::to_string(bytes_.size() - pos_) + " present");
        }
    }

    // PBM: 1 is black. Stored with the host's sense, 1 = white.
    void ReadBitmap(Image& image, bool plain) {
        image.kind = ImageKind::Bilevel;
        image.bits = 1;
        image.samples.resize(static_cast<size_t>(image.width) * image.height);
        const size_t rowBytes = (image.width + 7) / 8;
        if (!plain) {
            NeedRaster(static_cast<uint64_t>(rowBytes) * image.height);
        }
        size_t out = 0;
        for (uint32_t y = 0; y < image.height; ++y) {
            for (uint32_t x = 0; x < image.width; ++x) {
                uint32_t black;
                if (plain) {
                    black = ReadPlainBit();
                } else {
                    black = (bytes_[pos_ + y * rowBytes + x / 8] >> (7 - x % 8)) & 1;
                }
                image.samples[out++] = static_cast<uint16_t>(black ^ 1);
            }
        }
        if (!plain) {
            pos_ += rowBytes * image.height;
        }
    }

    // Plain PBM digits need no whitespace between them.
    uint32_t ReadPlainBit() {
        SkipWhitespaceAndComments();
        if (pos_ >= bytes_.size()) {
            Fail("truncated pixel data");
        }
        const uint8_t c = bytes_[pos_++];
        if (c != '0' && c != '1') {
            Fail("bad bitmap pixel: expected 0 or 1");
        }
        return c - '0';
    }

    void ReadSamples(Image& image, int channels, uint32_t maxval, bool plain) {
        const size_t count = static_cast<size_t>(image.width) * image.height * channels;
        const int bytesPerSample = maxval > 255 ? 2 : 1;
        if (!plain) {
            NeedRaster(static_cast<uint64_t>(count) * bytesPerSample);
        }
        image.samples.resize(count);
        for (size_t i = 0; i < count; ++i) {
            uint32_t value;
            if (plain) {
                value = ReadPlainSample(maxval);
            } else {
                value = bytes_[pos_];
                if (bytesPerSample == 2) {
                    value = value << 8 | bytes_[pos_ + 1];
                }
                pos_ += bytesPerSample;
                if (value > maxval) {
                    Fail("sample " + std::to_string(value) + " exceeds maxval " + std::to_string(maxval));
                }
            }
            image.samples[i] = static_cast<uint16_t>(value);
        }
        SetDepth(image, channels, maxval);
    }

    // A maxval of 2^n - 1 keeps its samples; any other is scaled to 8 or 16
    // bits. Grey 1, 2 and 4 bits stay as they are (a greymap with maxval 1 is
    // black and white).
    static void SetDepth(Image& image, int channels, uint32_t maxval) {
        image.kind = channels == 3 ? ImageKind::Rgb : ImageKind::Gray;
        if (channels == 1) {
            for (int bits : {1, 2, 4}) {
                if (maxval == (1u << bits) - 1) {
                    image.bits = bits;
                    if (bits == 1) {
                        image.kind = ImageKind::Bilevel;
                    }
                    return;
                }
            }
        }
        image.bits = maxval > 255 ? 16 : 8;
        const uint32_t target = maxval > 255 ? 65535 : 255;
        if (maxval == target) {
            return;
        }
        for (uint16_t& sample : image.samples) {
            sample = static_cast<uint16_t>((static_cast<uint64_t>(sample) * target + maxval / 2) / maxval);
        }
    }

    const std::vector<uint8_t>& bytes_;
    const std::string& label_;
    size_t pos_ = 0;
};

}  // namespace

std::vector<Image> ReadPnm(const std::vector<uint8_t>& bytes, const std::string& label) {
    PnmParser parser(bytes, label);
    std::vector<Image> images;
    // Trailing bytes that do not start another image are ignored.
    while (parser.AtAnotherImage()) {
        images.push_back(parser.ReadImage());
    }
    if (images.empty()) {
        throw InputError(label + ": no PNM image found");
    }
    return images;
}
