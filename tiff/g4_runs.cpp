#include "tiff/g4_runs.h"

#include <cstring>

namespace {

// The 64 bits from byte `index` on, first byte in the high-order bits; bytes
// at or past `lineBytes` read as 0.
inline uint64_t LoadBits(const uint8_t* line, uint64_t index, uint64_t lineBytes) {
    uint64_t word = 0;
    if (index + 8 <= lineBytes) {
        std::memcpy(&word, line + index, 8);
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
        word = __builtin_bswap64(word);
#endif
        return word;
    }
    for (uint64_t i = 0; i < 8 && index + i < lineBytes; ++i)
        word |= static_cast<uint64_t>(line[index + i]) << (56 - 8 * i);
    return word;
}

// The 64 bits at byte `index` as they lie in memory, for equality tests only.
inline uint64_t RawWord(const uint8_t* line, uint64_t index) {
    uint64_t word;
    std::memcpy(&word, line + index, 8);
    return word;
}

// Appends base + the position of every set bit of `diff`, highest first.
inline uint32_t AppendChanges(uint64_t diff, uint64_t base, uint32_t* changes, uint32_t count) {
    while (diff != 0) {
        const unsigned offset = static_cast<unsigned>(__builtin_clzll(diff));
        changes[count++] = static_cast<uint32_t>(base + offset);
        diff ^= (1ull << 63) >> offset;
    }
    return count;
}

}  // namespace

// Changes are the set bits of a row XOR-ed with itself shifted one pixel
// right, found 64 pixels at a time; stretches of 256 pixels of the colour
// the last word ended with are passed over with four comparisons.
uint32_t FindChanges(const uint8_t* line, uint32_t width, bool blackIsOne, uint32_t* changes) {
    const uint64_t lineBytes = (static_cast<uint64_t>(width) + 7) / 8;
    const uint64_t wholeWords = width / 64;
    uint32_t count = 0;
    uint64_t previous = blackIsOne ? 0 : 1;  // the white pixel in front of the row
    uint64_t index = 0;                      // word index
    while (index < wholeWords) {
        const uint64_t uniform = previous != 0 ? ~0ull : 0;
        if (index + 4 <= wholeWords) {
            const uint8_t* p = line + index * 8;
            if (((RawWord(p, 0) ^ uniform) | (RawWord(p, 8) ^ uniform) | (RawWord(p, 16) ^ uniform) |
                 (RawWord(p, 24) ^ uniform)) == 0) {
                index += 4;
                continue;
            }
        }
        const uint64_t word = LoadBits(line, index * 8, lineBytes);
        count = AppendChanges(word ^ ((word >> 1) | (previous << 63)), index * 64, changes, count);
        previous = word & 1;
        ++index;
    }
    const unsigned tail = width % 64;  // pixels in a last, partial word
    if (tail != 0) {
        const uint64_t word = LoadBits(line, index * 8, lineBytes);
        const uint64_t diff = (word ^ ((word >> 1) | (previous << 63))) & (~0ull << (64 - tail));
        count = AppendChanges(diff, index * 64, changes, count);
    }
    for (uint32_t i = 0; i < 3; ++i) changes[count + i] = width;
    return count;
}
