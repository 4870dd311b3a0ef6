// PNM (netpbm) images: plain and raw bitmaps (P1, P4), greymaps (P2, P5) and
// pixmaps (P3, P6), 8- and 16-bit maxval, several images per file. Raw rows
// are read straight into the band and laid out where they lie; plain rows
// are parsed into their raw form first.
#include <algorithm>
#include <cctype>
#include <string>
#include <vector>

#include "host/image_reader.h"
#include "host/row_packing.h"

namespace {

class PnmReader final : public ImageReader {
public:
    explicit PnmReader(std::unique_ptr<InputFile> file) : file_(std::move(file)), in_(*file_) {}

    bool NextImage(ImageInfo& image) override {
        // Trailing bytes that do not start another image are ignored.
        SkipWhitespaceAndComments();
        if (in_.Get() != 'P' || in_.Peek() < '1' || in_.Peek() > '6') {
            return false;
        }
        ReadHeader(static_cast<char>(in_.Get()));
        image = image_;
        return true;
    }

    bool SkipPixels() override {
        if (!plain_) {
            return in_.Skip(RawRowBytes() * image_.height);
        }
        for (uint64_t tokens = SamplesPerRow() * image_.height; tokens > 0; --tokens) {
            if (!SkipPlainToken()) {
                return false;
            }
        }
        return true;
    }

    void StartRows(const ScanPage& page) override {
        SampleFormat format;
        format.encoding = bitmap_         ? SampleEncoding::BitsOneIsBlack
                          : maxval_ > 255 ? SampleEncoding::BigEndian16
                                          : SampleEncoding::Bytes;
        format.maxval = maxval_;
        packer_ = RowPacker(page, format);
        rawRow_.resize(packer_.InPlace() ? 0 : packer_.SourceRowBytes());
        row_ = 0;
    }

    void ReadRow(uint8_t* out) override {
        uint8_t* raw = packer_.InPlace() ? out : rawRow_.data();
        const size_t bytes = packer_.SourceRowBytes();
        if (plain_) {
            ReadPlainRow(raw);
        } else if (in_.Read(raw, bytes) != bytes) {
            throw RowError(image_, row_, "truncated");
        }
        PackRow(raw, out);
    }

    // Raw rows that lie in the band back to back, as in the file, come in one
    // read straight into the band.
    void ReadRows(uint8_t* out, uint32_t count, size_t stride) override {
        const size_t bytes = packer_.SourceRowBytes();
        if (plain_ || !packer_.InPlace() || stride != bytes) {
            PageRows::ReadRows(out, count, stride);
            return;
        }
        const size_t whole = in_.Read(out, bytes * count) / bytes;
        for (size_t row = 0; row < whole; ++row) {
            PackRow(out + bytes * row, out + bytes * row);
        }
        if (whole < count) {
            throw RowError(image_, row_, "truncated");
        }
    }

private:
    [[noreturn]] void Fail(const std::string& what) const { throw InputError(in_.Path() + ": " + what); }

    // Lays out the row read at `raw` (`out` itself where the row keeps its
    // size), the samples checked against maxval.
    void PackRow(const uint8_t* raw, uint8_t* out) {
        uint32_t bad = 0;
        if (!packer_.Pack(raw, out, bad)) {
            throw SampleAboveMaxval(bad);
        }
        ++row_;
    }

    InputError SampleAboveMaxval(uint32_t value) const {
        return RowError(image_, row_, "sample " + std::to_string(value) + " exceeds maxval " + std::to_string(maxval_));
    }

    void ReadHeader(char type) {
        bitmap_ = type == '1' || type == '4';
        plain_ = type <= '3';
        const int channels = (type == '3' || type == '6') ? 3 : 1;
        const uint32_t width = ReadHeaderNumber("width");
        const uint32_t height = ReadHeaderNumber("height");
        maxval_ = bitmap_ ? 1 : ReadHeaderNumber("maxval");
        if (maxval_ == 0 || maxval_ > 65535) {
            Fail("maxval " + std::to_string(maxval_) + " is outside 1..65535");
        }
        image_ = ImageInfo();
        image_.width = width;
        image_.height = height;
        image_.label = in_.Path();
        SetDepth(channels);
        CheckImageSize(width, height, channels, image_.bits, image_.label);
        if (!plain_) {
            SkipOneWhitespace();
        }
    }

    // A maxval of 2^n - 1 keeps its samples; any other is scaled to 8 or 16
    // bits. Grey 1, 2 and 4 bits stay as they are (a greymap with maxval 1 is
    // black and white, and so is a bitmap).
    void SetDepth(int channels) {
        image_.kind = channels == 3 ? ImageKind::Rgb : ImageKind::Gray;
        if (channels == 1) {
            for (int bits : {1, 2, 4}) {
                if (maxval_ == (1u << bits) - 1) {
                    image_.bits = bits;
                    if (bits == 1) {
                        image_.kind = ImageKind::Bilevel;
                    }
                    return;
                }
            }
        }
        image_.bits = maxval_ > 255 ? 16 : 8;
    }

    uint64_t SamplesPerRow() const { return static_cast<uint64_t>(image_.width) * image_.Channels(); }

    uint64_t RawRowBytes() const {
        return bitmap_ ? (image_.width + 7) / 8 : SamplesPerRow() * (maxval_ > 255 ? 2 : 1);
    }

    void SkipWhitespaceAndComments() {
        for (int c = in_.Peek(); c >= 0; c = in_.Peek()) {
            if (c == '#') {
                while (c >= 0 && c != '\n' && c != '\r') {
                    in_.Get();
                    c = in_.Peek();
                }
            } else if (std::isspace(c)) {
                in_.Get();
            } else {
                return;
            }
        }
    }

    void SkipOneWhitespace() {
        const int c = in_.Get();
        if (c < 0 || !std::isspace(c)) {
            Fail("header does not end in a whitespace character");
        }
    }

    uint32_t ReadHeaderNumber(const char* name) {
        SkipWhitespaceAndComments();
        if (in_.Peek() < 0) {
            Fail(std::string("truncated header: no ") + name);
        }
        uint32_t value = 0;
        if (!ReadDecimal(name, value)) {
            Fail(std::string("bad ") + name + ": expected a decimal number");
        }
        return value;
    }

    // False when no digit comes; throws when the number passes 32 bits.
    bool ReadDecimal(const char* name, uint32_t& value) {
        if (!std::isdigit(in_.Peek())) {
            return false;
        }
        uint64_t number = 0;
        while (std::isdigit(in_.Peek())) {
            number = number * 10 + static_cast<uint32_t>(in_.Get() - '0');
            if (number > 0xFFFFFFFFu) {
                Fail(std::string(name) + " is too large");
            }
        }
        value = static_cast<uint32_t>(number);
        return true;
    }

    // One plain row in the form of its raw counterpart (P1 as P4, P2 as P5,
    // P3 as P6).
    void ReadPlainRow(uint8_t* raw) {
        if (bitmap_) {
            std::fill(raw, raw + RawRowBytes(), uint8_t{0});
            for (uint32_t x = 0; x < image_.width; ++x) {
                if (ReadPlainBit()) {
                    raw[x / 8] |= static_cast<uint8_t>(0x80 >> (x % 8));
                }
            }
            return;
        }
        const uint64_t samples = SamplesPerRow();
        for (uint64_t i = 0; i < samples; ++i) {
            const uint32_t value = ReadPlainSample();
            if (maxval_ > 255) {
                raw[2 * i] = static_cast<uint8_t>(value >> 8);
                raw[2 * i + 1] = static_cast<uint8_t>(value & 0xFF);
            } else {
                raw[i] = static_cast<uint8_t>(value);
            }
        }
    }

    uint32_t ReadPlainSample() {
        SkipWhitespaceAndComments();
        if (in_.Peek() < 0) {
            throw RowError(image_, row_, "truncated");
        }
        uint32_t value = 0;
        if (!ReadDecimal("sample", value)) {
            throw RowError(image_, row_, "bad sample: expected a decimal number");
        }
        if (value > maxval_) {
            throw SampleAboveMaxval(value);
        }
        return value;
    }

    // Plain PBM digits need no whitespace between them; 1 is black.
    bool ReadPlainBit() {
        SkipWhitespaceAndComments();
        const int c = in_.Get();
        if (c < 0) {
            throw RowError(image_, row_, "truncated");
        }
        if (c != '0' && c != '1') {
            throw RowError(image_, row_, "bad bitmap pixel: expected 0 or 1");
        }
        return c == '1';
    }

    // Passes over one plain sample without reading it: a digit of a bitmap,
    // a run of non-space characters otherwise. False at the end of the file.
    bool SkipPlainToken() {
        SkipWhitespaceAndComments();
        if (in_.Peek() < 0) {
            return false;
        }
        if (bitmap_) {
            in_.Get();
            return true;
        }
        for (int c = in_.Peek(); c >= 0 && !std::isspace(c) && c != '#'; c = in_.Peek()) {
            in_.Get();
        }
        return true;
    }

    std::unique_ptr<InputFile> file_;
    InputFile& in_;
    ImageInfo image_;
    bool bitmap_ = false;
    bool plain_ = false;
    uint32_t maxval_ = 255;
    RowPacker packer_;
    std::vector<uint8_t> rawRow_;  // rows that change size on the way to the band
    uint32_t row_ = 0;
};

}  // namespace

std::unique_ptr<ImageReader> MakePnmReader(std::unique_ptr<InputFile> file) {
    return std::make_unique<PnmReader>(std::move(file));
}
