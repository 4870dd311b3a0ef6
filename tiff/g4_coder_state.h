// What the Group 4 coder carries from row to row, band to band and command
// to command within one page: the partly filled output byte and the
// reference line (the previous row, 1 = black).
#pragma once

#include <cstdint>

struct G4CoderState {
    uint32_t bits = 0;                 // pending code bits, high-order first in the low byte
    int32_t freeBits = 8;              // free positions left in `bits`; 8 means empty
    uint8_t* referenceLine = nullptr;  // global-memory block of rowBytes bytes, or none
    uint32_t referenceBytes = 0;       // size of the reference line block
    uint32_t rowsCoded = 0;            // rows of the page coded so far
};
