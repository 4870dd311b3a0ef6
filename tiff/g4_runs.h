// The changing elements of a 1-bit row.
//
// Bit position p of a line is bit 7 - (p mod 8) of byte p div 8. Changes are
// found 64 bits at a time with count-leading-zeros; only the bytes of the
// row's own width are ever read.
#pragma once

#include <cstdint>

// Changing elements of a row of `width` pixels: the positions whose colour
// differs from the pixel before, the pixel before position 0 being white.
// Writes them in increasing order to `changes`, then `width` three times as
// end markers, and returns how many changes there are. `changes` must hold
// width + kChangeListSlack entries. With `blackIsOne` false the row is in
// the host's sense (1 = white), else in coder sense (1 = black).
inline constexpr uint32_t kChangeListSlack = 4;
uint32_t FindChanges(const uint8_t* line, uint32_t width, bool blackIsOne, uint32_t* changes);
