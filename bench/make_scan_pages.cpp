// Writes the pages of the job benchmark, the same bytes on every run:
//   make_scan_pages text WIDTH HEIGHT out.pbm         a printed text page (1 bit)
//   make_scan_pages photo WIDTH HEIGHT SEED out.ppm   a photo-like RGB page
// A text page is white paper with lines of word-like black glyphs, as a
// scanned letter looks to a Group 4 coder. A photo page is smooth colour
// gradients with sensor-like noise; each seed gives a different page.
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
// own, plus noise of a few levels, as a scanned photograph has. A wave
// sin(u(x) + v(y)) is sin u cos v + cos u sin v, so it is built from
// tables of columns and rows instead of a sine per sample.
void MakePhoto(int width, int height, uint64_t seed, const char* path) {
    Random random(seed + 100);
    const double scale = 2 * M_PI * 2480.0 / width;  // the same picture at every resolution
    struct Wave {
        double weight;
        std::vector<double> sinX, cosX, sinY, cosY;
    };
    std::vector<Wave> waves(9);
    for (Wave& w : waves) {
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
    FILE* file = std::fopen(path, "wb");
    if (file == nullptr) std::exit(1);
    std::fprintf(file, "P6\n%d %d\n255\n", width, height);
    std::vector<uint8_t> row(size_t(width) * 3);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            for (int c = 0; c < 3; ++c) {
                double value = 128 + random.Below(9) - 4;
                for (int i = 0; i < 3; ++i) {
                    const Wave& w = waves[size_t(c) * 3 + i];
                    value += w.weight * (w.sinX[x] * w.cosY[y] + w.cosX[x] * w.sinY[y]);
                }
                row[size_t(x) * 3 + c] = uint8_t(value < 0 ? 0 : value > 255 ? 255 : value);
            }
        }
        std::fwrite(row.data(), 1, row.size(), file);
    }
    if (std::fclose(file) != 0) std::exit(1);
}

int Usage() {
    std::fprintf(stderr, "usage: make_scan_pages text WIDTH HEIGHT out.pbm | photo WIDTH HEIGHT SEED out.ppm\n");
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
    } else if (kind == "photo" && argc == 6) {
        MakePhoto(width, height, std::strtoull(argv[4], nullptr, 10), argv[5]);
    } else {
        return Usage();
    }
    return 0;
}
