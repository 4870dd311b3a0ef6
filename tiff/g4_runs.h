// Run finding on 1-bit rows and the changing elements of a row.
//
// Bit position p of a line is bit 7 - (p mod 8) of byte p div 8. Runs are
// found 64 bits at a time with count-leading-zeros; only the bytes that hold
// positions below `end` are ever read.
#pragma once

#include <cstdint>
#include <cstring>

namespace g4_detail {

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

// Length of the run of `kOnes`-valued bits from `start`, capped at end.
template <bool kOnes>
inline uint32_t FindRun(const uint8_t* line, uint32_t start, uint32_t end) {
    const uint64_t lineBytes = (static_cast<uint64_t>(end) + 7) / 8;
    uint64_t position = start;
    while (position < end) {
        uint64_t word = LoadBits(line, position / 8, lineBytes);
        if (kOnes) word = ~word;  // bytes past the line then stop the run; capped below
        const unsigned skip = static_cast<unsigned>(position % 8);
        word <<= skip;            // the bits shifted in are zeros: they never end a run early
        if (word != 0) {
            const uint64_t stop = position + static_cast<unsigned>(__builtin_clzll(word));
            return static_cast<uint32_t>((stop < end ? stop : end) - start);
        }
        position += 64 - skip;
    }
    return end - start;
}

}  // namespace g4_detail

// Consecutive 0 bits of `line` from `start`, at most end - start.
inline uint32_t FindZeroRun(const uint8_t* line, uint32_t start, uint32_t end) {
    return g4_detail::FindRun<false>(line, start, end);
}

// Consecutive 1 bits of `line` from `start`, at most end - start.
inline uint32_t FindOneRun(const uint8_t* line, uint32_t start, uint32_t end) {
    return g4_detail::FindRun<true>(line, start, end);
}

// Changing elements of a row of `width` pixels: the positions whose colour
// differs from the pixel before, the pixel before position 0 being white.
// Writes them in increasing order to `changes`, then `width` three times as
// end markers, and returns how many changes there are. `changes` must hold
// width + kChangeListSlack entries. With `blackIsOne` false the row is in
// the host's sense (1 = white), else in coder sense (1 = black).
inline constexpr uint32_t kChangeListSlack = 4;
uint32_t FindChanges(const uint8_t* line, uint32_t width, bool blackIsOne, uint32_t* changes);
