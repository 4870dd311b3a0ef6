// Our Group 4 and Group 3 strips against libtiff's: bit for bit the strip
// its encoder makes of the same rows, and decoded by it back to the source
// pixels. Every case runs in Group 4 and in each Group 3 coding: one- and
// two-dimensional, with and without fill bits, K = 2 and 4.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "g4_test_support.h"
#include "support/files.h"
#include "tiff/g4_runs.h"

namespace {

uint32_t Hash(uint32_t x, uint32_t y, uint32_t seed) {
    uint32_t h = x * 0x9E3779B1u ^ (y + seed) * 0x85EBCA77u;
    h ^= h >> 15;
    h *= 0x2C1B3C6Du;
    return h ^ (h >> 13);
}

PixelIsBlack Random(uint32_t perMille, uint32_t seed) {
    return [=](uint32_t x, uint32_t y) { return Hash(x, y, seed) % 1000 < perMille; };
}

// Lines of glyph-like cells: strokes, bars and diagonals with gaps.
bool TextLike(uint32_t x, uint32_t y) {
    const uint32_t line = y / 40, cy = y % 40, cell = x / 18, cx = x % 18;
    if (cy >= 30 || cx >= 14) return false;
    const uint32_t glyph = Hash(cell, line, 7);
    return ((glyph & 1) && cx >= 2 && cx < 5) || ((glyph & 2) && cx >= 10 && cx < 13) ||
           ((glyph & 4) && cy >= 2 && cy < 5) || ((glyph & 8) && cy >= 13 && cy < 16) ||
           ((glyph & 16) && cy >= 25 && cy < 28) || ((glyph & 32) && cx * 2 + 1 >= cy && cx * 2 <= cy + 2);
}

// An ordered 4x4 dither of a slow gradient: a fine halftone.
bool Halftone(uint32_t x, uint32_t y) {
    static const uint8_t kOrder[4][4] = {{0, 8, 2, 10}, {12, 4, 14, 6}, {3, 11, 1, 9}, {15, 7, 13, 5}};
    return kOrder[y % 4][x % 4] < ((x / 7 + y / 5) % 17);
}

struct Pattern {
    const char* name;
    PixelIsBlack black;
};

std::vector<Pattern> Patterns(uint32_t width, uint32_t seed) {
    return {
        {"white", [](uint32_t, uint32_t) { return false; }},
        {"black", [](uint32_t, uint32_t) { return true; }},
        {"single pixel", [=](uint32_t x, uint32_t y) { return x == width / 2 && y == 3; }},
        {"checkerboard", [](uint32_t x, uint32_t y) { return (x + y) % 2 == 0; }},
        {"stripes 3", [](uint32_t x, uint32_t y) { return (x / 3 + y / 2) % 2 == 0; }},
        {"random 2%", Random(20, seed)},
        {"random 50%", Random(500, seed)},
        {"random 97%", Random(970, seed)},
        {"text", TextLike},
        {"halftone", Halftone},
    };
}

// A coding of ours and how libtiff is told the same one. The Group 3 K is
// the coding's own; libtiff takes it from the resolution.
struct Coding {
    const char* name;
    FaxCompression libtiff;
    bool group4;
    G3Coding g3;
};

const std::vector<Coding> kCodings = {
    {"group 4", kGroup4, true, {}},
    {"1-D", {3, 0, 98}, false, {false, false, 0}},
    {"1-D fill", {3, 4, 196}, false, {false, true, 0}},
    {"2-D K=2", {3, 1, 98}, false, {true, false, 2}},
    {"2-D K=2 fill", {3, 5, 150}, false, {true, true, 2}},
    {"2-D K=4", {3, 1, 151}, false, {true, false, 4}},
    {"2-D K=4 fill", {3, 5, 600}, false, {true, true, 4}},
};

std::vector<uint8_t> OurStripIn(const Coding& coding, const HostPage& page, uint32_t bandRows) {
    return coding.group4 ? OurStrip(page, bandRows) : OurG3Strip(page, coding.g3, bandRows);
}

// libtiff's one-dimensional decoder holds the width rounded up to 32 runs a
// row. A row that changes colour at every pixel from a black first pixel has
// one more (white 0, then `width` runs of 1), so at a width of whole 32s its
// right code (libtiff's own) is refused.
bool OverflowsLibtiff1DDecoder(const Coding& coding, const HostPage& page, const std::vector<uint8_t>& coderRows) {
    if (coding.group4 || coding.g3.twoDimensional || page.width % 32 != 0) return false;
    std::vector<uint32_t> changes(page.width + kChangeListSlack);
    const size_t lineBytes = G4LineBytes(page.width);
    for (uint32_t y = 0; y < page.height; ++y)
        if (FindChanges(&coderRows[y * lineBytes], page.width, true, changes.data()) == page.width) return true;
    return false;
}

// Our strip equals libtiff's in every coding, whatever the band size, and
// decodes back.
void ExpectLikeLibtiff(const HostPage& page, const std::string& what, std::vector<uint32_t> bandSizes = {0}) {
    const std::vector<uint8_t> coderRows = CoderRows(page);
    for (const Coding& coding : kCodings) {
        const std::string where = what + ", " + coding.name;
        const std::vector<uint8_t> expected = LibtiffStrip(coderRows, page.width, page.height, coding.libtiff);
        ASSERT_FALSE(expected.empty()) << where;
        for (uint32_t bandRows : bandSizes) {
            const std::vector<uint8_t> ours = OurStripIn(coding, page, bandRows);
            ASSERT_EQ(ours, expected) << where << ", bands of " << bandRows << " rows";
        }
        if (!OverflowsLibtiff1DDecoder(coding, page, coderRows)) {
            EXPECT_EQ(LibtiffDecode(expected, page.width, page.height, coding.libtiff), coderRows) << where;
        }
    }
}

TEST(FaxAgainstLibtiff, EveryPatternAtWidths1To70WithGarbagePadding) {
    for (uint32_t width = 1; width <= 70; ++width)
        for (const Pattern& pattern : Patterns(width, width))
            ExpectLikeLibtiff(MakePage(width, 13, pattern.black, width % 3, 0xA5),
                              std::string(pattern.name) + " width " + std::to_string(width));
}

TEST(FaxAgainstLibtiff, WideRowsAroundTheLargestMakeUpAndBeyond) {
    for (uint32_t width : {2559u, 2560u, 2561u, 2623u, 2624u, 2625u, 2700u, 10007u, 12800u})
        for (const Pattern& pattern : Patterns(width, width))
            ExpectLikeLibtiff(MakePage(width, 9, pattern.black, 1, 0xFF),
                              std::string(pattern.name) + " width " + std::to_string(width));
}

TEST(FaxAgainstLibtiff, BandsOfAnySizeGiveTheSameStrip) {
    for (uint32_t width : {37u, 300u})
        ExpectLikeLibtiff(MakePage(width, 97, TextLike, 2, 0x3C), "text width " + std::to_string(width),
                          {1, 2, 3, 5, 7, 50, 0});
    ExpectLikeLibtiff(MakePage(1001, 31, Random(500, 3)), "noise", {1, 4, 0});
}

// Every run length of both colours in horizontal mode: each coded row lies
// under an all-white row, so its runs cannot be coded vertically.
TEST(FaxAgainstLibtiff, RunLengthsOfBothColours) {
    std::vector<uint32_t> lengths;
    for (uint32_t n = 0; n <= 130; ++n) lengths.push_back(n);
    for (uint32_t n = 192; n <= 2560; n += 64) lengths.insert(lengths.end(), {n - 1, n, n + 1, n + 63});
    lengths.insert(lengths.end(), {2623, 2624, 2625, 5119, 5120, 5183, 5184, 5185, 5900, 6000});
    const uint32_t width = 6000;
    const auto black = [&](uint32_t x, uint32_t y) {
        if (y % 2 == 0) return false;
        const uint32_t length = lengths[(y / 2) % lengths.size()];
        const uint32_t other = lengths[(y / 2 * 7 + 3) % lengths.size()];
        if (y / 2 < lengths.size()) return x >= length && x < length + other;  // white run first
        return x < length;                                                     // black run first
    };
    const auto height = static_cast<uint32_t>(4 * lengths.size());
    ExpectLikeLibtiff(MakePage(width, height, black), "run lengths", {0, 5});
}

TEST(FaxAgainstLibtiff, RandomDensities) {
    for (uint32_t perMille : {5u, 100u, 300u, 500u, 700u, 900u, 995u})
        ExpectLikeLibtiff(MakePage(1000, 40, Random(perMille, perMille)), "density " + std::to_string(perMille));
}

// Whole files of our Group 3 strips of a fax-wide page, read by libtiff's
// tools and by Pillow: pixels exact.
TEST(G3AgainstLibtiff, ToolsAndPillowReadOurStrips) {
    const std::string checker =
        std::string(__FILE__).substr(0, std::string(__FILE__).find_last_of('/')) + "/../support/coded_strip_check.py";
    test_support::ScratchDirectory scratch("g3_readers");
    const HostPage page = MakePage(1728, 200, TextLike);
    const std::string expected = scratch.file("page.raw");  // as Pillow gives it: 1 = white
    test_support::WriteWholeFile(expected, std::string(page.rows.begin(), page.rows.end()));
    for (const Coding& coding : kCodings) {
        if (coding.group4) continue;
        const std::string tiff =
            scratch.file("g3_" + std::to_string(T4Options(coding.g3)) + "_" + std::to_string(coding.g3.k) + ".tif");
        ASSERT_TRUE(WriteFaxFile(tiff, OurG3Strip(page, coding.g3), page.width, page.height, coding.libtiff));
        const std::string command = "/usr/bin/python3 " + checker + " " + tiff + " " + expected;
        EXPECT_EQ(std::system(command.c_str()), 0) << coding.name;
    }
}

// The K we choose from the resolution is the one libtiff chooses.
TEST(G3AgainstLibtiff, KFromTheResolution) {
    const HostPage page = MakePage(300, 11, TextLike);
    for (uint32_t resolution : {0u, 98u, 100u, 150u, 151u, 196u, 200u, 300u, 600u, 1200u})
        for (bool twoDimensional : {false, true}) {
            const G3Coding coding = ChooseG3Coding(twoDimensional, resolution);
            const FaxCompression libtiff{3, T4Options(coding), static_cast<float>(resolution)};
            EXPECT_EQ(OurG3Strip(page, coding), LibtiffStrip(CoderRows(page), 300, 11, libtiff))
                << resolution << " rows per inch, " << (twoDimensional ? "2-D" : "1-D");
        }
}

}  // namespace
