// What the Group 4 coder (and the Group 3 coder) carries from row to row,
// band to band and command to command within one page: the partly filled
// output byte and the number of rows coded. The reference line (the row
// above, 1 = black) lives in memory the caller owns (G4Memory in
// tiff/g4_encoder.h).
#pragma once

#include <cstdint>

struct G4CoderState {
    uint32_t bits = 0;       // pending code bits, high-order first in the low byte
    int32_t freeBits = 8;    // free positions left in `bits`; 8 means empty
    uint32_t rowsCoded = 0;  // rows of the page coded so far
};
