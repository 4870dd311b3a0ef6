// PNG images through libpng: grey 1/2/4/8/16, palette 1/2/4/8, RGB 8/16,
// read row by row. An interlaced image, whose rows come in seven passes, is
// combined pass by pass in a scratch file in the temp folder, so that memory
// holds a row of it whatever its size. Images with an alpha channel are refused: what lies behind the
// transparent parts is the user's choice, not the host's.
#include "host/image_reader.h"

#ifdef ZEDUZ_HAVE_PNG

#include <png.h>

#include <csetjmp>
#include <cstring>
#include <stdexcept>
#include <vector>

#include "host/row_packing.h"
#include "host/scratch_file.h"

namespace {

// Runs one libpng call; false when libpng reported an error, which it does
// by a longjmp back here. `call` and libpng's frames hold nothing to destroy.
template <typename Call>
bool Guarded(png_structp png, const Call& call) {
    if (setjmp(png_jmpbuf(png))) {
        return false;
    }
    call();
    return true;
}

class PngReader final : public ImageReader {
public:
    explicit PngReader(std::unique_ptr<InputFile> file) : file_(std::move(file)) {}

    ~PngReader() override {
        if (png_) {
            png_destroy_read_struct(&png_, &info_, nullptr);
        }
    }

    bool NextImage(ImageInfo& image) override {
        if (headerRead_) {
            return false;
        }
        headerRead_ = true;
        image_.label = file_->Path();
        png_ = png_create_read_struct(PNG_LIBPNG_VER_STRING, this, OnError, OnWarning);
        info_ = png_ ? png_create_info_struct(png_) : nullptr;
        if (!info_) {
            Fail("damaged PNG: out of memory");
        }
        png_set_read_fn(png_, this, ReadFromFile);
        png_set_user_limits(png_, kMaxImageSide, kMaxImageSide);
        if (!Guarded(png_, [this] { png_read_info(png_, info_); })) {
            Fail("damaged PNG: " + std::string(error_));
        }
        DescribeImage();
        image = image_;
        return true;
    }

    // A PNG file holds one image.
    bool SkipPixels() override { return true; }

    void StartRows(const ScanPage& page) override {
        SampleFormat format;
        if (image_.kind == ImageKind::Bilevel) {
            format.encoding = SampleEncoding::BitsOneIsWhite;
        } else {
            if (image_.bits < 8) {
                png_set_packing(png_);  // one byte per sample
            }
            format.encoding = image_.bits == 16 ? SampleEncoding::BigEndian16 : SampleEncoding::Bytes;
            format.maxval = (1u << image_.bits) - 1;
        }
        if (image_.kind == ImageKind::Palette) {
            format.maxval = static_cast<uint32_t>(page.image.palette.size() - 1);
            format.scaled = false;
        }
        passes_ = png_set_interlace_handling(png_);
        if (!Guarded(png_, [this] { png_read_update_info(png_, info_); })) {
            throw Damage(0);
        }
        pngRowBytes_ = png_get_rowbytes(png_, info_);
        packer_ = RowPacker(page, format);
        if (pngRowBytes_ != packer_.SourceRowBytes()) {
            throw std::logic_error("PNG rows of an unexpected size");
        }
        pngRow_.resize(packer_.InPlace() ? 0 : pngRowBytes_);
        row_ = 0;
    }

    void ReadRow(uint8_t* out) override {
        uint8_t* source = packer_.InPlace() ? out : pngRow_.data();
        if (passes_ > 1) {
            CopyInterlacedRow(source);
        } else if (!Guarded(png_, [this, source] { png_read_row(png_, source, nullptr); })) {
            throw Damage(row_);
        }
        uint32_t bad = 0;
        if (!packer_.Pack(source, out, bad)) {
            throw RowError(image_, row_,
                           "pixel index " + std::to_string(bad) + " lies beyond the palette of " +
                               std::to_string(image_.palette.size()) + " colours");
        }
        // The chunks after the pixels are checked too: damage there loses the page.
        if (row_ + 1 == image_.height && !Guarded(png_, [this] { png_read_end(png_, nullptr); })) {
            throw Damage(row_);
        }
        ++row_;
    }

private:
    [[noreturn]] void Fail(const std::string& what) const { throw InputError(file_->Path() + ": " + what); }

    InputError Damage(uint32_t row) const {
        return RowError(image_, row, truncated_ ? "truncated" : "damaged PNG (" + std::string(error_) + ")");
    }

    static void ReadFromFile(png_structp png, png_bytep out, png_size_t length) {
        auto* reader = static_cast<PngReader*>(png_get_io_ptr(png));
        size_t got = 0;
        bool readError = false;
        try {
            got = reader->file_->Read(out, length);
        } catch (const InputError&) {
            readError = true;
        }
        if (readError) {
            png_error(png, "read error");
        }
        if (got != length) {
            reader->truncated_ = true;
            png_error(png, "truncated file");
        }
    }

    static void OnError(png_structp png, png_const_charp message) {
        auto* reader = static_cast<PngReader*>(png_get_error_ptr(png));
        std::strncpy(reader->error_, message, sizeof reader->error_ - 1);
        png_longjmp(png, 1);
    }

    static void OnWarning(png_structp, png_const_charp) {}

    void DescribeImage() {
        image_.width = png_get_image_width(png_, info_);
        image_.height = png_get_image_height(png_, info_);
        image_.bits = png_get_bit_depth(png_, info_);
        switch (png_get_color_type(png_, info_)) {
            case PNG_COLOR_TYPE_GRAY: image_.kind = image_.bits == 1 ? ImageKind::Bilevel : ImageKind::Gray; break;
            case PNG_COLOR_TYPE_PALETTE:
                image_.kind = ImageKind::Palette;
                ReadPalette();
                break;
            case PNG_COLOR_TYPE_RGB: image_.kind = ImageKind::Rgb; break;
            default: Fail("PNG with an alpha channel is not supported; flatten the image first");
        }
        CheckImageSize(image_.width, image_.height, image_.Channels(), image_.bits, image_.label);
    }

    void ReadPalette() {
        png_colorp colours = nullptr;
        int count = 0;
        png_get_PLTE(png_, info_, &colours, &count);
        if (count <= 0) {
            Fail("damaged PNG: no palette");
        }
        for (int i = 0; i < count; ++i) {
            image_.palette.push_back({colours[i].red, colours[i].green, colours[i].blue});
        }
    }

    // The rows of an interlaced image come in several passes: at the first
    // row every pass is combined into the scratch file, a row at a time;
    // rows are then read back in order.
    void CopyInterlacedRow(uint8_t* out) {
        if (row_ == 0) {
            CombinePasses();
        }
        scratch_->Read(uint64_t{row_} * pngRowBytes_, out, pngRowBytes_);
    }

    void CombinePasses() {
        scratch_ = std::make_unique<ScratchFile>(image_.label, uint64_t{pngRowBytes_} * image_.height);
        std::vector<uint8_t> row(pngRowBytes_);
        for (int pass = 0; pass < passes_; ++pass) {
            for (uint32_t y = 0; y < image_.height; ++y) {
                // libpng passes over a row of another pass without touching it.
                if (!PNG_ROW_IN_INTERLACE_PASS(y, pass)) {
                    ReadPassRow(nullptr);
                    continue;
                }
                const uint64_t offset = uint64_t{y} * pngRowBytes_;
                scratch_->Read(offset, row.data(), row.size());
                ReadPassRow(row.data());
                scratch_->Write(offset, row.data(), row.size());
            }
        }
    }

    // Combines the current pass's pixels of the next row into `row`.
    void ReadPassRow(uint8_t* row) {
        if (!Guarded(png_, [this, row] { png_read_row(png_, row, nullptr); })) {
            throw Damage(0);
        }
    }

    std::unique_ptr<InputFile> file_;
    png_structp png_ = nullptr;
    png_infop info_ = nullptr;
    char error_[200] = {};
    bool truncated_ = false;
    bool headerRead_ = false;
    ImageInfo image_;
    RowPacker packer_;
    size_t pngRowBytes_ = 0;
    std::vector<uint8_t> pngRow_;  // rows that change size on the way to the band
    int passes_ = 1;
    std::unique_ptr<ScratchFile> scratch_;  // the rows of an interlaced image
    uint32_t row_ = 0;
};

}  // namespace

std::unique_ptr<ImageReader> MakePngReader(std::unique_ptr<InputFile> file) {
    return std::make_unique<PngReader>(std::move(file));
}

#else

std::unique_ptr<ImageReader> MakePngReader(std::unique_ptr<InputFile> file) {
    throw InputError(file->Path() + ": PNG input is not supported by this build; convert the image to PNM (P1-P6)");
}

#endif
