// Writes the pages of the job benchmark, the same bytes on every run:
//   make_scan_pages text WIDTH HEIGHT out.pbm         a printed text page (1 bit)
//   make_scan_pages photo WIDTH HEIGHT SEED out.ppm   a photo-like RGB page
//   make_scan_pages grey WIDTH HEIGHT SEED out.pgm    the photo in 8-bit grey
//   make_scan_pages grey16 WIDTH HEIGHT SEED out.pgm  the photo in 16-bit grey
//   make_scan_pages document WIDTH HEIGHT SEED out.ppm  a colour document page
// A text page is white paper with lines of word-like black glyphs, as a
// scanned letter looks to a Group 4 coder. A photo page is smooth colour
// gradients with sensor-like noise; each seed gives a different page. A grey
// page is its luminance, with noise of its own (16-bit: noise in the low
// bits too, as a 16-bit scanner delivers). A document page is slightly noisy
// paper with dark text, a coloured band across its head and a photo in a
// box, as a scanned letter or brochure page looks in colour.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

// A small fixed generator: the same numbers on every machine and library.
class Random {
public:
    explicit Random(uint64_t seed) : state_(seed * 0x9E3779B97F4A7C15ull + 1) {}
    uint32_t Next() {
        state_ ^= state_ << 13;
        state_ ^= state_ >> 7;
        state_ ^= state_ << 17;
        return static_cast<uint32_t>(state_ >> 32);
    }
    int Below(int bound) { return static_cast<int>(Next() % static_cast<uint32_t>(bound)); }

private:
    uint64_t state_;
};

class Bitmap {
public:
    Bitmap(int width, int height) : width_(width), height_(height), black_(size_t(width) * height, 0) {}
    void Fill(int x, int y, int w, int h) {
        for (int row = std::max(y, 0); row < std::min(y + h, height_); ++row)
            for (int col = std::max(x, 0); col < std::min(x + w, width_); ++col) black_[size_t(row) * width_ + col] = 1;
    }
    bool Black(int x, int y) const { return black_[size_t(y) * width_ + x] != 0; }
    bool Write(const char* path) const {
        FILE* file = std::fopen(path, "wb");
        if (file == nullptr) return false;
        std::fprintf(file, "P4\n%d %d\n", width_, height_);
        std::vector<uint8_t> row((width_ + 7) / 8);
        for (int y = 0; y < height_; ++y) {
            std::fill(row.begin(), row.end(), 0);
            for (int x = 0; x < width_; ++x)
                if (black_[size_t(y) * width_ + x]) row[x / 8] |= uint8_t(0x80 >> (x % 8));
            std::fwrite(row.data(), 1, row.size(), file);
        }
        return std::fclose(file) == 0;
    }

private:
    int width_, height_;
    std::vector<uint8_t> black_;
};

// One glyph in a cell whose baseline is at `base`: a few strokes of a
// letter (stems, bars, an ascender or a descender) `stroke` pixels thick.
void DrawGlyph(Bitmap& page, Random& random, int x, int base, int width, int xHeight, int stroke) {
    int shape = random.Below(64);
    int top = base - xHeight;
    if (shape & 1) page.Fill(x, top, stroke, xHeight);                                  // left stem
    if (shape & 2) page.Fill(x + width - stroke, top, stroke, xHeight);                 // right stem
    if (shape & 4) page.Fill(x, top, width, stroke);                                    // top bar
    if (shape & 8) page.Fill(x, base - xHeight / 2, width, stroke);                     // middle bar
    if ((shape & 16) || (shape & 15) == 0) page.Fill(x, base - stroke, width, stroke);  // foot
    if (shape & 32) {
        if (random.Below(2))
            page.Fill(x, top - xHeight / 2, stroke, xHeight / 2);  // ascender
        else
            page.Fill(x + width - stroke, base, stroke, xHeight / 2);  // descender
    }
}

// A4 text at the page's own resolution: 25 mm margins, 12-point lines.
void MakeText(int width, int height, const char* path) {
    Bitmap page(width, height);
    Random random(7);
    const double dotsPerMm = width / 210.0;
    const int margin = int(25 * dotsPerMm);
    const int lineHeight = int(4.2 * dotsPerMm);
    const int xHeight = lineHeight * 2 / 5;
    const int glyphWidth = xHeight * 4 / 5;
    const int stroke = std::max(2, xHeight / 7);
    for (int base = margin + lineHeight; base < height - margin; base += lineHeight) {
        if (random.Below(9) == 0) continue;  // paragraph gap
        int lineEnd = width - margin - (random.Below(6) == 0 ? random.Below(width / 2) : 0);
        int x = margin;
        while (true) {
            int letters = 1 + random.Below(9);
            if (x + letters * (glyphWidth + stroke) > lineEnd) break;
            for (int i = 0; i < letters; ++i, x += glyphWidth + stroke)
                DrawGlyph(page, random, x, base, glyphWidth, xHeight, stroke);
            x += glyphWidth;  // word space
        }
    }
    if (!page.Write(path)) std::exit(1);
}

// Smooth gradients: three broad colour waves per channel at angles of their
// own, as a scanned photograph has (its noise is added by the page writers).
// A wave sin(u(x) + v(y)) is sin u cos v + cos u sin v, so it is built from
// tables of columns and rows instead of a sine per sample.
class PhotoField {
public:
    PhotoField(int width, int height, Random& random) : width_(width), waves_(9) {
        const double scale = 2 * M_PI * 2480.0 / width;  // the same picture at every resolution
        for (Wave& w : waves_) {
            double fx = (random.Below(90) + 10) / 1e5, fy = (random.Below(90) + 10) / 1e5;  // at most 2.5 waves a page
            double phase = random.Below(628) / 100.0;
            w.weight = random.Below(40) + 20;
            for (int x = 0; x < width; ++x) {
                w.sinX.push_back(std::sin(fx * x * scale));
                w.cosX.push_back(std::cos(fx * x * scale));
            }
            for (int y = 0; y < height; ++y) {
                w.sinY.push_back(std::sin(fy * y * scale + phase));
                w.cosY.push_back(std::cos(fy * y * scale + phase));
            }
        }
    }
    // Channel `c` of pixel (x, y), around 128, without noise.
    double Value(int c, int x, int y) const {
        double value = 128;
        for (int i = 0; i < 3; ++i) {
            const Wave& w = waves_[size_t(c) * 3 + i];
            value += w.weight * (w.sinX[x] * w.cosY[y] + w.cosX[x] * w.sinY[y]);
        }
        return value;
    }
    int width() const { return width_; }

private:
    struct Wave {
        double weight;
        std::vector<double> sinX, cosX, sinY, cosY;
    };
    int width_;
    std::vector<Wave> waves_;
};

uint8_t Clamp8(double value) { return uint8_t(value < 0 ? 0 : value > 255 ? 255 : value); }
uint16_t Clamp16(double value) { return uint16_t(value < 0 ? 0 : value > 65535 ? 65535 : value); }

FILE* OpenPage(const char* path, const char* magic, int width, int height, int maxValue) {
    FILE* file = std::fopen(path, "wb");
    if (file == nullptr) std::exit(1);
    std::fprintf(file, "%s\n%d %d\n%d\n", magic, width, height, maxValue);
    return file;
}

void ClosePage(FILE* file) {
    if (std::fclose(file) != 0) std::exit(1);
}

void MakePhoto(int width, int height, uint64_t seed, const char* path) {
    Random random(seed + 100);
    PhotoField photo(width, height, random);
    FILE* file = OpenPage(path, "P6", width, height, 255);
    std::vector<uint8_t> row(size_t(width) * 3);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x)
            for (int c = 0; c < 3; ++c) row[size_t(x) * 3 + c] = Clamp8(photo.Value(c, x, y) + random.Below(9) - 4);
        std::fwrite(row.data(), 1, row.size(), file);
    }
    ClosePage(file);
}

double Luminance(const PhotoField& photo, int x, int y) {
    return 0.299 * photo.Value(0, x, y) + 0.587 * photo.Value(1, x, y) + 0.114 * photo.Value(2, x, y);
}

// 8-bit grey: noise of a few levels; 16-bit: the same picture at 257 times
// the scale, with noise of a few hundred levels in the low bits.
void MakeGrey(int width, int height, uint64_t seed, bool sixteen, const char* path) {
    Random random(seed + 200);
    PhotoField photo(width, height, random);
    FILE* file = OpenPage(path, "P5", width, height, sixteen ? 65535 : 255);
    std::vector<uint8_t> row(size_t(width) * (sixteen ? 2 : 1));
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const double value = Luminance(photo, x, y);
            if (sixteen) {
                const uint16_t sample = Clamp16(value * 257 + random.Below(1025) - 512);
                row[size_t(x) * 2] = uint8_t(sample >> 8);  // PNM: most significant byte first
                row[size_t(x) * 2 + 1] = uint8_t(sample);
            } else {
                row[x] = Clamp8(value + random.Below(7) - 3);
            }
        }
        std::fwrite(row.data(), 1, row.size(), file);
    }
    ClosePage(file);
}

// Paper (a warm white) with text in dark blue-black, a coloured band
// across the head and a photo in a box; scanner noise of a few levels
// over all of it.
void MakeDocument(int width, int height, uint64_t seed, const char* path) {
    Random random(seed + 300);
    PhotoField photo(width, height, random);
    Bitmap text(width, height);
    Random textRandom(seed + 7);
    const double dotsPerMm = width / 210.0;
    const int margin = int(25 * dotsPerMm), lineHeight = int(4.2 * dotsPerMm);
    const int xHeight = lineHeight * 2 / 5, glyphWidth = xHeight * 4 / 5, stroke = std::max(2, xHeight / 7);
    const int bandEnd = int(40 * dotsPerMm);
    const int boxLeft = margin, boxTop = int(120 * dotsPerMm), boxRight = width / 2, boxBottom = int(190 * dotsPerMm);
    for (int base = bandEnd + lineHeight * 2; base < height - margin; base += lineHeight) {
        if (textRandom.Below(9) == 0 || (base > boxTop - lineHeight && base < boxBottom + lineHeight)) continue;
        int x = margin;
        while (true) {
            int letters = 1 + textRandom.Below(9);
            if (x + letters * (glyphWidth + stroke) > width - margin) break;
            for (int i = 0; i < letters; ++i, x += glyphWidth + stroke)
                DrawGlyph(text, textRandom, x, base, glyphWidth, xHeight, stroke);
            x += glyphWidth;
        }
    }
    FILE* file = OpenPage(path, "P6", width, height, 255);
    const double paper[3] = {246, 244, 238}, ink[3] = {28, 30, 52}, band[3] = {32, 86, 160};
    std::vector<uint8_t> row(size_t(width) * 3);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const bool inBox = x >= boxLeft && x < boxRight && y >= boxTop && y < boxBottom;
            for (int c = 0; c < 3; ++c) {
                double value = y < bandEnd ? band[c] : text.Black(x, y) ? ink[c] : paper[c];
                if (inBox) value = photo.Value(c, x, y);
                row[size_t(x) * 3 + c] = Clamp8(value + random.Below(5) - 2);
            }
        }
        std::fwrite(row.data(), 1, row.size(), file);
    }
    ClosePage(file);
}

int Usage() {
    std::fprintf(stderr,
                 "usage: make_scan_pages text WIDTH HEIGHT out.pbm | photo|document WIDTH HEIGHT SEED out.ppm |\n"
                 "       grey|grey16 WIDTH HEIGHT SEED out.pgm\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 5) return Usage();
    const std::string kind = argv[1];
    const int width = std::atoi(argv[2]);
    const int height = std::atoi(argv[3]);
    if (width <= 0 || height <= 0) return Usage();
    if (kind == "text" && argc == 5) {
        MakeText(width, height, argv[4]);
    } else if (argc == 6 && (kind == "photo" || kind == "grey" || kind == "grey16" || kind == "document")) {
        const uint64_t seed = std::strtoull(argv[4], nullptr, 10);
        if (kind == "photo") MakePhoto(width, height, seed, argv[5]);
        if (kind == "grey" || kind == "grey16") MakeGrey(width, height, seed, kind == "grey16", argv[5]);
        if (kind == "document") MakeDocument(width, height, seed, argv[5]);
    } else {
        return Usage();
    }
    return 0;
}
