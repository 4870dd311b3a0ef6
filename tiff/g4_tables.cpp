#include "tiff/g4_tables.h"

#include <array>
#include <cstddef>

namespace {

// A code entry from its bits written out as in the recommendations, so that
// length and value cannot disagree.
template <std::size_t N>
constexpr CodeEntry Code(const char (&bits)[N], int run) {
    uint16_t value = 0;
    for (std::size_t i = 0; i + 1 < N; ++i) value = static_cast<uint16_t>((value << 1) | (bits[i] == '1'));
    return CodeEntry{static_cast<uint16_t>(N - 1), value, static_cast<int16_t>(run)};
}

constexpr uint8_t LeadingBits(unsigned value, bool ones) {
    uint8_t count = 0;
    for (unsigned mask = 0x80; mask != 0 && ((value & mask) != 0) == ones; mask >>= 1) ++count;
    return count;
}

constexpr std::array<uint8_t, 256> LeadingBitsTable(bool ones) {
    std::array<uint8_t, 256> table{};
    for (unsigned v = 0; v < 256; ++v) table[v] = LeadingBits(v, ones);
    return table;
}

}  // namespace

const CodeEntry whiteRunTable[kRunTableRows] = {
    // Terminating codes, runs 0-63.
    Code("00110101", 0), Code("000111", 1), Code("0111", 2), Code("1000", 3),
    Code("1011", 4), Code("1100", 5), Code("1110", 6), Code("1111", 7),
    Code("10011", 8), Code("10100", 9), Code("00111", 10), Code("01000", 11),
    Code("001000", 12), Code("000011", 13), Code("110100", 14), Code("110101", 15),
    Code("101010", 16), Code("101011", 17), Code("0100111", 18), Code("0001100", 19),
    Code("0001000", 20), Code("0010111", 21), Code("0000011", 22), Code("0000100", 23),
    Code("0101000", 24), Code("0101011", 25), Code("0010011", 26), Code("0100100", 27),
    Code("0011000", 28), Code("00000010", 29), Code("00000011", 30), Code("00011010", 31),
    Code("00011011", 32), Code("00010010", 33), Code("00010011", 34), Code("00010100", 35),
    Code("00010101", 36), Code("00010110", 37), Code("00010111", 38), Code("00101000", 39),
    Code("00101001", 40), Code("00101010", 41), Code("00101011", 42), Code("00101100", 43),
    Code("00101101", 44), Code("00000100", 45), Code("00000101", 46), Code("00001010", 47),
    Code("00001011", 48), Code("01010010", 49), Code("01010011", 50), Code("01010100", 51),
    Code("01010101", 52), Code("00100100", 53), Code("00100101", 54), Code("01011000", 55),
    Code("01011001", 56), Code("01011010", 57), Code("01011011", 58), Code("01001010", 59),
    Code("01001011", 60), Code("00110010", 61), Code("00110011", 62), Code("00110100", 63),
    // Make-up codes, runs 64-1728.
    Code("11011", 64), Code("10010", 128), Code("010111", 192), Code("0110111", 256),
    Code("00110110", 320), Code("00110111", 384), Code("01100100", 448), Code("01100101", 512),
    Code("01101000", 576), Code("01100111", 640), Code("011001100", 704), Code("011001101", 768),
    Code("011010010", 832), Code("011010011", 896), Code("011010100", 960), Code("011010101", 1024),
    Code("011010110", 1088), Code("011010111", 1152), Code("011011000", 1216), Code("011011001", 1280),
    Code("011011010", 1344), Code("011011011", 1408), Code("010011000", 1472), Code("010011001", 1536),
    Code("010011010", 1600), Code("011000", 1664), Code("010011011", 1728),
    // Extended make-up codes, runs 1792-2560 (both colours).
    Code("00000001000", 1792), Code("00000001100", 1856), Code("00000001101", 1920), Code("000000010010", 1984),
    Code("000000010011", 2048), Code("000000010100", 2112), Code("000000010101", 2176), Code("000000010110", 2240),
    Code("000000010111", 2304), Code("000000011100", 2368), Code("000000011101", 2432), Code("000000011110", 2496),
    Code("000000011111", 2560),
};

const CodeEntry blackRunTable[kRunTableRows] = {
    // Terminating codes, runs 0-63.
    Code("0000110111", 0), Code("010", 1), Code("11", 2), Code("10", 3),
    Code("011", 4), Code("0011", 5), Code("0010", 6), Code("00011", 7),
    Code("000101", 8), Code("000100", 9), Code("0000100", 10), Code("0000101", 11),
    Code("0000111", 12), Code("00000100", 13), Code("00000111", 14), Code("000011000", 15),
    Code("0000010111", 16), Code("0000011000", 17), Code("0000001000", 18), Code("00001100111", 19),
    Code("00001101000", 20), Code("00001101100", 21), Code("00000110111", 22), Code("00000101000", 23),
    Code("00000010111", 24), Code("00000011000", 25), Code("000011001010", 26), Code("000011001011", 27),
    Code("000011001100", 28), Code("000011001101", 29), Code("000001101000", 30), Code("000001101001", 31),
    Code("000001101010", 32), Code("000001101011", 33), Code("000011010010", 34), Code("000011010011", 35),
    Code("000011010100", 36), Code("000011010101", 37), Code("000011010110", 38), Code("000011010111", 39),
    Code("000001101100", 40), Code("000001101101", 41), Code("000011011010", 42), Code("000011011011", 43),
    Code("000001010100", 44), Code("000001010101", 45), Code("000001010110", 46), Code("000001010111", 47),
    Code("000001100100", 48), Code("000001100101", 49), Code("000001010010", 50), Code("000001010011", 51),
    Code("000000100100", 52), Code("000000110111", 53), Code("000000111000", 54), Code("000000100111", 55),
    Code("000000101000", 56), Code("000001011000", 57), Code("000001011001", 58), Code("000000101011", 59),
    Code("000000101100", 60), Code("000001011010", 61), Code("000001100110", 62), Code("000001100111", 63),
    // Make-up codes, runs 64-1728.
    Code("0000001111", 64), Code("000011001000", 128), Code("000011001001", 192), Code("000001011011", 256),
    Code("000000110011", 320), Code("000000110100", 384), Code("000000110101", 448), Code("0000001101100", 512),
    Code("0000001101101", 576), Code("0000001001010", 640), Code("0000001001011", 704), Code("0000001001100", 768),
    Code("0000001001101", 832), Code("0000001110010", 896), Code("0000001110011", 960), Code("0000001110100", 1024),
    Code("0000001110101", 1088), Code("0000001110110", 1152), Code("0000001110111", 1216), Code("0000001010010", 1280),
    Code("0000001010011", 1344), Code("0000001010100", 1408), Code("0000001010101", 1472), Code("0000001011010", 1536),
    Code("0000001011011", 1600), Code("0000001100100", 1664), Code("0000001100101", 1728),
    // Extended make-up codes, runs 1792-2560 (both colours).
    Code("00000001000", 1792), Code("00000001100", 1856), Code("00000001101", 1920), Code("000000010010", 1984),
    Code("000000010011", 2048), Code("000000010100", 2112), Code("000000010101", 2176), Code("000000010110", 2240),
    Code("000000010111", 2304), Code("000000011100", 2368), Code("000000011101", 2432), Code("000000011110", 2496),
    Code("000000011111", 2560),
};

const CodeEntry passCode = Code("0001", 0);
const CodeEntry horizontalCode = Code("001", 0);
const CodeEntry verticalCodes[7] = {
    Code("0000011", 0),  // VR3
    Code("000011", 0),   // VR2
    Code("011", 0),      // VR1
    Code("1", 0),        // V0
    Code("010", 0),      // VL1
    Code("000010", 0),   // VL2
    Code("0000010", 0),  // VL3
};

const std::array<uint8_t, 256> zeroRunTable = LeadingBitsTable(false);
const std::array<uint8_t, 256> oneRunTable = LeadingBitsTable(true);

const uint16_t maskTable[9] = {0x00, 0x01, 0x03, 0x07, 0x0F, 0x1F, 0x3F, 0x7F, 0xFF};
